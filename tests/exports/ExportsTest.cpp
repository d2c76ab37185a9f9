#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "platform/emu/EmuWorld.h"
#include "sdk/LumoCtrl.h"
#include "sdk/LumoSDK.h"
#include "sdk/device/LumoDev.h"
#include "tests/support/EmuWorldFixture.h"

namespace {

// The library's own registry on an emulated world; emptied after every test.
class ExportsTest : public lumo::testsupport::EmuWorldFixture {
protected:
    void TearDown() override {
        TAVIX_FreeDevs();
        EmuWorldFixture::TearDown();
    }
    std::uint8_t count() {
        std::uint8_t n = 0xEE;
        TAVIX_GetDevCount(&n);
        return n;
    }
    std::uint64_t totalRequests() {
        std::uint64_t n = 0;
        for (std::size_t i = 0; i < m_world->cameraCount(); ++i) n += m_world->camera(i).requestCount();
        return n;
    }
};

struct CheckedExport {
    const char* name;
    bool takesLength;
    std::function<std::int32_t(std::uint8_t index, std::uint32_t length)> call;
};

std::vector<CheckedExport> checkedExports() {
    static std::vector<std::uint8_t> buf(64, 0);
    static TAVIX_PROP_PAGE_CTRL pu[TAVIX_PU_COUNT], ct[TAVIX_CT_COUNT];
    std::uint8_t* b = buf.data();
    auto u16 = reinterpret_cast<std::uint16_t*>(b);
    auto u32 = reinterpret_cast<std::uint32_t*>(b);
    return {
        {"ExtRomRead", true, [=](std::uint8_t i, std::uint32_t n) { return TAVIX_ExtRomRead(0, n, b, i); }},
        {"ExtRomWrite", true, [=](std::uint8_t i, std::uint32_t n) { return TAVIX_ExtRomWrite(0, n, b, i); }},
        {"RegWrite", true, [=](std::uint8_t i, std::uint32_t n) { return TAVIX_RegWrite(0x100, n, b, i); }},
        {"RegRead", true, [=](std::uint8_t i, std::uint32_t n) { return TAVIX_RegRead(0x100, n, b, i); }},
        {"SensorRegRead", true, [=](std::uint8_t i, std::uint32_t n) { return TAVIX_SensorRegRead(0, n, b, i); }},
        {"SensorRegWrite", true, [=](std::uint8_t i, std::uint32_t n) { return TAVIX_SensorRegWrite(0, n, b, i); }},
        {"McuDataRead", true, [=](std::uint8_t i, std::uint32_t n) { return TAVIX_McuDataRead(0, n, b, i); }},
        {"McuDataWrite", true, [=](std::uint8_t i, std::uint32_t n) { return TAVIX_McuDataWrite(0, n, b, i); }},
        {"McuCodeRead", true, [=](std::uint8_t i, std::uint32_t n) { return TAVIX_McuCodeRead(0, n, b, i); }},
        {"ExtRomWriteEnable", false, [](std::uint8_t i, std::uint32_t) { return TAVIX_ExtRomWriteEnable(1, i); }},
        {"EraseAll", false, [](std::uint8_t i, std::uint32_t) { return TAVIX_EraseAll(i); }},
        {"SectorEraseById", false, [](std::uint8_t i, std::uint32_t) { return TAVIX_SpiCmdSectorEraseById(1, i); }},
        {"SectorEraseByAddr", false,
         [](std::uint8_t i, std::uint32_t) { return TAVIX_SpiCmdSectorEraseByAddr(0x1000, i); }},
        {"BlockEraseById", false, [](std::uint8_t i, std::uint32_t) { return TAVIX_SpiCmdBlockEraseById(0, i); }},
        {"BlockEraseByAddr", false, [](std::uint8_t i, std::uint32_t) { return TAVIX_SpiCmdBlockEraseByAddr(0, i); }},
        {"DeviceReset", false,
         [](std::uint8_t i, std::uint32_t) {
             TAVIX_DeviceReset(i);
             return 0;
         }},
        {"SpiWaitBusReady", false, [](std::uint8_t i, std::uint32_t) { return TAVIX_SpiWaitBusReady(10, i); }},
        {"DevsDelByIndex", false, [](std::uint8_t i, std::uint32_t) { return TAVIX_DevsDelByIndex(i); }},
        {"GetPropPageCurVal", false, [](std::uint8_t i, std::uint32_t) { return TAVIX_GetPropPageCurVal(pu, ct, i); }},
        {"GetModuleInfo", false,
         [=](std::uint8_t i, std::uint32_t) { return TAVIX_GetModuleInfo(u16, u16 + 1, b + 8, i); }},
        {"GetBackendInfo", false, [=](std::uint8_t i, std::uint32_t) { return TAVIX_GetBackendInfo(b, b + 8, i); }},
        {"GetFlashSize", false, [=](std::uint8_t i, std::uint32_t) { return TAVIX_GetFlashSize(u32, i); }},
        {"GetPidVid", false, [=](std::uint8_t i, std::uint32_t) { return TAVIX_GetPidVid(u16, u16 + 1, i); }},
        {"GetBcdDevice", false, [=](std::uint8_t i, std::uint32_t) { return TAVIX_GetBcdDevice(u16, i); }},
        {"GetXuCtrlVer", false, [=](std::uint8_t i, std::uint32_t) { return TAVIX_GetXuCtrlVer(b, i); }},
    };
}

// Every index export refuses, before any request: no camera, an index equal to the count,
// index 255, and (where a length is taken) length 0.
TEST_F(ExportsTest, FrameChecksRefuseWithoutARequest) {
    for (const auto& e : checkedExports()) {
        EXPECT_EQ(e.call(0, 4), 0) << e.name << ": no camera";
    }
    EXPECT_EQ(TAVIX_FreeDevs(), 0);
    EXPECT_EQ(TAVIX_QueryExtRom(), 0);
    std::wstring path = L"\\\\?\\usb#x{y}";
    EXPECT_EQ(TAVIX_DevsDelByPath(path), 0);
    EXPECT_EQ(path, L"\\\\?\\usb#x{y}") << "touched without a camera";
    std::uint32_t size = 0;
    EXPECT_EQ(TAVIX_GetBinFileSize(&size), 0);
    EXPECT_EQ(count(), 0);

    add();
    ASSERT_EQ(TAVIX_EnumDevs(), 1);
    ASSERT_EQ(count(), 1);
    const std::uint64_t before = totalRequests();
    for (const auto& e : checkedExports()) {
        EXPECT_EQ(e.call(1, 4), 0) << e.name << ": index equal to the count";
        EXPECT_EQ(e.call(255, 4), 0) << e.name << ": index 255";
        if (e.takesLength) {
            EXPECT_EQ(e.call(0, 0), 0) << e.name << ": length 0";
        }
    }
    // Neither 0 nor 1: nothing changes, so it is no success.
    EXPECT_EQ(TAVIX_ExtRomWriteEnable(2, 0), 0);
    EXPECT_EQ(TAVIX_ExtRomWriteEnable(-1, 0), 0);
    EXPECT_EQ(totalRequests(), before) << "a refused call reached the camera";
    EXPECT_EQ(count(), 1);
}

TEST_F(ExportsTest, IdentityCopies) {
    add();
    ASSERT_EQ(TAVIX_EnumDevs(), 1);
    ASSERT_EQ(TAVIX_QueryExtRom(), 1);
    std::uint16_t vid = 0, pid = 0, bcd = 0;
    EXPECT_EQ(TAVIX_GetPidVid(&vid, &pid, 0), 1);
    EXPECT_EQ(vid, 0x2E1A);
    EXPECT_EQ(pid, 0x7421);
    EXPECT_EQ(TAVIX_GetBcdDevice(&bcd, 0), 1);
    EXPECT_EQ(bcd, 0x0100);
    std::uint8_t sig[4] = {}, part[8] = {};
    EXPECT_EQ(TAVIX_GetBackendInfo(sig, part, 0), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(sig), 2), "ED");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(part), 6), "QT7421");
    std::uint32_t rom = 0;
    EXPECT_EQ(TAVIX_GetFlashSize(&rom, 0), 1);
    EXPECT_EQ(rom, 0x10000u);
    EXPECT_EQ(TAVIX_GetFlashSize(nullptr, 0), 0);
}

TEST_F(ExportsTest, RegistryExports) {
    add();
    add();
    add();
    ASSERT_EQ(TAVIX_EnumDevs(), 1);
    ASSERT_EQ(count(), 3);
    const std::wstring third = m_world->camera(2).devicePath();

    std::wstring nomatch = L"\\\\?\\usb#vid_ffff&pid_0001#9&x#{65e8773d-8f56-11d0-a3b9-00a0c9223196}";
    EXPECT_EQ(TAVIX_DevsDelByPath(nomatch), 1);
    EXPECT_EQ(nomatch, L"\\\\?\\USB#VID_FFFF&PID_0001#9&X#");
    EXPECT_EQ(count(), 3);

    std::wstring lower = third;
    for (auto& c : lower) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    EXPECT_EQ(TAVIX_DevsDelByPath(lower), 1);
    EXPECT_EQ(count(), 2);

    EXPECT_EQ(TAVIX_DevsDelByIndex(0), 1);
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(CLumoCtrl::Instance().m_oDevs[0]->m_szDevPath, m_world->camera(1).devicePath());

    // The detection result does not reach the caller.
    auto f = m_world->camera(1).faults();
    f.vanishAtRequest = m_world->camera(1).requestCount() + 1;
    m_world->camera(1).setFaults(f);
    EXPECT_EQ(TAVIX_QueryExtRom(), 1);

    EXPECT_EQ(TAVIX_FreeDevs(), 1);
    EXPECT_EQ(count(), 0);
}

TEST_F(ExportsTest, ImageAgainstCameraZeroOnly) {
    const auto dir = std::filesystem::temp_directory_path() / ("lumo-exports-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto image = [&](const char* name, const char* sig) {
        std::vector<char> bytes(1024, '\x11');
        bytes[0x40] = sig[0];
        bytes[0x41] = sig[1];
        std::ofstream((dir / name), std::ios::binary).write(bytes.data(), 1024);
        return (dir / name).wstring();
    };
    const std::wstring ed = image("ed.bin", "ED"), ax = image("ax.bin", "AX");
    std::vector<std::uint8_t> buf(65536);
    std::uint32_t size = 0;

    // No camera: the signature is not tested, and the byte count is not handed out.
    EXPECT_EQ(TAVIX_LoadBinFileFromPath(buf.data(), ax.c_str(), 0), 1);
    EXPECT_EQ(TAVIX_GetBinFileSize(&size), 0);

    add("QT7421");  // "ED"
    add("QT7310");  // "AX"
    ASSERT_EQ(TAVIX_EnumDevs(), 1);
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(TAVIX_LoadBinFileFromPath(buf.data(), ed.c_str(), 0), 1);
    EXPECT_EQ(TAVIX_LoadBinFileFromPath(buf.data(), ax.c_str(), 0), 0);
    EXPECT_EQ(TAVIX_GetBinFileSize(&size), 1);
    EXPECT_EQ(size, 1024u);
    EXPECT_EQ(TAVIX_CRC16Calculate(reinterpret_cast<const std::uint8_t*>("123456789"), 9), 0xAEE7u);
    EXPECT_EQ(TAVIX_CRC16Calculate(nullptr, 0), 0xFFFFu);
    std::filesystem::remove_all(dir);
}

// A range that runs past 0xFFFF is refused before any request, however large its length
// (address + length must not wrap round to a small number); a range that ends at 0xFFFF passes.
TEST_F(ExportsTest, RomRangesEndAtTheLastAddress) {
    add();
    ASSERT_EQ(TAVIX_EnumDevs(), 1);
    ASSERT_EQ(TAVIX_QueryExtRom(), 1);
    std::vector<std::uint8_t> buf(0x10000, 0x5A);
    struct Case {
        std::uint16_t address;
        std::uint32_t length;
        bool accepted;
    };
    const Case cases[] = {
        {0x8000, 0xFFFF8000u, false}, {0x0000, 0xFFFFFFFFu, false}, {0xFF00, 0x101, false},
        {0x0001, 0x10000, false},     {0xFF00, 0x100, true},
    };
    for (const Case& c : cases) {
        const std::uint64_t before = totalRequests();
        EXPECT_EQ(TAVIX_ExtRomWrite(c.address, c.length, buf.data(), 0), c.accepted ? 1 : 0)
            << std::hex << c.address << " " << c.length;
        EXPECT_EQ(TAVIX_ExtRomRead(c.address, c.length, buf.data(), 0), c.accepted ? 1 : 0)
            << std::hex << c.address << " " << c.length;
        if (!c.accepted) {
            EXPECT_EQ(totalRequests(), before) << "a refused range reached the camera";
        }
    }
    const auto rom = m_world->camera(0).rom();
    EXPECT_EQ(rom[0x0000], 0xFF) << "the start of the ROM was written";
}

// A FIFO or a device file has no version resource; the query must not wait for a writer.
TEST_F(ExportsTest, ProductVersionOfAFifoIsRefusedAtOnce) {
    const auto fifo = std::filesystem::temp_directory_path() / ("lumo-fifo-" + std::to_string(::getpid()));
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::wstring& path : {fifo.wstring(), std::wstring(L"/dev/null"), std::wstring(L"/dev/zero")}) {
        std::wstring version = L"unchanged";
        auto query = std::async(std::launch::async, [&] { return TAVIX_GetProductVersion(path.c_str(), version); });
        if (query.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            // Release the blocked open by becoming its writer, so the test fails instead of hanging.
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            query.wait();
            if (fd >= 0) ::close(fd);
            ADD_FAILURE() << "the version query blocked on " << std::string(path.begin(), path.end());
            continue;
        }
        EXPECT_EQ(query.get(), 0);
        EXPECT_EQ(version, L"unchanged");
    }
    std::filesystem::remove(fifo);
}

}  // namespace
