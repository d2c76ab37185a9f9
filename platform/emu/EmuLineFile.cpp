// Line files: an INI text that describes an emulated world (see samples/README.md).
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "platform/emu/EmuChipProfile.h"
#include "platform/emu/EmuFlashTable.h"
#include "platform/emu/EmuWorld.h"

namespace lumo::os::emu {
namespace {

std::string trim(const std::string& s) {
    std::size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::string lowerAscii(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool parseNumber(const std::string& text, std::uint64_t max, std::uint64_t* out) {
    if (text.empty()) return false;
    std::size_t used = 0;
    unsigned long long v = 0;
    try {
        v = std::stoull(text, &used, 0);
    } catch (...) {
        return false;
    }
    if (used != text.size() || v > max || text[0] == '-') return false;
    *out = v;
    return true;
}

bool parseBool(const std::string& text, bool* out) {
    const std::string t = lowerAscii(text);
    if (t == "1" || t == "yes" || t == "true" || t == "on") return *out = true, true;
    if (t == "0" || t == "no" || t == "false" || t == "off") return *out = false, true;
    return false;
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

std::string resolve(const std::string& base, const std::string& p) {
    return !p.empty() && p[0] == '/' ? p : base + "/" + p;
}

bool makeDirs(const std::string& dir) {
    std::string partial;
    std::stringstream ss(dir);
    std::string piece;
    if (!dir.empty() && dir[0] == '/') partial = "/";
    while (std::getline(ss, piece, '/')) {
        if (piece.empty()) continue;
        partial += piece + "/";
        if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// The largest image a camera can start from: far beyond any ROM (images are cut to the ROM),
// small enough that a line file naming a huge file cannot exhaust memory.
constexpr std::uint64_t kMaxImageBytes = 16u << 20;

// Reads an image file. Only a regular file of bounded size: a device or a FIFO (image =
// /dev/zero, a pipe) would never end or never answer, a folder would read as an empty image.
bool readImage(const std::string& path, std::vector<std::uint8_t>* out, std::string* why) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return *why = "cannot read image " + path, false;
    if (!S_ISREG(st.st_mode)) return *why = "image " + path + " is not a regular file", false;
    if (static_cast<std::uint64_t>(st.st_size) > kMaxImageBytes)
        return *why = "image " + path + " is larger than 16 MiB", false;
    std::ifstream img(path, std::ios::binary);
    if (!img) return *why = "cannot read image " + path, false;
    out->assign(static_cast<std::size_t>(st.st_size), 0);
    img.read(reinterpret_cast<char*>(out->data()), static_cast<std::streamsize>(out->size()));
    out->resize(static_cast<std::size_t>(img.gcount()));  // a file that shrank meanwhile
    return true;
}

struct Section {
    std::string name;
    int line = 0;
    CameraConfig cfg;
    std::string image;
    int imageLine = 0;
};

}  // namespace

bool parseLineFile(const std::string& path, LineDescription* out, std::string* error) {
    auto failAt = [&](int line, const std::string& what) {
        if (error) *error = path + ":" + std::to_string(line) + ": " + what;
        return false;
    };
    // A FIFO or a device named as the line file would block the load or never end.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return failAt(0, "the line file is not a regular file");
    std::ifstream in(path);
    if (!in) return failAt(0, "cannot read the line file");

    const std::string base = directoryOf(path);
    std::string romdir;
    bool inLine = false;
    std::vector<Section> sections;
    std::string text;
    int lineNo = 0;
    while (std::getline(in, text)) {
        ++lineNo;
        const std::string line = trim(text);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']') return failAt(lineNo, "section header without ']'");
            const std::string name = trim(line.substr(1, line.size() - 2));
            inLine = name == "line";
            if (inLine) continue;
            if (name.rfind("camera ", 0) != 0 || trim(name.substr(7)).empty())
                return failAt(lineNo, "unknown section [" + name + "] (expected [line] or [camera N])");
            for (const auto& s : sections)
                if (s.name == name) return failAt(lineNo, "section [" + name + "] appears twice");
            Section s;
            s.name = name;
            s.line = lineNo;
            s.cfg.name = name;
            s.cfg.friendlyName = L"Lumo USB Camera";
            sections.push_back(std::move(s));
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) return failAt(lineNo, "expected key = value");
        const std::string key = lowerAscii(trim(line.substr(0, eq)));
        const std::string value = trim(line.substr(eq + 1));
        if (inLine) {
            if (key == "romdir")
                romdir = value;
            else
                return failAt(lineNo, "unknown key '" + key + "' in [line]");
            continue;
        }
        if (sections.empty()) return failAt(lineNo, "key '" + key + "' outside a section");
        Section& s = sections.back();
        CameraConfig& c = s.cfg;
        auto bad = [&](const std::string& what) {
            return failAt(lineNo, "bad value '" + value + "' for " + key + ": " + what);
        };
        std::uint64_t n = 0;
        auto number = [&](std::uint64_t max) { return parseNumber(value, max, &n); };

        if (key == "chip") {
            if (lowerAscii(value) == "other")
                c.chip = "other";
            else if (const ChipProfile* p = findChipProfile(value))
                c.chip = p->partNo;
            else
                return bad("not a part number of the chip list, nor 'other'");
        } else if (key == "ctrl") {
            const std::string v = lowerAscii(value);
            if (v == "none")
                c.xu = c.em = false;
            else if (v == "xu")
                c.xu = true, c.em = false;
            else if (v == "em")
                c.xu = false, c.em = true;
            else if (v == "xu,em" || v == "em,xu")
                c.xu = c.em = true;
            else
                return bad("expected XU, EM, XU,EM or none");
        } else if (key == "rom") {
            const std::string v = lowerAscii(value);
            if (v.rfind("spi:", 0) == 0) {
                const std::string flash = trim(value.substr(4));
                if (lowerAscii(flash) == "unknown")
                    c.flashName = "unknown";
                else if (const FlashChipRow* row = findFlashRow(flash))
                    c.flashName = row->name;
                else
                    return bad("not a flash-table name, nor 'unknown'");
                c.rom = RomKind::SpiFlash;
            } else if (v.rfind("eeprom:", 0) == 0) {
                if (!parseNumber(trim(value.substr(7)), 0x8000, &n) || n < 512 || (n & (n - 1)) != 0)
                    return bad("EEPROM size must be a power of two from 512 to 32768");
                c.rom = RomKind::Eeprom;
                c.eepromBytes = static_cast<std::uint32_t>(n);
            } else {
                return bad("expected spi:<flash name>, spi:unknown or eeprom:<bytes>");
            }
        } else if (key == "driver") {
            const std::string v = lowerAscii(value);
            if (v == "class")
                c.driver = DriverMode::Class;
            else if (v == "maker")
                c.driver = DriverMode::Maker;
            else if (v == "none")
                c.driver = DriverMode::None;
            else
                return bad("expected class, maker or none");
        } else if (key == "image") {
            s.image = value;
            s.imageLine = lineNo;
        } else if (key == "vid" || key == "pid" || key == "rev") {
            if (!number(0xFFFF)) return bad("expected a 16-bit number");
            (key == "vid" ? c.vid : key == "pid" ? c.pid : c.rev) = static_cast<std::uint16_t>(n);
        } else if (key == "mi") {
            if (!number(0xFF)) return bad("expected an 8-bit number");
            c.mi = static_cast<std::uint8_t>(n);
        } else if (key == "instance") {
            if (value.empty() || value.find_first_of("#\\/ ") != std::string::npos)
                return bad("no '#', '\\', '/' or blanks");
            c.instance = value;
        } else if (key == "name") {
            if (value.empty()) return bad("empty");
            c.friendlyName = std::wstring(value.begin(), value.end());
        } else if (key == "latency_us") {
            if (!number(1'000'000)) return bad("expected microseconds up to 1000000");
            c.latencyUs = static_cast<std::uint32_t>(n);
        } else if (key == "async_io") {
            if (!parseBool(value, &c.asyncIo)) return bad("expected yes or no");
        } else if (key == "sector_erase_ms" || key == "block_erase_ms" || key == "chip_erase_ms" ||
                   key == "eeprom_write_ms") {
            if (!number(60'000)) return bad("expected milliseconds up to 60000");
            const auto us = static_cast<std::uint32_t>(n * 1000);
            if (key == "sector_erase_ms")
                c.timings.sectorEraseUs = us;
            else if (key == "block_erase_ms")
                c.timings.blockEraseUs = us;
            else if (key == "chip_erase_ms")
                c.timings.chipEraseUs = us;
            else
                c.timings.eepromWriteCycleUs = us;
        } else if (key == "page_program_us") {
            if (!number(1'000'000)) return bad("expected microseconds up to 1000000");
            c.timings.pageProgramUs = static_cast<std::uint32_t>(n);
        } else if (key == "reset_removal_ms" || key == "reset_arrival_ms") {
            if (!number(60'000)) return bad("expected milliseconds up to 60000");
            (key == "reset_removal_ms" ? c.timings.resetRemovalMs : c.timings.resetArrivalMs) =
                static_cast<std::uint32_t>(n);
        } else if (key == "fail_request" || key == "vanish_at") {
            if (!number(~0ull)) return bad("expected a request number");
            (key == "fail_request" ? c.faults.failRequest : c.faults.vanishAtRequest) = n;
        } else if (key == "fail_selector") {
            if (!number(0xFF)) return bad("expected a selector 0 to 0xFF");
            c.faults.failSelector = static_cast<int>(n);
        } else if (key == "flash_busy") {
            if (!parseBool(value, &c.faults.flashBusyForever)) return bad("expected yes or no");
        } else if (key == "spi_stuck") {
            if (!parseBool(value, &c.faults.spiEngineStuck)) return bad("expected yes or no");
        } else if (key == "status") {
            if (!number(0xFF)) return bad("expected an 8-bit status");
            c.initialStatus = static_cast<std::uint8_t>(n);
        } else if (key == "hwver") {
            if (!number(0xFF)) return bad("expected an 8-bit number");
            c.hwVer = static_cast<std::uint8_t>(n);
        } else if (key == "setfile") {
            if (value.size() > 12) return bad("at most 12 characters");
            c.setfileVer = value;
        } else if (key == "intfwver") {
            if (value.size() > 11) return bad("at most 11 characters");
            c.intFwVer = value;
        } else if (key == "sensor_apid" || key == "ext_fw_ver") {
            if (!number(0xFFFF)) return bad("expected a 16-bit number");
            (key == "sensor_apid" ? c.sensorApId : c.extFwVer) = static_cast<std::uint16_t>(n);
        } else {
            return failAt(lineNo, "unknown key '" + key + "' in [" + s.name + "]");
        }
    }

    std::string dir;
    if (!romdir.empty()) {
        dir = resolve(base, romdir);
        if (!makeDirs(dir)) return failAt(0, "cannot create romdir " + dir);
    }
    out->cameras.clear();
    for (auto& s : sections) {
        if (s.cfg.chip == "other") s.cfg.xu = s.cfg.em = false;
        std::string why;
        if (!s.image.empty() && !readImage(resolve(base, s.image), &s.cfg.image, &why)) return failAt(s.imageLine, why);
        if (!dir.empty()) {
            std::string file = s.name;
            for (auto& ch : file)
                if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '-' && ch != '_' && ch != '.') ch = '-';
            s.cfg.romFile = dir + "/" + file + ".rom";
        }
        out->cameras.push_back(std::move(s.cfg));
    }
    return true;
}

std::shared_ptr<EmuWorld> loadLineFile(const std::string& path, std::string* error) {
    LineDescription line;
    if (!parseLineFile(path, &line, error)) return nullptr;
    auto world = std::make_shared<EmuWorld>();
    for (const auto& cfg : line.cameras) world->addCamera(cfg);
    return world;
}

void followLine(EmuWorld& world, const LineDescription& line) {
    for (std::size_t i = 0; i < world.cameraCount(); ++i) {
        const std::string& name = world.camera(i).config().name;
        const bool described = std::any_of(line.cameras.begin(), line.cameras.end(),
                                           [&](const CameraConfig& c) { return c.name == name; });
        if (!described) world.unplug(i);
    }
    for (const auto& cfg : line.cameras) {
        if (auto i = world.findCamera(cfg.name))
            world.plug(*i);
        else
            world.addCamera(cfg);
    }
}

}  // namespace lumo::os::emu
