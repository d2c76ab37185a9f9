// The camera's H.264 unit model: fixed lengths, directions, QP steps per frame type.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/emu/EmuH264.h"

namespace {

using lumo::os::emu::EmuH264;

class EmuH264Model : public ::testing::Test {
protected:
    bool set(std::uint8_t sel, std::vector<std::uint8_t> d) {
        return unit.set(sel, d.data(), static_cast<std::uint32_t>(d.size()));
    }
    std::vector<std::uint8_t> get(std::uint8_t sel, std::uint32_t len) {
        std::vector<std::uint8_t> d(len, 0xEE);
        EXPECT_TRUE(unit.get(sel, d.data(), len)) << "selector " << int(sel);
        return d;
    }
    EmuH264 unit;
};

TEST_F(EmuH264Model, EveryControlHasItsLengthAndDirections) {
    struct Row {
        std::uint8_t sel;
        std::uint32_t len;
        bool canSet, canGet;
    };
    const Row rows[] = {{0x03, 4, true, true},  {0x09, 4, true, false}, {0x0A, 2, false, true}, {0x0B, 2, true, false},
                        {0x0E, 10, true, true}, {0x0F, 6, true, true},  {0x01, 0, false, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(int(r.sel));
        EXPECT_EQ(EmuH264::controlLength(r.sel), r.len);
        std::vector<std::uint8_t> d(12, 0);
        d[2] = 1;  // a valid rate-control mode
        d[3] = 1;
        d[4] = 2;  // QP min <= max
        EXPECT_EQ(unit.set(r.sel, d.data(), r.len), r.canSet);
        EXPECT_EQ(unit.get(r.sel, d.data(), r.len), r.canGet);
        if (r.len != 0) {
            EXPECT_FALSE(unit.set(r.sel, d.data(), r.len + 1));
            EXPECT_FALSE(unit.get(r.sel, d.data(), r.len - 1));
        }
    }
}

TEST_F(EmuH264Model, VersionTravelsMostSignificantByteFirst) {
    unit.setVersion(0x0110);
    EXPECT_EQ(get(0x0A, 2), (std::vector<std::uint8_t>{0x01, 0x10}));
}

TEST_F(EmuH264Model, RecordsComeBackAsSent) {
    ASSERT_TRUE(set(0x03, {0x01, 0x00, 0x02, 0x7F}));
    EXPECT_EQ(get(0x03, 4), (std::vector<std::uint8_t>{0x01, 0x00, 0x02, 0x7F}));
    EXPECT_FALSE(set(0x03, {0x00, 0x00, 0x04, 0x00}));  // no such mode
    EXPECT_EQ(get(0x03, 4)[2], 0x02);

    const std::vector<std::uint8_t> rates{0x01, 0x02, 0x33, 0x22, 0x11, 0x00, 0x66, 0x55, 0x44, 0x00};
    ASSERT_TRUE(set(0x0E, rates));
    EXPECT_EQ(get(0x0E, 10), rates);
}

TEST_F(EmuH264Model, QpStepsAreKeptPerFrameTypeAndZeroLimitsOnlySelect) {
    ASSERT_TRUE(set(0x0F, {0x00, 0x00, 0x01, 0x14, 0x28, 0x00}));  // I: 20..40
    ASSERT_TRUE(set(0x0F, {0x00, 0x00, 0x02, 0x18, 0x30, 0x00}));  // P: 24..48

    ASSERT_TRUE(set(0x0F, {0x00, 0x00, 0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(get(0x0F, 6), (std::vector<std::uint8_t>{0x00, 0x00, 0x01, 0x14, 0x28, 0x00}));
    ASSERT_TRUE(set(0x0F, {0x00, 0x00, 0x02, 0x00, 0x00, 0x00}));
    EXPECT_EQ(get(0x0F, 6), (std::vector<std::uint8_t>{0x00, 0x00, 0x02, 0x18, 0x30, 0x00}));
    // A frame type never set reports the encoder's defaults.
    ASSERT_TRUE(set(0x0F, {0x00, 0x00, 0x04, 0x00, 0x00, 0x00}));
    EXPECT_EQ(get(0x0F, 6), (std::vector<std::uint8_t>{0x00, 0x00, 0x04, 10, 51, 0x00}));
    // Minimum above maximum is refused and changes nothing.
    EXPECT_FALSE(set(0x0F, {0x00, 0x00, 0x01, 0x30, 0x10, 0x00}));
    EXPECT_EQ(unit.qpSteps(1)[3], 0x14);
}

TEST_F(EmuH264Model, ResetAndNextFrameTypeAreRecorded) {
    ASSERT_TRUE(set(0x0B, {0x02, 0x01}));
    ASSERT_TRUE(set(0x09, {0x00, 0x00, 0x01, 0x00}));
    EXPECT_EQ(unit.resetCount(), 1u);
    EXPECT_EQ(unit.lastResetLayer(), 0x0102);
    EXPECT_EQ(unit.nextFrameRequests(), 1u);
    EXPECT_EQ(unit.nextFrameType(), (std::array<std::uint8_t, 4>{0x00, 0x00, 0x01, 0x00}));
}

}  // namespace
