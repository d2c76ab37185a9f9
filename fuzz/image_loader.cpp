// Firmware image loader: the input's first byte picks the load (path or open-file dialog),
// the skip flag and whether a reference camera is registered; the next two bytes are that
// camera's signature; the rest is the ".bin" file, its length the file's length.
#include <cstring>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/OpenFileDialog.h"
#include "platform/TextConv.h"
#include "sdk/image/LumoBin.h"

namespace lumo::fuzz::image_loader {

int lumoFuzzOne(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const std::uint8_t mode = in.byte();
    const bool viaDialog = (mode & 0x01) != 0;
    const std::int32_t skip = (mode & 0x02) ? static_cast<std::int32_t>(in.byte()) | 1 : 0;
    const bool camera = (mode & 0x04) != 0;
    std::string signature(in.bytes(2));
    signature = signature.substr(0, ::strnlen(signature.data(), signature.size()));
    const std::string_view file = in.rest();
    const std::string path = writeScratchFile("image.bin", file);
    const std::wstring wpath = lumo::os::fromUtf8(path);

    CLumoBin loader([&]() -> std::optional<std::string> {
        if (!camera) return std::nullopt;
        return signature;
    });
    // Exactly the size the loader is promised, plus nothing: a write past it is caught.
    std::vector<std::uint8_t> buffer(kMaxBinFileSize);
    std::int32_t ok = 0;
    if (viaDialog) {
        lumo::os::installOpenFileChooser([&](const std::wstring&, const lumo::os::OpenFileName&, std::wstring* chosen) {
            *chosen = wpath;
            return true;
        });
        ok = loader.LoadBinFile(buffer.data(), skip);
        lumo::os::installOpenFileChooser(nullptr);
    } else {
        ok = loader.LoadBinFileFromPath(buffer.data(), wpath.c_str(), skip);
    }
    if (ok) {
        // A load that says OK took the whole file, within the limit, and nothing else.
        LUMO_FUZZ_CHECK(file.size() <= kMaxBinFileSize);
        LUMO_FUZZ_CHECK(loader.GetBytesRead() == file.size());
        LUMO_FUZZ_CHECK(file.empty() || std::memcmp(buffer.data(), file.data(), file.size()) == 0);
        if (!skip) {
            LUMO_FUZZ_CHECK(file.size() % kBinFileSizeUnit == 0);
            // ... and its chip signature matches the reference camera's.
            if (camera && file.size() > kBinSignatureOffset) {
                std::string text(file.substr(kBinSignatureOffset, 2));
                text = text.substr(0, ::strnlen(text.data(), text.size()));
                LUMO_FUZZ_CHECK(text.find(signature) != std::string::npos);
            }
        }
    }
    return 0;
}

}  // namespace lumo::fuzz::image_loader

LUMO_FUZZ_TARGET(image_loader)
