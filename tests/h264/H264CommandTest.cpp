// The H.264 commands of CLumoDev and their exports against an emulated camera: records on
// the wire from the request log, the bit-rate block conversion, the QP read pair, the H check.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "sdk/LumoSDK.h"
#include "tests/osd/EmuDeviceFixture.h"

namespace {

using lumo::test::Bytes;
using lumo::test::EmuDevice;

class H264Commands : public ::testing::Test {
protected:
    explicit H264Commands(lumo::os::emu::DriverMode driver = lumo::os::emu::DriverMode::Class)
        : cam(EmuDevice::xuCamera(driver)) {}
    // The H.264-unit requests since the last clear, as (selector, set, bytes).
    struct Seen {
        std::uint32_t selector;
        bool set;
        Bytes data;
        bool operator==(const Seen&) const = default;
    };
    std::vector<Seen> seen() {
        std::vector<Seen> out;
        for (const auto& r : cam.h264Requests()) out.push_back({r.selector, r.set, r.data});
        return out;
    }
    EmuDevice cam;
};

// The same traffic whichever driver carries it.
class H264BothDrivers : public H264Commands, public ::testing::WithParamInterface<lumo::os::emu::DriverMode> {
protected:
    H264BothDrivers() : H264Commands(GetParam()) {}
};

TEST_P(H264BothDrivers, RecordsTravelByteForByte) {
    const std::array<std::uint8_t, 4> rate{0x02, 0x01, 0x03, 0xAB};
    const std::array<std::uint8_t, 6> qp{0x02, 0x01, 0x01, 0x14, 0x28, 0xCD};
    const std::array<std::uint8_t, 4> frame{0x02, 0x01, 0x01, 0x00};
    const std::array<std::uint8_t, 2> reset{0x02, 0x01};
    EXPECT_EQ(cam.dev.XuH264RateCtrlModeSet(rate.data()), 1);
    EXPECT_EQ(cam.dev.XuH264QpStepsSet(qp.data()), 1);
    EXPECT_EQ(cam.dev.XuH264NextFrameTypeSet(frame.data()), 1);
    EXPECT_EQ(cam.dev.XuH264Reset(reset.data()), 1);

    std::array<std::uint8_t, 4> rateBack{};
    std::array<std::uint8_t, 6> qpBack{};
    EXPECT_EQ(cam.dev.XuH264RateCtrlModeGet(rateBack.data()), 1);
    EXPECT_EQ(cam.dev.XuH264QpStepsGet(qpBack.data()), 1);
    EXPECT_EQ(rateBack, rate);
    EXPECT_EQ(qpBack, qp);

    const std::vector<Seen> want{
        {0x03, true, {0x02, 0x01, 0x03, 0xAB}},  {0x0F, true, {0x02, 0x01, 0x01, 0x14, 0x28, 0xCD}},
        {0x09, true, {0x02, 0x01, 0x01, 0x00}},  {0x0B, true, {0x02, 0x01}},
        {0x03, false, {0x02, 0x01, 0x03, 0xAB}}, {0x0F, false, {0x02, 0x01, 0x01, 0x14, 0x28, 0xCD}},
    };
    EXPECT_EQ(seen(), want);
    EXPECT_EQ(cam.h264().lastResetLayer(), 0x0102);
}

INSTANTIATE_TEST_SUITE_P(Drivers, H264BothDrivers,
                         ::testing::Values(lumo::os::emu::DriverMode::Class, lumo::os::emu::DriverMode::Maker),
                         [](const auto& info) {
                             return info.param == lumo::os::emu::DriverMode::Class ? "Class" : "Maker";
                         });

TEST_F(H264Commands, BitRateBlockCarriesTheLayerMostSignificantByteFirst) {
    // layer 0x0102, peak 0x00112233, average 0x00445566, as the caller holds them.
    const std::array<std::uint8_t, 12> record{0x02, 0x01, 0xEE, 0xEE, 0x33, 0x22, 0x11, 0x00, 0x66, 0x55, 0x44, 0x00};
    ASSERT_EQ(cam.dev.XuH264BitRateTargetSet(record.data()), 1);

    std::array<std::uint8_t, 12> back{};
    back[2] = 0x77;
    back[3] = 0x88;
    ASSERT_EQ(cam.dev.XuH264BitRateTargetGet(back.data()), 1);
    const Bytes block{0x01, 0x02, 0x33, 0x22, 0x11, 0x00, 0x66, 0x55, 0x44, 0x00};
    EXPECT_EQ(seen(), (std::vector<Seen>{{0x0E, true, block}, {0x0E, false, block}}));
    // Same record back; bytes 2 and 3 are the caller's own.
    EXPECT_EQ(back,
              (std::array<std::uint8_t, 12>{0x02, 0x01, 0x77, 0x88, 0x33, 0x22, 0x11, 0x00, 0x66, 0x55, 0x44, 0x00}));
}

TEST_F(H264Commands, FailuresReturnZeroAndAFailedBitRateGetLeavesTheRecord) {
    struct Case {
        const char* name;
        std::function<std::int32_t(CLumoDev&, std::uint8_t*)> call;
    };
    const Case cases[] = {
        {"RateCtrlModeGet", [](CLumoDev& d, std::uint8_t* r) { return d.XuH264RateCtrlModeGet(r); }},
        {"RateCtrlModeSet", [](CLumoDev& d, std::uint8_t* r) { return d.XuH264RateCtrlModeSet(r); }},
        {"BitRateTargetGet", [](CLumoDev& d, std::uint8_t* r) { return d.XuH264BitRateTargetGet(r); }},
        {"BitRateTargetSet", [](CLumoDev& d, std::uint8_t* r) { return d.XuH264BitRateTargetSet(r); }},
        {"QpStepsGet", [](CLumoDev& d, std::uint8_t* r) { return d.XuH264QpStepsGet(r); }},
        {"QpStepsSet", [](CLumoDev& d, std::uint8_t* r) { return d.XuH264QpStepsSet(r); }},
        {"NextFrameTypeSet", [](CLumoDev& d, std::uint8_t* r) { return d.XuH264NextFrameTypeSet(r); }},
        {"Reset", [](CLumoDev& d, std::uint8_t* r) { return d.XuH264Reset(r); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::array<std::uint8_t, 12> record{0, 0, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0};
        cam.failRequestAfter(1);
        EXPECT_EQ(c.call(cam.dev, record.data()), 0);
        EXPECT_EQ(c.call(cam.dev, nullptr), 0);  // no record: refused, nothing sent
    }
    EXPECT_EQ(cam.h264Requests().size(), std::size(cases));

    std::array<std::uint8_t, 12> kept{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const auto before = kept;
    cam.failRequestAfter(1);
    EXPECT_EQ(cam.dev.XuH264BitRateTargetGet(kept.data()), 0);
    EXPECT_EQ(kept, before);
}

class H264Exports : public H264Commands {
protected:
    H264Exports() { cam.registerAsIndex0(); }
};

TEST_F(H264Exports, QpStepsGetSelectsTheFrameTypeThenReads) {
    const std::array<std::uint8_t, 6> pLimits{0x00, 0x00, 0x02, 0x18, 0x30, 0x00};
    ASSERT_EQ(TAVIX_H264QpStepsSet(pLimits.data(), 0), 1);
    cam.camera().clearLog();

    std::array<std::uint8_t, 6> record{0x05, 0x06, 0x02, 0x07, 0x08, 0x09};
    ASSERT_EQ(TAVIX_H264QpStepsGet(record.data(), 0), 1);
    EXPECT_EQ(seen(), (std::vector<Seen>{{0x0F, true, {0x00, 0x00, 0x02, 0x00, 0x00, 0x00}},
                                         {0x0F, false, {0x00, 0x00, 0x02, 0x18, 0x30, 0x00}}}));
    EXPECT_EQ(record, pLimits);
}

TEST_F(H264Exports, QpStepsGetReportsTheReadsResult) {
    std::array<std::uint8_t, 6> record{0, 0, 1, 0, 0, 0};
    cam.failRequestAfter(1);  // the selecting set fails: its result is not looked at
    EXPECT_EQ(TAVIX_H264QpStepsGet(record.data(), 0), 1);
    cam.failRequestAfter(2);
    EXPECT_EQ(TAVIX_H264QpStepsGet(record.data(), 0), 0);
}

TEST_F(H264Exports, ForwardAndHandOutTheVersion) {
    std::uint16_t version = 0;
    EXPECT_EQ(TAVIX_GetH264CtrlVer(&version, 0), 1);
    EXPECT_EQ(version, 0x0110);
    const std::array<std::uint8_t, 2> reset{0x00, 0x00};
    EXPECT_EQ(TAVIX_H264Reset(reset.data(), 0), 1);
    EXPECT_EQ(cam.h264().resetCount(), 1u);
    EXPECT_EQ(TAVIX_H264Reset(reset.data(), 1), 0);  // index equal to the count
}

TEST_F(H264Exports, WithoutH264SupportNothingIsSent) {
    cam.dev.m_bH264Support = 0;
    std::array<std::uint8_t, 12> record{0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::uint16_t version = 0xBEEF;
    EXPECT_EQ(TAVIX_H264RateCtrlModeGet(record.data(), 0), 0);
    EXPECT_EQ(TAVIX_H264RateCtrlModeSet(record.data(), 0), 0);
    EXPECT_EQ(TAVIX_H264BitRateTargetGet(record.data(), 0), 0);
    EXPECT_EQ(TAVIX_H264BitRateTargetSet(record.data(), 0), 0);
    EXPECT_EQ(TAVIX_H264QpStepsGet(record.data(), 0), 0);
    EXPECT_EQ(TAVIX_H264QpStepsSet(record.data(), 0), 0);
    EXPECT_EQ(TAVIX_H264NextFrameTypeSet(record.data(), 0), 0);
    EXPECT_EQ(TAVIX_H264Reset(record.data(), 0), 0);
    EXPECT_EQ(TAVIX_GetH264CtrlVer(&version, 0), 0);
    EXPECT_EQ(version, 0xBEEF);
    EXPECT_EQ(cam.camera().requestCount(), 0u);
}

}  // namespace
