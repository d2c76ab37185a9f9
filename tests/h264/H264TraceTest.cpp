// The records an H.264 command leaves: value lines on success, one failure text on failure.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "tests/osd/EmuDeviceFixture.h"
#include "tests/uvc/TraceCapture.h"

namespace {

using lumo::test::EmuDevice;

TEST(H264Trace, ValueLinesAndFailureTexts) {
    TraceCapture trace;
    EmuDevice cam(EmuDevice::xuCamera());
    const std::array<std::uint8_t, 6> qp{0x00, 0x00, 0x02, 0x18, 0x30, 0x00};
    const std::array<std::uint8_t, 12> rates{0x02, 0x01, 0, 0, 0x33, 0x22, 0x11, 0x00, 0x66, 0x55, 0x44, 0x00};
    std::array<std::uint8_t, 12> back{};
    ASSERT_EQ(cam.dev.XuH264QpStepsSet(qp.data()), 1);
    ASSERT_EQ(cam.dev.XuH264BitRateTargetSet(rates.data()), 1);
    ASSERT_EQ(cam.dev.XuH264BitRateTargetGet(back.data()), 1);
    ASSERT_EQ(cam.dev.XuH264RateCtrlModeGet(back.data()), 1);
    cam.failRequestAfter(1);
    EXPECT_EQ(cam.dev.XuH264Reset(back.data()), 0);

    EXPECT_TRUE(trace.has("Qp-> Min=18, Max=30, Type= 2 "));
    EXPECT_TRUE(trace.has("*dwAverageBitrate = 0x445566"));
    EXPECT_TRUE(trace.has("*dwPeakBitrate = 0x112233"));
    EXPECT_TRUE(trace.has("*pH264 Rate Ctrl Mode = 01 , 1:CBR mode, 2:VBR mode, 3:Constant QP mode"));
    EXPECT_TRUE(trace.has("XuSetH264Reset FAILED.XXXXXXXXXX"));
    EXPECT_TRUE(trace.has("CLumoDev::XuH264Reset <==="));
}

}  // namespace
