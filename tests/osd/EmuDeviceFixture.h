#pragma once
// A CLumoDev opened on one emulated camera, the way enumeration opens it, for tests of the
// OSD and H.264 commands against the camera's request log. Optionally registered, so the
// exports reach it at index 0.
#include <cstdint>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/DeviceWorld.h"
#include "platform/Guid.h"
#include "platform/emu/EmuH264.h"
#include "platform/emu/EmuOsd.h"
#include "platform/emu/EmuWorld.h"
#include "sdk/LumoCtrl.h"
#include "sdk/device/LumoDev.h"
#include "tests/support/OpenEmuCandidate.h"

namespace lumo::test {

using Bytes = std::vector<std::uint8_t>;

class EmuDevice {
public:
    explicit EmuDevice(const os::emu::CameraConfig& config) {
        m_clock = os::emu::VirtualClock::install();
        m_world = std::make_shared<os::emu::EmuWorld>();
        m_cam = m_world->addCamera(config);
        os::installDeviceWorld(m_world);

        EXPECT_TRUE(lumo::test::openFirstCandidate(*m_world, dev));
        // What the backend identification would have found.
        if (config.xu) {
            dev.m_CtrlVer.bytes[0] = 'X';
            dev.m_CtrlVer.bytes[1] = 'U';
            dev.m_bH264Support = 1;
            dev.m_wH264CtrlVer = 0x0110;
        }
        camera().clearLog();
    }

    ~EmuDevice() {
        unregister();
        dev.ReleaseIoHandle();
        os::installDeviceWorld(nullptr);
    }
    EmuDevice(const EmuDevice&) = delete;
    EmuDevice& operator=(const EmuDevice&) = delete;

    static os::emu::CameraConfig xuCamera(os::emu::DriverMode driver = os::emu::DriverMode::Class) {
        os::emu::CameraConfig c;
        c.xu = true;
        c.driver = driver;
        return c;
    }

    os::emu::EmuCamera& camera() { return m_world->camera(m_cam); }
    os::emu::EmuOsd& osd() { return camera().osd(); }
    os::emu::EmuH264& h264() { return camera().h264(); }

    // Makes the device index 0 of the registry (the registry does not own it here).
    void registerAsIndex0() {
        auto& ctrl = CLumoCtrl::Instance();
        ASSERT_EQ(ctrl.m_nDevCount, 0);
        ctrl.m_oDevs.push_back(&dev);
        ctrl.m_nDevCount = 1;
        m_registered = true;
    }
    void unregister() {
        if (!m_registered) return;
        auto& ctrl = CLumoCtrl::Instance();
        ctrl.m_oDevs.clear();
        ctrl.m_nDevCount = 0;
        m_registered = false;
    }

    // Requests of the next `count` numbers fail (counting from the next request).
    void failRequestAfter(std::uint64_t offset) {
        auto f = camera().faults();
        f.failRequest = camera().requestCount() + offset;
        camera().setFaults(f);
    }

    // Every request since the last clear, as (set?, bytes) pairs of one unit.
    std::vector<os::emu::RequestRecord> vendor(std::uint32_t selector) { return camera().vendorRequests(selector); }
    std::vector<os::emu::RequestRecord> h264Requests() {
        std::vector<os::emu::RequestRecord> out;
        for (auto& r : camera().requests())
            if (r.unit == os::guids::kH264Xu) out.push_back(r);
        return out;
    }

    CLumoDev dev;

private:
    std::shared_ptr<os::emu::VirtualClock> m_clock;
    std::shared_ptr<os::emu::EmuWorld> m_world;
    std::size_t m_cam = 0;
    bool m_registered = false;
};

}  // namespace lumo::test
