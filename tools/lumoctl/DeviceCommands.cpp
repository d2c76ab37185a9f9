// lumoctl's commands over the exports. Every device command enumerates first (and, for list
// and the ROM commands, detects the ROMs), so each run sees the cameras as they are now.
#include "tools/lumoctl/DeviceCommands.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "sdk/LumoSDK.h"
#include "tools/lumoctl/HexText.h"

namespace {

using lumoctl::Bytes;

struct Context {
    std::function<std::uint8_t()> index;
    std::function<bool()> json;
};

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "lumoctl: %s\n", why.c_str());
    throw CLI::RuntimeError(1);
}

std::uint32_t number(const std::string& text, const char* what, std::uint64_t max = 0xFFFFFFFFu) {
    auto v = lumoctl::ParseHexNumber(text, max);
    if (!v) {
        char limit[24];
        std::snprintf(limit, sizeof limit, "0x%llX", static_cast<unsigned long long>(max));
        fail(std::string("bad ") + what + " \"" + text + "\" (hex, at most " + limit + ")");
    }
    return *v;
}

std::wstring widen(const std::string& s) {
    std::setlocale(LC_CTYPE, "");
    std::mbstate_t state{};
    const char* src = s.c_str();
    std::size_t n = std::mbsrtowcs(nullptr, &src, 0, &state);
    if (n == static_cast<std::size_t>(-1)) fail("path \"" + s + "\" is not valid text");
    std::wstring out(n, L'\0');
    src = s.c_str();
    state = std::mbstate_t{};
    std::mbsrtowcs(out.data(), &src, n, &state);
    return out;
}

std::uint8_t devCount() {
    std::uint8_t count = 0;
    TAVIX_GetDevCount(&count);
    return count;
}

// Enumerates when nothing is registered yet and checks the chosen index.
std::uint8_t openCamera(const Context& ctx, bool detectRom) {
    if (devCount() == 0) TAVIX_EnumDevs();
    const std::uint8_t count = devCount();
    const std::uint8_t index = ctx.index();
    if (index >= count) {
        fail(count == 0 ? std::string("no camera found")
                        : "no camera at index " + std::to_string(index) + " (" + std::to_string(count) + " found)");
    }
    if (detectRom) TAVIX_QueryExtRom();
    return index;
}

void checkRange(std::uint32_t address, std::uint32_t length) {
    if (length == 0) fail("length 0");
    if (static_cast<std::uint64_t>(address) + length > 0x10000u) fail("address range beyond 0xFFFF");
}

void printData(const Context& ctx, std::uint8_t index, std::uint32_t address, const Bytes& data) {
    if (ctx.json()) {
        std::printf("{\"index\":%u,\"address\":\"0x%04X\",\"length\":%zu,\"data\":\"%s\"}\n", index, address,
                    data.size(), lumoctl::HexBytes(data.data(), data.size()).c_str());
    } else {
        std::fputs(lumoctl::HexDump(address, data.data(), data.size()).c_str(), stdout);
    }
}

void printOk(const Context& ctx, std::uint8_t index, const char* what) {
    if (ctx.json()) {
        std::printf("{\"index\":%u,\"%s\":\"ok\"}\n", index, what);
    } else {
        std::printf("%s: ok\n", what);
    }
}

using ReadFn = int32_t (*)(uint16_t, uint32_t, uint8_t*, uint8_t);
using WriteFn = int32_t (*)(uint16_t, uint32_t, const uint8_t*, uint8_t);

// "<space> read ADDR LEN" and "<space> write ADDR HEXBYTES".
void addSpace(CLI::App& app, const char* name, const char* help, ReadFn readFn, WriteFn writeFn,
              std::shared_ptr<Context> ctx) {
    auto* space = app.add_subcommand(name, help);
    space->require_subcommand(1);
    auto* rd = space->add_subcommand("read", "read LEN bytes at ADDR (hex)");
    auto addr = std::make_shared<std::string>();
    auto len = std::make_shared<std::string>();
    rd->add_option("ADDR", *addr, "address (hex)")->required();
    rd->add_option("LEN", *len, "length (hex)")->required();
    rd->callback([=] {
        const std::uint32_t a = number(*addr, "address", 0xFFFF);
        const std::uint32_t n = number(*len, "length", 0x10000);
        checkRange(a, n);
        const std::uint8_t index = openCamera(*ctx, false);
        Bytes data(n);
        if (!readFn(static_cast<uint16_t>(a), n, data.data(), index)) fail(std::string(name) + " read failed");
        printData(*ctx, index, a, data);
    });
    if (writeFn == nullptr) return;
    auto* wr = space->add_subcommand("write", "write HEXBYTES at ADDR (hex)");
    auto waddr = std::make_shared<std::string>();
    auto words = std::make_shared<std::vector<std::string>>();
    wr->add_option("ADDR", *waddr, "address (hex)")->required();
    wr->add_option("HEXBYTES", *words, "bytes: 0102, 01 02 or 0x01,0x02")->required();
    wr->callback([=] {
        const std::uint32_t a = number(*waddr, "address", 0xFFFF);
        auto bytes = lumoctl::ParseHexBytes(*words);
        if (!bytes || bytes->empty()) fail("bad hex bytes");
        checkRange(a, static_cast<std::uint32_t>(bytes->size()));
        const std::uint8_t index = openCamera(*ctx, false);
        if (!writeFn(static_cast<uint16_t>(a), static_cast<uint32_t>(bytes->size()), bytes->data(), index))
            fail(std::string(name) + " write failed");
        printOk(*ctx, index, (std::string(name) + " write").c_str());
    });
}

void addList(CLI::App& app, std::shared_ptr<Context> ctx) {
    auto* list = app.add_subcommand("list", "list the cameras");
    list->callback([=] {
        if (devCount() == 0) TAVIX_EnumDevs();
        const std::uint8_t count = devCount();
        if (count > 0) TAVIX_QueryExtRom();
        std::string json = "{\"cameras\":[";
        for (std::uint8_t i = 0; i < count; ++i) {
            std::uint16_t vid = 0, pid = 0, bcd = 0, apId = 0, fwVer = 0;
            std::uint8_t sig[5] = {}, part[9] = {}, setfile[13] = {}, ctrlVer[12] = {};
            std::uint32_t romSize = 0;
            const bool hasIds = TAVIX_GetPidVid(&vid, &pid, i) != 0;
            TAVIX_GetBcdDevice(&bcd, i);
            TAVIX_GetBackendInfo(sig, part, i);
            TAVIX_GetModuleInfo(&apId, &fwVer, setfile, i);
            TAVIX_GetFlashSize(&romSize, i);
            TAVIX_GetXuCtrlVer(ctrlVer, i);
            // The exports give the ROM size only; the family's EEPROMs hold at most 32 KB
            // and its flashes at least 64 KB, which tells the kinds apart.
            const char* romType = romSize == 0xFFFFFFFFu || romSize == 0 ? "unknown"
                                  : romSize <= 0x8000u                   ? "eeprom"
                                                                         : "spi-flash";
            const std::string ids = hasIds ? lumoctl::Hex4(vid) + ":" + lumoctl::Hex4(pid) : "-";
            const std::string s(reinterpret_cast<char*>(sig)), p(reinterpret_cast<char*>(part)),
                sf(reinterpret_cast<char*>(setfile));
            if (ctx->json()) {
                if (i) json += ',';
                json += "{\"index\":" + std::to_string(i) + ",\"vidPid\":\"" + ids + "\",\"bcd\":\"" +
                        lumoctl::Hex4(bcd) + "\",\"partNo\":\"" + lumoctl::JsonEscape(p) + "\",\"signature\":\"" +
                        lumoctl::JsonEscape(s) + "\",\"fwVersion\":\"" + lumoctl::Hex4(fwVer) +
                        "\",\"setfileVersion\":\"" + lumoctl::JsonEscape(sf) + "\",\"sensorApId\":\"" +
                        lumoctl::Hex4(apId) + "\",\"romType\":\"" + romType +
                        "\",\"romSize\":" + (romSize == 0xFFFFFFFFu ? std::string("null") : std::to_string(romSize)) +
                        "}";
            } else {
                std::printf("%u  %s  bcd %s  %s \"%s\"  fw %s  setfile %s  rom %s %s\n", i, ids.c_str(),
                            lumoctl::Hex4(bcd).c_str(), p.c_str(), s.c_str(), lumoctl::Hex4(fwVer).c_str(), sf.c_str(),
                            romType,
                            romSize == 0xFFFFFFFFu ? "size unknown" : (std::to_string(romSize) + " bytes").c_str());
            }
        }
        if (ctx->json()) {
            std::printf("%s]}\n", json.c_str());
        } else if (count == 0) {
            std::printf("no camera\n");
        }
    });
}

void progress(const char* what, std::uint32_t done, std::uint32_t total) {
    std::fprintf(stderr, "\r%s %u/%u bytes (%u%%)", what, done, total,
                 static_cast<unsigned>(total ? 100ull * done / total : 100));
    if (done == total) std::fputc('\n', stderr);
}

constexpr std::uint32_t kRomChunk = 0x400;
constexpr std::uint32_t kRomProgressFrom = 0x1000;  // shorter transfers stay quiet
constexpr std::uint32_t kEraseWaitMs = 5000;

// Reads n bytes at address in chunks, with progress under label for long reads; a failed
// read ends the command with failure + the address.
Bytes readRom(std::uint8_t index, std::uint32_t address, std::uint32_t n, const char* label, const char* failure) {
    Bytes data(n);
    for (std::uint32_t done = 0; done < n;) {
        const std::uint32_t piece = std::min(kRomChunk, n - done);
        if (!TAVIX_ExtRomRead(static_cast<uint16_t>(address + done), piece, data.data() + done, index))
            fail(failure + lumoctl::Hex4(address + done));
        done += piece;
        if (n >= kRomProgressFrom) progress(label, done, n);
    }
    return data;
}

// Reads back what was written at address and fails with the first address that differs.
void verifyRom(std::uint8_t index, std::uint32_t address, const Bytes& written) {
    const Bytes back =
        readRom(index, address, static_cast<std::uint32_t>(written.size()), "verify", "rom verify: read failed at 0x");
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (back[i] != written[i]) {
            char what[80];
            std::snprintf(what, sizeof what, "rom verify failed at 0x%04X: wrote %02X, read %02X",
                          static_cast<unsigned>(address + i), written[i], back[i]);
            fail(what);
        }
    }
}

void addRom(CLI::App& app, std::shared_ptr<Context> ctx) {
    auto* rom = app.add_subcommand("rom", "external firmware ROM");
    rom->require_subcommand(1);

    auto* rd = rom->add_subcommand("read", "read LEN bytes at ADDR; a hex dump unless -o FILE");
    auto addr = std::make_shared<std::string>(), len = std::make_shared<std::string>(),
         out = std::make_shared<std::string>();
    rd->add_option("ADDR", *addr, "address (hex)")->required();
    rd->add_option("LEN", *len, "length (hex)")->required();
    rd->add_option("-o,--output", *out, "write the bytes to FILE");
    rd->callback([=] {
        const std::uint32_t a = number(*addr, "address", 0xFFFF);
        const std::uint32_t n = number(*len, "length", 0x10000);
        checkRange(a, n);
        const std::uint8_t index = openCamera(*ctx, true);
        const Bytes data = readRom(index, a, n, "read", "rom read failed at 0x");
        if (out->empty()) {
            printData(*ctx, index, a, data);
            return;
        }
        std::ofstream f(*out, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        if (!f) fail("cannot write " + *out);
        printOk(*ctx, index, "rom read");
    });

    auto* wr =
        rom->add_subcommand("write", "write FILE at ADDR and read it back (the ROM must be erased and unprotected)");
    auto waddr = std::make_shared<std::string>(), file = std::make_shared<std::string>();
    auto noVerify = std::make_shared<bool>(false);
    wr->add_option("ADDR", *waddr, "address (hex)")->required();
    wr->add_option("FILE", *file, "bytes to write")->required();
    wr->add_flag("--no-verify", *noVerify, "skip reading the bytes back");
    wr->callback([=] {
        const std::uint32_t a = number(*waddr, "address", 0xFFFF);
        std::ifstream f(*file, std::ios::binary);
        if (!f) fail("cannot open " + *file);
        Bytes data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        if (data.empty()) fail(*file + " is empty");
        if (a + data.size() > 0x10000u) fail("address range beyond 0xFFFF");
        const auto n = static_cast<std::uint32_t>(data.size());
        const std::uint8_t index = openCamera(*ctx, true);
        // Size 0: the detection failed, and the controller may be on another ROM's route.
        std::uint32_t romSize = 0;
        if (!TAVIX_GetFlashSize(&romSize, index) || romSize == 0) fail("ROM not detected");
        for (std::uint32_t done = 0; done < n;) {
            const std::uint32_t piece = std::min(kRomChunk, n - done);
            if (!TAVIX_ExtRomWrite(static_cast<uint16_t>(a + done), piece, data.data() + done, index))
                fail("rom write failed at 0x" + lumoctl::Hex4(a + done));
            done += piece;
            if (n >= kRomProgressFrom) progress("write", done, n);
        }
        // A write the ROM did not take (protected, not erased, a faulty part) is answered
        // like any other: only the bytes read back tell.
        if (!*noVerify) verifyRom(index, a, data);
        printOk(*ctx, index, "rom write");
    });

    auto* er = rom->add_subcommand("erase", "erase chip | sector N | block N, then wait for the flash");
    auto what = std::make_shared<std::string>(), num = std::make_shared<std::string>();
    er->add_option("WHAT", *what, "chip, sector or block")
        ->required()
        ->check(CLI::IsMember({"chip", "sector", "block"}));
    er->add_option("N", *num, "sector or block number (hex)");
    er->callback([=] {
        std::uint8_t n = 0;
        if (*what != "chip") {
            if (num->empty()) fail(*what + " needs its number");
            n = static_cast<std::uint8_t>(number(*num, "number", 0xFF));
        }
        const std::uint8_t index = openCamera(*ctx, true);
        const int32_t ok = *what == "chip"     ? TAVIX_EraseAll(index)
                           : *what == "sector" ? TAVIX_SpiCmdSectorEraseById(n, index)
                                               : TAVIX_SpiCmdBlockEraseById(n, index);
        if (!ok) fail("rom erase " + *what + " failed");
        if (!TAVIX_SpiWaitBusReady(kEraseWaitMs, index)) fail("flash still busy after the erase");
        printOk(*ctx, index, "rom erase");
    });

    auto* pr = rom->add_subcommand("protect", "on restores the write protection, off lifts it");
    auto state = std::make_shared<std::string>();
    pr->add_option("STATE", *state, "on or off")->required()->check(CLI::IsMember({"on", "off"}));
    pr->callback([=] {
        const std::uint8_t index = openCamera(*ctx, true);
        if (!TAVIX_ExtRomWriteEnable(*state == "off" ? 1 : 0, index)) fail("rom protect " + *state + " failed");
        printOk(*ctx, index, "rom protect");
    });
}

}  // namespace

void addDeviceCommands(CLI::App& app, std::function<std::uint8_t()> index, std::function<bool()> json) {
    auto ctx = std::make_shared<Context>(Context{std::move(index), std::move(json)});
    addList(app, ctx);
    addSpace(app, "reg", "controller registers", TAVIX_RegRead, TAVIX_RegWrite, ctx);
    addSpace(app, "sensor", "image sensor registers", TAVIX_SensorRegRead, TAVIX_SensorRegWrite, ctx);
    addSpace(app, "mcu", "MCU data memory (mcu code: code memory)", TAVIX_McuDataRead, TAVIX_McuDataWrite, ctx);
    {
        // "mcu code ADDR LEN" sits beside mcu read and write.
        auto* mcu = app.get_subcommand("mcu");
        auto* code = mcu->add_subcommand("code", "read LEN bytes of MCU code memory at ADDR");
        auto addr = std::make_shared<std::string>(), len = std::make_shared<std::string>();
        code->add_option("ADDR", *addr, "address (hex)")->required();
        code->add_option("LEN", *len, "length (hex)")->required();
        code->callback([=] {
            const std::uint32_t a = number(*addr, "address", 0xFFFF);
            const std::uint32_t n = number(*len, "length", 0x10000);
            checkRange(a, n);
            const std::uint8_t i = openCamera(*ctx, false);
            Bytes data(n);
            if (!TAVIX_McuCodeRead(static_cast<uint16_t>(a), n, data.data(), i)) fail("mcu code read failed");
            printData(*ctx, i, a, data);
        });
    }
    addRom(app, ctx);

    auto* wait = app.add_subcommand("wait", "wait until the flash is ready (MS in hex, default 0xBB8; 0: no limit)");
    auto ms = std::make_shared<std::string>("BB8");
    wait->add_option("MS", *ms, "time-out in milliseconds (hex)");
    wait->callback([=] {
        const std::uint32_t t = number(*ms, "time-out");
        const std::uint8_t i = openCamera(*ctx, true);
        if (!TAVIX_SpiWaitBusReady(t, i)) fail("flash not ready");
        printOk(*ctx, i, "wait");
    });

    auto* load = app.add_subcommand("load", "load FILE with the image checks, against camera 0");
    auto loadFile = std::make_shared<std::string>();
    load->add_option("FILE", *loadFile, "firmware image (.bin)")->required();
    load->callback([=] {
        if (devCount() == 0) TAVIX_EnumDevs();
        Bytes image(0x10000);
        const std::wstring path = widen(*loadFile);
        if (!TAVIX_LoadBinFileFromPath(image.data(), path.c_str(), 0))
            fail("image " + *loadFile + " refused (size, name or chip signature; see the trace log)");
        std::uint32_t size = 0;
        const bool counted = TAVIX_GetBinFileSize(&size) != 0;
        if (!counted) {
            // Without a camera the library does not hand the count out; the file's own
            // length is what was read.
            std::ifstream f(*loadFile, std::ios::binary | std::ios::ate);
            size = static_cast<std::uint32_t>(f.tellg());
        }
        const std::uint32_t crc = TAVIX_CRC16Calculate(image.data(), size);
        if (ctx->json()) {
            std::printf("{\"file\":\"%s\",\"size\":%u,\"crc\":\"0x%04X\",\"signatureChecked\":%s}\n",
                        lumoctl::JsonEscape(*loadFile).c_str(), size, crc, devCount() ? "true" : "false");
        } else {
            std::printf("%s: %u bytes, CRC 0x%04X%s\n", loadFile->c_str(), size, crc,
                        devCount() ? "" : " (no camera: signature not checked)");
        }
    });

    auto* crc = app.add_subcommand("crc", "CRC-16 of FILE");
    auto crcFile = std::make_shared<std::string>();
    crc->add_option("FILE", *crcFile, "any file")->required();
    crc->callback([=] {
        std::ifstream f(*crcFile, std::ios::binary);
        if (!f) fail("cannot open " + *crcFile);
        Bytes data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        if (data.size() > 0xFFFFFFFFu) fail("file too large");
        const std::uint32_t v = TAVIX_CRC16Calculate(data.data(), static_cast<std::uint32_t>(data.size()));
        if (ctx->json()) {
            std::printf("{\"file\":\"%s\",\"size\":%zu,\"crc\":\"0x%04X\"}\n", lumoctl::JsonEscape(*crcFile).c_str(),
                        data.size(), v);
        } else {
            std::printf("0x%04X\n", v);
        }
    });

    auto* reset = app.add_subcommand("reset", "reset the camera (it leaves the bus and comes back)");
    reset->callback([=] {
        const std::uint8_t i = openCamera(*ctx, false);
        TAVIX_DeviceReset(i);
        printOk(*ctx, i, "reset");
    });

    auto* version = app.add_subcommand("version", "product version of FILE (a library or program of ours)");
    auto verFile = std::make_shared<std::string>();
    version->add_option("FILE", *verFile, "file")->required();
    version->callback([=] {
        std::wstring v;
        const std::wstring path = widen(*verFile);
        if (!TAVIX_GetProductVersion(path.c_str(), v)) fail("no product version in " + *verFile);
        std::string narrow;
        for (wchar_t c : v) narrow += static_cast<char>(c < 0x80 ? c : '?');
        if (ctx->json()) {
            std::printf("{\"file\":\"%s\",\"version\":\"%s\"}\n", lumoctl::JsonEscape(*verFile).c_str(),
                        lumoctl::JsonEscape(narrow).c_str());
        } else {
            std::printf("%s\n", narrow.c_str());
        }
    });
}
