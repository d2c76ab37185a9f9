// The SPI NOR flash through the controller's SPI engine: identifiers, status register,
// protection rules, erase timing and NOR program semantics.
#include "tests/emu/EmuTestClient.h"

namespace lumo::os::emu::test {
namespace {

using EmuFlash = EmuFixture;

CameraConfig flashCamera(const std::string& name, bool em = false) {
    CameraConfig c;
    c.flashName = name;
    c.em = em;
    return c;
}

// The host's search: first row whose command answers its id.
int search(Client& cl) {
    for (std::size_t r = 0; r < kFlashRowCount; ++r) {
        const FlashChipRow& row = flashRow(r);
        Bytes cmd(row.idCommandLength(), 0);
        cmd[0] = row.readId;
        Bytes id;
        EXPECT_TRUE(cl.spiGet(cmd, row.idLength(), &id));
        if (std::equal(id.begin(), id.end(), row.id.begin())) return static_cast<int>(r);
    }
    return -1;
}

TEST_F(EmuFlash, EveryChipIsFoundAtItsOwnRow) {
    for (std::size_t r = 0; r + 1 < kFlashRowCount; ++r) add(flashCamera(flashRow(r).name));
    add(flashCamera("unknown"));
    for (std::size_t r = 0; r + 1 < kFlashRowCount; ++r)
        EXPECT_EQ(search(client(r)), static_cast<int>(r)) << flashRow(r).name;
    // an unknown chip answers nothing a named row knows: the default row takes it
    EXPECT_EQ(search(client(kFlashRowCount - 1)), static_cast<int>(kFlashRowCount - 1));
}

TEST_F(EmuFlash, IdentifierFormats) {
    add(flashCamera("ATMEL AT25F512A"));
    add(flashCamera("SST SST25VF512A"));
    Bytes id;
    ASSERT_TRUE(client(0).spiGet({0x9F}, 3, &id));
    EXPECT_EQ(id, Bytes(3, 0)) << "this chip has no JEDEC read";
    ASSERT_TRUE(client(0).spiGet({0x15, 0, 0, 0}, 2, &id));
    EXPECT_EQ(id, (Bytes{0x1F, 0x65}));
    ASSERT_TRUE(client(1).spiGet({0x90, 0, 0, 0}, 2, &id));
    EXPECT_EQ(id, (Bytes{0xBF, 0x48}));
    ASSERT_TRUE(client(1).spiGet({0x90}, 3, &id));
    EXPECT_EQ(id, Bytes(3, 0));
}

TEST_F(EmuFlash, EngineRegisterSequence) {
    add(CameraConfig{});
    ASSERT_TRUE(client().spiSet({0x06}));
    EXPECT_EQ(client().spiStatus() & 0x02, 0x02);
    EXPECT_EQ(client().reg(0x0049), 0x00);
    ASSERT_TRUE(client().spiSet({0x04}));
    EXPECT_EQ(client().spiStatus() & 0x02, 0x00);
    // 0x49 keeps bit 0 set only while a transaction runs
    ASSERT_TRUE(client().write(0x06, 0x0049, {0x35}));
    EXPECT_EQ(client().reg(0x0049) & 1, 0);
    Faults f;
    f.spiEngineStuck = true;
    cam().setFaults(f);
    ASSERT_TRUE(client().write(0x06, 0x0049, {0x35}));
    EXPECT_EQ(client().reg(0x0049) & 1, 1);
}

TEST_F(EmuFlash, StatusRegisterRules) {
    add(CameraConfig{});
    Client& c = client();
    // status write needs the latch; 0x50 keeps it
    ASSERT_TRUE(c.spiSet({0x01, 0x8C}));
    EXPECT_EQ(c.spiStatus(), 0x00);
    ASSERT_TRUE(c.spiSet({0x06}));
    ASSERT_TRUE(c.spiSet({0x50}));
    EXPECT_EQ(c.spiStatus(), 0x02);
    ASSERT_TRUE(c.spiSet({0x01, 0x8C}));
    EXPECT_EQ(c.spiStatus(), 0x8C) << "visible at once, latch cleared";
    // bit 7 with WP# low refuses the write; WP# high (GPIO 0x20 bit 0) allows it
    ASSERT_TRUE(c.spiSet({0x06}));
    ASSERT_TRUE(c.spiSet({0x01, 0x00}));
    EXPECT_EQ(c.spiStatus() & 0xFC, 0x8C);
    ASSERT_TRUE(c.setGpio(true));
    ASSERT_TRUE(c.spiSet({0x06}));
    ASSERT_TRUE(c.spiSet({0x01, 0x00}));
    EXPECT_EQ(c.spiStatus(), 0x00);
    EXPECT_EQ(cam().flashStatus(), 0x00);
}

TEST_F(EmuFlash, EraseNeedsLatchAndNoProtectionAndTakesItsTime) {
    CameraConfig cfg;
    cfg.image = Bytes(0x10000, 0x00);
    add(cfg);
    Client& c = client();
    struct Case {
        const char* what;
        std::uint8_t status;
        bool wren;
        bool erased;
    } cases[] = {
        {"no latch", 0x00, false, false},
        {"protected", 0x0C, true, false},
        {"upper quarter protected, sector 0 free", 0x04, true, true},
        {"writable", 0x00, true, true},
    };
    for (const auto& k : cases) {
        cam().writeRom(0x3000, Bytes(4096, 0x00));
        cam().setFlashStatus(k.status);
        if (k.wren) {
            ASSERT_TRUE(c.spiSet({0x06}));
        }
        ASSERT_TRUE(c.spiSet({0x20, 0x00, 0x30, 0x00}));
        EXPECT_EQ(cam().rom()[0x3000] == 0xFF, k.erased) << k.what;
        EXPECT_EQ(cam().rom()[0x3FFF] == 0xFF, k.erased) << k.what;
        EXPECT_EQ(cam().rom()[0x4000], 0x00) << k.what;
        if (k.erased) {
            const auto t0 = clock->nowUs();
            int polls = 0;
            while (c.spiStatus() & 1) {
                clock->advanceUs(3000);
                ++polls;
            }
            EXPECT_GT(polls, 0);
            EXPECT_NEAR(static_cast<double>(clock->nowUs() - t0), cam().config().timings.sectorEraseUs, 5000.0);
        }
        EXPECT_EQ(c.spiStatus() & 0x02, 0) << "latch cleared";
    }
    // an opcode the chip does not have erases nothing
    cam().setFlashStatus(0);
    ASSERT_TRUE(c.spiSet({0x06}));
    ASSERT_TRUE(c.spiSet({0xD8, 0x00, 0x30, 0x00}));
    EXPECT_EQ(cam().rom()[0x8000], 0x00);
}

TEST_F(EmuFlash, ProgramHasNorSemantics) {
    add(CameraConfig{});
    Client& c = client();
    ASSERT_TRUE(c.romChunk(0x0000, Bytes(8, 0xF0), true));
    ASSERT_TRUE(c.romChunk(0x0000, Bytes(8, 0x3C), true));
    EXPECT_EQ(cam().rom()[0], 0x30) << "bits only go from 1 to 0";
    cam().setFlashStatus(0x0C);
    ASSERT_TRUE(c.romChunk(0x0100, Bytes(8, 0x00), true)) << "programming a protected flash is no error";
    EXPECT_EQ(cam().rom()[0x100], 0xFF);
}

TEST_F(EmuFlash, EmProtectionThroughWriteProtectAndStatusControls) {
    add(flashCamera("WINBOND W25X10CL", true));
    Client& c = client();
    cam().setFlashStatus(0x8C);
    // WP# low (power-on) and bit 7 set: the controller's status write is refused
    ASSERT_TRUE(c.set(0x12, Client::block(0x80, 0, {0x00})));
    EXPECT_EQ(cam().flashStatus(), 0x8C);
    ASSERT_TRUE(c.set(0x0E, {0}));
    EXPECT_TRUE(cam().writeProtectPinHigh());
    ASSERT_TRUE(c.set(0x12, Client::block(0x80, 0, {0x00})));
    EXPECT_EQ(cam().flashStatus(), 0x00);
    ASSERT_TRUE(c.romChunk(0x0000, Bytes(32, 0x11), false));
    EXPECT_EQ(cam().rom()[31], 0x11);
    ASSERT_TRUE(c.set(0x12, Client::block(0x80, 0, {0x8C})));
    ASSERT_TRUE(c.set(0x0E, {1}));
    EXPECT_FALSE(cam().writeProtectPinHigh());
    ASSERT_TRUE(c.romChunk(0x0040, Bytes(32, 0x22), false));
    EXPECT_EQ(cam().rom()[0x40], 0xFF);
    // a controller without "EM" has no status control
    CameraConfig plain;
    add(plain);
    EXPECT_FALSE(client(1).set(0x12, Client::block(0x80, 0, {0x00})));
}

TEST_F(EmuFlash, BusyFlashStallsRomRequestsWithoutPolling) {
    add(CameraConfig{});
    Client& c = client();
    Timings t;
    t.pageProgramUs = 2000;
    cam().setTimings(t);
    const auto t0 = clock->nowUs();
    for (int k = 0; k < 4; ++k) ASSERT_TRUE(c.romChunk(static_cast<std::uint16_t>(k * 32), Bytes(32, 0x5A), true));
    EXPECT_GE(clock->nowUs() - t0, 3u * 2000u);
    for (int k = 0; k < 128; ++k) EXPECT_EQ(cam().rom()[k], 0x5A);
}

}  // namespace
}  // namespace lumo::os::emu::test
