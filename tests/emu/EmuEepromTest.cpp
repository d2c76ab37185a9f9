// The I2C EEPROM: addressing modes, aliasing, write protect, write-cycle time, the size probe.
#include "tests/emu/EmuTestClient.h"

namespace lumo::os::emu::test {
namespace {

using EmuEepromModel = EmuFixture;

const Bytes kA{0x55, 0xAA, 0xFF, 0x38, 0x31, 0x21, 0x0B, 0x61};
const Bytes kB{0x64, 0x9B, 0xEE, 0x49, 0x20, 0x12, 0x1A, 0x72};

// The host's size probe, run against the model through the device world.
std::uint32_t probe(Client& c) {
    struct Cand {
        std::uint16_t size;
        int mode;
        std::uint8_t type;
    } cands[] = {{0x200, 1, 0x10},  {0x400, 1, 0x10},  {0x800, 1, 0x10}, {0x1000, 2, 0x20},
                 {0x2000, 2, 0x20}, {0x4000, 2, 0x20}, {0x8000, 2, 0x20}};
    EXPECT_TRUE(c.set(0x0E, {0}));
    for (const auto& k : cands) {
        EXPECT_TRUE(c.set(0x0B, {k.type}));
        EXPECT_TRUE(c.romChunk(0x0000, kA, false));
        EXPECT_TRUE(c.romChunk(k.size, kB, false));
        Bytes at0, atTest;
        EXPECT_TRUE(c.read(0x03, 0x0000, 8, &at0));
        EXPECT_TRUE(c.read(0x03, k.size, 8, &atTest));
        const bool found = k.mode == 1 ? (at0 == kA && atTest != kB) : (at0 != kA && atTest == kB);
        if (found) return k.size;
    }
    return 0;
}

TEST_F(EmuEepromModel, SizeProbeFindsEveryPartSize) {
    const std::uint32_t sizes[] = {512, 1024, 2048, 4096, 8192, 16384, 32768};
    for (auto s : sizes) add(eepromCamera(s));
    CameraConfig spi;
    add(spi);
    for (std::size_t i = 0; i < std::size(sizes); ++i) EXPECT_EQ(probe(client(i)), sizes[i]);
    EXPECT_EQ(probe(client(std::size(sizes))), 0u) << "an SPI camera has no EEPROM on the I2C bus";
    EXPECT_EQ(cam(std::size(sizes)).rom(), Bytes(0x10000, 0xFF)) << "and its flash is untouched";
}

TEST_F(EmuEepromModel, ModesAndAliasing) {
    add(eepromCamera(4096));
    Client& c = client();
    ASSERT_TRUE(c.set(0x0E, {0}));
    ASSERT_TRUE(c.set(0x0B, {0x20}));                        // mode 2
    ASSERT_TRUE(c.romChunk(0x1010, Bytes(8, 0x77), false));  // aliases onto 0x0010
    EXPECT_EQ(cam().rom()[0x0010], 0x77);
    ASSERT_TRUE(c.set(0x0B, {0x10}));                        // mode 1 on a mode-2 part
    ASSERT_TRUE(c.romChunk(0x0800, Bytes(8, 0x66), false));  // inside: lands linearly
    EXPECT_EQ(cam().rom()[0x0800], 0x66);
    ASSERT_TRUE(c.romChunk(0x1020, Bytes(8, 0x55), false));  // beyond: nobody answers
    EXPECT_EQ(cam().rom()[0x0020], 0xFF);
    Bytes b;
    ASSERT_TRUE(c.read(0x03, 0x1010, 8, &b));
    EXPECT_EQ(b, Bytes(8, 0xFF));
}

TEST_F(EmuEepromModel, WriteProtectAndEraseFill) {
    CameraConfig cfg = eepromCamera(1024);
    cfg.image = Bytes(1024, 0x00);
    add(cfg);
    Client& c = client();
    ASSERT_TRUE(c.romChunk(0x0000, Bytes(8, 0x12), false));
    EXPECT_EQ(cam().rom()[0], 0x00) << "power-on: write protected";
    ASSERT_TRUE(c.setGpio(true));
    ASSERT_TRUE(c.romChunk(0x0000, Bytes(8, 0x12), false));
    EXPECT_EQ(cam().rom()[0], 0x00) << "GPIO does nothing to an EEPROM";
    ASSERT_TRUE(c.set(0x0E, {0}));
    ASSERT_TRUE(c.romChunk(0x0000, Bytes(8, 0x12), false));
    EXPECT_EQ(cam().rom()[0], 0x12);
    ASSERT_TRUE(c.set(0x03, Client::block(0x40, 0)));
    EXPECT_EQ(cam().rom(), Bytes(1024, 0xFF));
}

TEST_F(EmuEepromModel, WriteCycleStallsTheNextRequest) {
    add(eepromCamera(2048));
    Client& c = client();
    ASSERT_TRUE(c.set(0x0E, {0}));
    const auto t0 = clock->nowUs();
    ASSERT_TRUE(c.romChunk(0x0000, Bytes(8, 1), false));
    ASSERT_TRUE(c.romChunk(0x0008, Bytes(8, 2), false));
    EXPECT_GE(clock->nowUs() - t0, cam().config().timings.eepromWriteCycleUs);
}

}  // namespace
}  // namespace lumo::os::emu::test
