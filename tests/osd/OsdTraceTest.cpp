// The records an OSD command leaves: unavailability, the handshake steps' messages.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "tests/osd/EmuDeviceFixture.h"
#include "tests/uvc/TraceCapture.h"

namespace {

using lumo::test::EmuDevice;

TEST(OsdTrace, UnavailableCameraAndFailedHandshakeSteps) {
    TraceCapture trace;
    EmuDevice cam(EmuDevice::xuCamera());
    std::array<std::uint8_t, 16> record{};

    cam.failRequestAfter(1);
    EXPECT_EQ(cam.dev.XuOsdEnableGet(record.data()), 0);
    cam.failRequestAfter(2);
    EXPECT_EQ(cam.dev.XuOsdTimeSyncGet(record.data()), 0);
    cam.failRequestAfter(2);
    EXPECT_EQ(cam.dev.XuOsdColorGet(record.data()), 0);
    cam.dev.m_CtrlVer = {};
    EXPECT_EQ(cam.dev.XuOsdReset(), 0);

    EXPECT_TRUE(trace.has("Get Enable Fail when set read mode XXXXXXXX"));
    EXPECT_TRUE(trace.has("Get Time Fail when get read mode XXXXXXXX"));
    EXPECT_TRUE(trace.has("Get String Fail when get read mode XXXXXXXX"));
    EXPECT_TRUE(trace.has("OSD can't not set XXXXXXXXXXXXXXXXXXXX"));
    EXPECT_TRUE(trace.has("the device can't support OSD XU command XXXXXXXXXX"));
    EXPECT_TRUE(trace.has("CLumoDev::XuOsdReset <==="));
}

}  // namespace
