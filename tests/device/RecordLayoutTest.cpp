// Byte layouts of the records the command layer hands out or reads, and the bounded text
// searches over them.
#include <gtest/gtest.h>

#include "sdk/device/CtrlVerRecord.h"
#include "sdk/device/ExFwHeader.h"
#include "sdk/device/IcList.h"
#include "sdk/device/SpiFlashTable.h"

namespace {

TEST(IcListRowLayout, SerialisesAtItsOffsetsAndBack) {
    const IcListRow& row = IcList()[3];  // QT7421
    const auto b = row.toBytes();
    const std::array<std::uint8_t, 32> want = {3,   0,    0,    0,    1,    0,    0,    0,   'E', 'D', 0,
                                               0,   0xA8, 0xA8, 0x02, 0x04, 0x00, 0x04, 'Q', 'T', '7', '4',
                                               '2', '1',  0,    0,    0,    0,    0,    0,   0,   0};
    EXPECT_EQ(b, want);
    EXPECT_EQ(IcListRow::fromBytes(b.data()).toBytes(), b);
    EXPECT_EQ(IcList().size(), 15u);
}

TEST(SpiFlashDescLayout, SerialisesNameAsUtf16AndTheRegisterCopy) {
    const auto& table = SpiFlashTable();
    ASSERT_EQ(table.size(), 26u);
    const SpiFlashDesc& row = table[24];  // SST25VF512A
    const auto b = row.toBytes();
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.begin() + 12),
              (std::vector<std::uint8_t>{0x2C, 0xC7, 0x52, 0x20, 0x90, 0xBF, 0x48, 0x00, 0x09, 0x02, 0x64, 0x00}));
    EXPECT_EQ(b[12], 'S');
    EXPECT_EQ(b[13], 0);
    EXPECT_EQ(row.CmdLength(), 4);
    EXPECT_EQ(row.IdLength(), 2);
    EXPECT_EQ(SpiFlashDesc::fromBytes(b.data()).NameA(), "SST SST25VF512A");
    EXPECT_EQ(table.back().NameW(), L"Not Approved Flash");
    EXPECT_EQ(table[3].bSectorEraseCmd, 0x00);
}

TEST(CtrlVerRecordText, PrefixSearchesStopAtTheFirstZero) {
    struct Case {
        std::array<std::uint8_t, 12> bytes;
        bool xu, em;
    };
    const Case cases[] = {
        {{'X', 'U', 0x00, 0x01, 'E', 'M', 0x00, 0x01}, true, true},
        {{'X', 'U', 0x01, 0x01, 'E', 'M', 0x00, 0x01}, true, true},  // "XU" found before any zero
        {{0, 'X', 'U', 0, 'E', 'M'}, false, true},                   // zero first: no "XU"
        {{'X', 'U', 1, 1, 0, 'E', 'M'}, true, false},                // "EM" only after offset 4's zero
        {{'A', 'B', 1, 1, 'X', 'E', 'M', 0}, false, true},
        {{'E', 'M', 'E', 'M', 'E', 'M', 'E', 'M', 'E', 'M', 'E', 'M'}, false, true},  // no terminator at all
    };
    for (const auto& c : cases) {
        CtrlVerRecord r;
        r.bytes = c.bytes;
        EXPECT_EQ(r.HasXu(), c.xu);
        EXPECT_EQ(r.HasEm(), c.em);
    }
}

TEST(ExFwHeaderText, SearchStaysInsideTheHeader) {
    ExFwHeader h;
    h.bytes.fill('Z');
    h.bytes[23] = 'E';  // "ED" would need the byte after the header
    EXPECT_FALSE(h.TextContains("ED"));
    h.bytes[22] = 'E';
    h.bytes[23] = 'D';
    EXPECT_TRUE(h.TextContains("ED"));
    h.bytes[2] = 0;  // text ends at byte 2
    EXPECT_FALSE(h.TextContains("ED"));
    h.bytes[6] = 0x80;
    EXPECT_EQ(h.RomSize(), 0x10000u);
}

}  // namespace
