#pragma once
// A CLumoDev opened on one emulated camera the way enumeration opens it, with a virtual
// clock, and helpers that turn the camera's request log into the byte sequences the
// command layer is meant to send.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/trace/DEduraInternal.h"
#include "platform/DeviceWorld.h"
#include "platform/emu/EmuWorld.h"
#include "sdk/device/LumoDev.h"
#include "tests/support/OpenEmuCandidate.h"

namespace lumo::test {

using Bytes = std::vector<std::uint8_t>;
namespace emu = lumo::os::emu;

// One vendor-unit request reduced to what the tests compare.
struct Req {
    std::uint32_t selector;
    bool set;
    Bytes data;  // set: the bytes sent (trimmed as asked); get: empty
    friend bool operator==(const Req&, const Req&) = default;
};

inline std::ostream& operator<<(std::ostream& os, const Req& r) {
    os << (r.set ? "set " : "get ") << std::hex << r.selector << ":";
    for (auto b : r.data) os << ' ' << static_cast<int>(b);
    return os << std::dec;
}

// Trace records of every level into a log file of a scratch directory, read back as text.
class TraceCapture {
public:
    TraceCapture() {
        std::filesystem::create_directories(m_dir);
        std::ofstream(m_dir / "TvDbgCfg.ini") << "[OUTPUT]\nFILE=1\nVIEW=0\n";
        lumo::trace::initializeIn(m_dir.string() + "/", L"TvDbgCfg.ini");
    }
    ~TraceCapture() {
        lumo::trace::reset();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    // The records so far; the file form shifts every non-space character of a record by 0x40.
    std::string text() const {
        std::ifstream in(lumo::trace::logFilePath(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        std::string t = ss.str();
        for (char& c : t)
            if (c != ' ' && c != '\r' && c != '\n') c = static_cast<char>(static_cast<unsigned char>(c) - 0x40);
        return t;
    }
    bool has(const std::string& record) const { return text().find(record) != std::string::npos; }

private:
    std::filesystem::path m_dir =
        std::filesystem::temp_directory_path() /
        ("lumo_device_trace_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

class DeviceTest : public ::testing::Test {
protected:
    void open(const emu::CameraConfig& config) {
        m_clock = emu::VirtualClock::install();
        m_world = std::make_shared<emu::EmuWorld>();
        m_cam = m_world->addCamera(config);
        os::installDeviceWorld(m_world);
        dev = std::make_unique<CLumoDev>();
        ASSERT_TRUE(lumo::test::openFirstCandidate(*m_world, *dev));
        cam().clearLog();
    }

    // Opens and identifies the camera, leaving an empty log.
    void openIdentified(const emu::CameraConfig& config) {
        open(config);
        ASSERT_EQ(dev->DevQueryBackendInfo(), 1);
        cam().clearLog();
    }

    // ROM detection as the registry runs it: detect, then tell the controller.
    void detect() {
        ASSERT_EQ(dev->QueryExtRomType(), 1);
        ASSERT_EQ(dev->SetExtRomType(), 1);
    }

    void TearDown() override {
        if (dev) dev->ReleaseIoHandle();
        dev.reset();
        os::installDeviceWorld(nullptr);
        os::installClock(nullptr);
    }

    emu::EmuCamera& cam() { return m_world->camera(m_cam); }
    emu::VirtualClock& clock() { return *m_clock; }

    // Every vendor request since the last clear; sets keep `keep` bytes of their data
    // (0: all of it).
    std::vector<Req> log(std::size_t keep = 0) {
        std::vector<Req> out;
        for (const auto& r : cam().requests()) {
            if (!r.isVendor()) continue;
            Bytes d;
            if (r.set) {
                d = r.data;
                if (keep && d.size() > keep) d.resize(keep);
            }
            out.push_back({r.selector, r.set, d});
        }
        return out;
    }

    // The SPI commands sent through the engine: every write to register 0x0100 (the command
    // buffer), as its bytes.
    std::vector<Bytes> spiCommands() {
        std::vector<Bytes> out;
        for (const auto& r : cam().vendorRequests(XU_CTRL_REG)) {
            if (!r.set || r.data.size() < 3) continue;
            if ((r.data[0] & 0x80) && r.data[1] == 0x01 && r.data[2] == 0x00) {
                const std::size_t n = r.data[0] & 0x3F;
                out.emplace_back(r.data.begin() + 3, r.data.begin() + 3 + static_cast<std::ptrdiff_t>(n));
            }
        }
        return out;
    }

    void failRequestAfter(std::uint64_t offset) {
        auto f = cam().faults();
        f.failRequest = cam().requestCount() + offset;
        cam().setFaults(f);
    }

    std::unique_ptr<CLumoDev> dev;

private:
    std::shared_ptr<emu::VirtualClock> m_clock;
    std::shared_ptr<emu::EmuWorld> m_world;
    std::size_t m_cam = 0;
};

// A set request on a sequence control: block header and data bytes.
inline Req seqSet(std::uint32_t sel, Bytes head) {
    return {sel, true, std::move(head)};
}
inline Req seqGet(std::uint32_t sel) {
    return {sel, false, {}};
}

inline emu::CameraConfig spiCamera(bool em = false) {
    emu::CameraConfig c;
    c.em = em;
    return c;
}
inline emu::CameraConfig eepromCamera(std::uint32_t bytes, bool em = false) {
    emu::CameraConfig c;
    c.rom = emu::RomKind::Eeprom;
    c.eepromBytes = bytes;
    c.em = em;
    return c;
}

}  // namespace lumo::test
