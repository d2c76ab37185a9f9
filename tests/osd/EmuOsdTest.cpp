// The camera's OSD model: selection by read codes, per-slot strings, byte-0 replies.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "platform/emu/EmuOsd.h"

namespace {

using Block = std::array<std::uint8_t, 18>;

Block block(std::initializer_list<std::uint8_t> head) {
    Block b{};
    std::size_t i = 0;
    for (auto v : head) b[i++] = v;
    return b;
}

class EmuOsdModel : public ::testing::Test {
protected:
    bool set(const Block& b) { return osd.set(b.data(), static_cast<std::uint32_t>(b.size())); }
    Block read(const Block& select) {
        Block out{};
        EXPECT_TRUE(set(select));
        EXPECT_TRUE(osd.get(out.data(), static_cast<std::uint32_t>(out.size())));
        return out;
    }
    lumo::os::emu::EmuOsd osd;
};

TEST_F(EmuOsdModel, WritesTakeParametersFromByteOneAndReadsAnswerFromByteZero) {
    ASSERT_TRUE(set(block({0x01, 0x01})));
    ASSERT_TRUE(set(block({0x04, 1, 2, 3, 4, 5, 6, 7, 8})));
    ASSERT_TRUE(set(block({0x10, 9, 8, 7, 6, 5, 4, 3, 2, 1})));
    ASSERT_TRUE(set(block({0x20, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9})));

    EXPECT_EQ(read(block({0x81})), block({0x01}));
    EXPECT_EQ(read(block({0x84})), block({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(read(block({0x90})), block({9, 8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(read(block({0xA0})), block({0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9}));
}

TEST_F(EmuOsdModel, ColourReadCodeSelectsAndDoesNotWrite) {
    ASSERT_TRUE(set(block({0x20, 1, 2, 3, 4, 5, 6, 7, 8, 9})));
    ASSERT_TRUE(set(block({0xA0, 0xEE, 0xEE, 0xEE})));
    EXPECT_EQ(osd.colour(), (std::array<std::uint8_t, 9>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(osd.selectedCode(), 0xA0);
}

TEST_F(EmuOsdModel, StringsAreKeptPerSlotAsSent) {
    Block s1 = block({0x08, 1, 0x12, 0x34});
    for (std::size_t i = 4; i < 18; ++i) s1[i] = static_cast<std::uint8_t>('a' + i);
    ASSERT_TRUE(set(s1));
    ASSERT_TRUE(set(block({0x08, 2, 0x56, 0x78, 'z'})));

    Block want1{};
    std::copy(s1.begin() + 2, s1.end(), want1.begin());
    EXPECT_EQ(read(block({0x88, 1})), want1);
    EXPECT_EQ(read(block({0x88, 2})), block({0x56, 0x78, 'z'}));
    EXPECT_EQ(read(block({0x88, 3})), Block{});  // unused slot
}

TEST_F(EmuOsdModel, ResetClearsStateAndHdrWriteIsCounted) {
    ASSERT_TRUE(set(block({0x01, 1})));
    ASSERT_TRUE(set(block({0x08, 0, 'h', 'i'})));
    ASSERT_TRUE(set(block({0x02})));
    ASSERT_TRUE(set(block({0x40})));
    EXPECT_EQ(osd.enable(), 0);
    EXPECT_EQ(osd.string(0), (std::array<std::uint8_t, 16>{}));
    EXPECT_EQ(osd.resetCount(), 1u);
    EXPECT_EQ(osd.hdrWriteCount(), 1u);
}

TEST_F(EmuOsdModel, RefusesWrongLengthsAndUnknownCodes) {
    Block b = block({0x01, 1});
    EXPECT_FALSE(osd.set(b.data(), 17));
    EXPECT_FALSE(osd.get(b.data(), 19));
    for (std::uint8_t code : {0x00, 0x03, 0x80, 0x82, 0xC0, 0xFF}) {
        EXPECT_FALSE(set(block({code}))) << "code " << int(code);
    }
    EXPECT_EQ(osd.enable(), 0);
}

TEST_F(EmuOsdModel, ReadWithoutSelectionIsAllZero) {
    Block out;
    out.fill(0x55);
    ASSERT_TRUE(osd.get(out.data(), 18));
    EXPECT_EQ(out, Block{});
}

}  // namespace
