// lumo-mkimage: writes a sample firmware image (".bin") for a chip of the family.
//   lumo-mkimage -o FILE [--chip PARTNO] [--length BYTES] [--rom-size BYTES]
// The image carries the chip's signature at 0x40, the ROM size in 512-byte units at header
// bytes 6 and 22 (0x46, 0x56), and recognisable content: a counting pattern with the
// offset written every 256 bytes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/emu/EmuChipProfile.h"

namespace {

int usage(const char* why) {
    if (why) std::fprintf(stderr, "lumo-mkimage: %s\n", why);
    std::fprintf(stderr,
                 "usage: lumo-mkimage -o FILE [--chip PARTNO] [--length BYTES] [--rom-size BYTES]\n"
                 "defaults: --chip QT7421 --length 16384 --rom-size 65536\n");
    return 2;
}

bool number(const char* text, unsigned long* out) {
    char* end = nullptr;
    *out = std::strtoul(text, &end, 0);
    return end && *end == 0 && text[0] != '-';
}

}  // namespace

int main(int argc, char** argv) {
    std::string out, chip = "QT7421";
    unsigned long length = 16384, romSize = 65536;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return usage(("missing value after " + a).c_str());
        const char* v = argv[++i];
        if (a == "-o")
            out = v;
        else if (a == "--chip")
            chip = v;
        else if (a == "--length") {
            if (!number(v, &length)) return usage("bad --length");
        } else if (a == "--rom-size") {
            if (!number(v, &romSize)) return usage("bad --rom-size");
        } else
            return usage(("unknown option " + a).c_str());
    }
    if (out.empty()) return usage("no output file (-o)");
    const auto* profile = lumo::os::emu::findChipProfile(chip);
    if (!profile) return usage(("unknown chip " + chip).c_str());
    if (length < 0x58 || length > 65536 || length % 512)
        return usage("--length must be a multiple of 512 from 512 to 65536");
    if (romSize < 512 || romSize > 65536 || romSize % 512 || length > romSize)
        return usage("--rom-size must be a multiple of 512 up to 65536 and hold the image");

    std::vector<unsigned char> img(length);
    for (unsigned long i = 0; i < length; ++i) img[i] = static_cast<unsigned char>(i * 7 + 0x11);
    for (unsigned long i = 0; i + 3 < length; i += 256) {
        img[i] = 'L', img[i + 1] = 'M', img[i + 2] = static_cast<unsigned char>(i >> 8),
        img[i + 3] = static_cast<unsigned char>(i);
    }
    // firmware header at 0x40
    std::memset(&img[0x40], 0, 24);
    img[0x40] = static_cast<unsigned char>(profile->signature[0]);
    img[0x41] = static_cast<unsigned char>(profile->signature[1]);
    const unsigned units = static_cast<unsigned>(romSize / 512);
    img[0x46] = static_cast<unsigned char>(units & 0xFF);
    img[0x56] = static_cast<unsigned char>(units & 0xFF);
    std::ofstream f(out, std::ios::binary);
    if (!f.write(reinterpret_cast<const char*>(img.data()), static_cast<std::streamsize>(img.size()))) {
        std::fprintf(stderr, "lumo-mkimage: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: %lu bytes for %s (%s), ROM %lu bytes\n", out.c_str(), length, profile->partNo, profile->signature,
                romSize);
    return 0;
}
