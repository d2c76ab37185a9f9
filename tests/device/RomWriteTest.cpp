// The ROM write on each controller and ROM kind: chunks, 8-byte pieces, the commit flag,
// the write-protect request before it on SPI flash, the EEPROM write-cycle wait, and the
// refused wrap past 0xFFFF.
#include "tests/device/DeviceFixture.h"

namespace lumo::test {
namespace {

constexpr std::uint8_t WP = XU_CTRL_WRITE_PROTECT;
constexpr std::uint8_t ROM = XU_CTRL_EXT_ROM;

// One expected request: selector, header (3 bytes or the 1 write-protect byte), and for ROM
// pieces the offset of the data in the source.
struct Step {
    std::uint8_t selector;
    Bytes head;
    std::size_t dataFrom = 0;
};

struct WriteCase {
    const char* name;
    bool em;
    bool eeprom;
    std::uint32_t length;
    std::vector<Step> steps;
};

class RomWrite : public DeviceTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(RomWrite, SendsTheChunksAndPieces) {
    const WriteCase& c = GetParam();
    openIdentified(c.eeprom ? eepromCamera(0x2000, c.em) : spiCamera(c.em));
    dev->m_bExtRomType = c.eeprom ? 0x20 : kExtRomTypeSpi;
    Bytes data(c.length);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(0xA0 ^ i);
    const auto t0 = clock().nowUs();
    ASSERT_EQ(dev->XuExtRomWrite(0x0100, c.length, data.data()), 1);
    const auto elapsed = clock().nowUs() - t0;

    std::vector<Req> want;
    for (const Step& s : c.steps) {
        Bytes b = s.head;
        if (s.selector == ROM) {
            const std::size_t n = b[0] & 0x1F ? (b[0] & 0x1F) : 32;
            b.insert(b.end(), data.begin() + static_cast<std::ptrdiff_t>(s.dataFrom),
                     data.begin() + static_cast<std::ptrdiff_t>(s.dataFrom + n));
            b.resize(35, 0);
        }
        want.push_back({s.selector, true, b});
    }
    auto got = log();
    for (auto& r : got)
        if (r.selector == ROM) r.data.resize(35, 0);  // pieces beyond their length carry nothing
    EXPECT_EQ(got, want);
    if (c.eeprom) {
        const std::size_t chunks = (c.length + 31) / 32;
        EXPECT_GE(elapsed, 1000u * chunks);  // one write-cycle wait before each chunk
    }
}

INSTANTIATE_TEST_SUITE_P(
    Controllers, RomWrite,
    ::testing::Values(
        WriteCase{"Spi8", false, false, 8, {{WP, {0x00}}, {ROM, {0xA8, 0x01, 0x00}, 0}}},
        WriteCase{
            "Spi20",
            false,
            false,
            20,
            {{ROM, {0x88, 0x01, 0x00}, 0}, {ROM, {0x88, 0x01, 0x00}, 8}, {WP, {0x00}}, {ROM, {0xA4, 0x01, 0x00}, 16}}},
        WriteCase{"Spi32",
                  false,
                  false,
                  32,
                  {{ROM, {0x88, 0x01, 0x00}, 0},
                   {ROM, {0x88, 0x01, 0x00}, 8},
                   {ROM, {0x88, 0x01, 0x00}, 16},
                   {WP, {0x00}},
                   {ROM, {0xA8, 0x01, 0x00}, 24}}},
        WriteCase{"Spi40",
                  false,
                  false,
                  40,
                  {{ROM, {0x88, 0x01, 0x00}, 0},
                   {ROM, {0x88, 0x01, 0x00}, 8},
                   {ROM, {0x88, 0x01, 0x00}, 16},
                   {WP, {0x00}},
                   {ROM, {0xA8, 0x01, 0x00}, 24},
                   {WP, {0x00}},
                   {ROM, {0xA8, 0x01, 0x20}, 32}}},
        WriteCase{"Em8", true, false, 8, {{ROM, {0x88, 0x01, 0x00}, 0}}},
        WriteCase{"Em20", true, false, 20, {{ROM, {0x94, 0x01, 0x00}, 0}}},
        WriteCase{"Em32", true, false, 32, {{ROM, {0xA0, 0x01, 0x00}, 0}}},
        WriteCase{"Em40", true, false, 40, {{ROM, {0xA0, 0x01, 0x00}, 0}, {ROM, {0x88, 0x01, 0x20}, 32}}},
        WriteCase{"Eeprom8", false, true, 8, {{ROM, {0xA8, 0x01, 0x00}, 0}}},
        WriteCase{"Eeprom16", false, true, 16, {{ROM, {0x88, 0x01, 0x00}, 0}, {ROM, {0xA8, 0x01, 0x00}, 8}}},
        WriteCase{"Eeprom40",
                  false,
                  true,
                  40,
                  {{ROM, {0x88, 0x01, 0x00}, 0},
                   {ROM, {0x88, 0x01, 0x00}, 8},
                   {ROM, {0x88, 0x01, 0x00}, 16},
                   {ROM, {0xA8, 0x01, 0x00}, 24},
                   {ROM, {0xA8, 0x01, 0x20}, 32}}},
        WriteCase{"EmEeprom40", true, true, 40, {{ROM, {0xA0, 0x01, 0x00}, 0}, {ROM, {0x88, 0x01, 0x20}, 32}}}),
    [](const auto& info) { return std::string(info.param.name); });

using RomWriteLimits = DeviceTest;

TEST_F(RomWriteLimits, RefusesEmptyWritesAndRangesPastFFFFBeforeAnyRequest) {
    openIdentified(spiCamera());
    dev->m_bExtRomType = kExtRomTypeSpi;
    const Bytes data(64, 0x11);
    EXPECT_EQ(dev->XuExtRomWrite(0x0100, 0, data.data()), 0);
    EXPECT_EQ(dev->XuExtRomWrite(0xFFF8, 16, data.data()), 0);
    EXPECT_EQ(dev->XuExtRomWrite(0xFFE0, 64, data.data()), 0);
    EXPECT_TRUE(log().empty());
    // The last bytes of the space are still reachable.
    EXPECT_EQ(dev->XuExtRomWrite(0xFFF8, 8, data.data()), 1);
}

TEST_F(RomWriteLimits, AFailedChunkKeepsTheEarlierChunksWritten) {
    openIdentified(spiCamera());
    detect();
    ASSERT_EQ(dev->ExtRomWriteEnable(1), 1);
    cam().clearLog();
    Bytes data(64);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
    failRequestAfter(6);  // the first piece of the second chunk (after 3 pieces, WP, last piece)
    EXPECT_EQ(dev->XuExtRomWrite(0x2000, 64, data.data()), 0);
    const auto rom = cam().rom();
    for (std::size_t i = 0; i < 32; ++i) EXPECT_EQ(rom[0x2000 + i], data[i]) << i;
    for (std::size_t i = 32; i < 64; ++i) EXPECT_EQ(rom[0x2000 + i], 0xFF) << i;
    EXPECT_EQ(log().size(), 6u);
}

}  // namespace
}  // namespace lumo::test
