// Sequence controls, the ROM chunk gather, ROM buses and the controller's own state.
#include "tests/emu/EmuTestClient.h"

namespace lumo::os::emu::test {
namespace {

using EmuController = EmuFixture;

Bytes pattern(std::size_t n, std::uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
    return b;
}

TEST_F(EmuController, SetSelectsWhatTheNextGetReturns) {
    add(CameraConfig{});
    ASSERT_TRUE(client().write(0x06, 0x1FFC, pattern(20, 1)));
    Bytes back;
    ASSERT_TRUE(client().read(0x06, 0x1FFC, 20, &back));
    EXPECT_EQ(back, pattern(20, 1));
    // the reply echoes the header and carries the bytes from offset 3
    ASSERT_TRUE(client().set(0x06, Client::block(0x04, 0x1FFC)));
    Bytes reply(35);
    ASSERT_TRUE(client().get(0x06, reply));
    EXPECT_EQ(reply[0], 0x04);
    EXPECT_EQ(reply[1], 0x1F);
    EXPECT_EQ(reply[2], 0xFC);
    EXPECT_EQ(Bytes(reply.begin() + 3, reply.begin() + 7), Bytes(pattern(4, 1)));
}

TEST_F(EmuController, PieceLengthsByControllerKind) {
    CameraConfig em;
    em.em = true;
    add(CameraConfig{});
    add(em);
    struct Case {
        std::size_t cam;
        std::uint8_t b0;
        bool ok;
    } cases[] = {
        {0, 0x08, true}, {0, 0x09, false}, {0, 0x20, false}, {0, 0x88, true},  {0, 0x89, false},
        {1, 0x20, true}, {1, 0x21, false}, {1, 0xA0, true},  {1, 0xA1, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(client(c.cam).set(0x06, Client::block(c.b0, 0x2000)), c.ok) << c.cam << " " << int(c.b0);
    Bytes code;
    ASSERT_TRUE(client(1).read(0x08, 0x0000, 32, &code, 0x40));  // 0x60: a 32-byte code read
}

TEST_F(EmuController, GetWithoutSelectionFails) {
    add(CameraConfig{});
    Bytes reply(35);
    EXPECT_FALSE(client().get(0x07, reply));
}

TEST_F(EmuController, GatherCommitsOnlyWithWriteEnableBeforeIt) {
    add(CameraConfig{});
    const Bytes chunk = pattern(32, 3);
    ASSERT_TRUE(client().romChunk(0x0100, chunk, false));
    EXPECT_EQ(cam().rom()[0x0100], 0xFF) << "a commit without 0x0E 0 leaves the ROM unchanged";
    ASSERT_TRUE(client().romChunk(0x0100, chunk, true));
    const auto rom = cam().rom();
    EXPECT_EQ(Bytes(rom.begin() + 0x100, rom.begin() + 0x120), chunk);
    EXPECT_EQ(rom[0x120], 0xFF);
    // pieces without a commit program nothing
    ASSERT_TRUE(client().set(0x03, Client::block(0x88, 0x0200, pattern(8, 9))));
    EXPECT_EQ(cam().rom()[0x0200], 0xFF);
    // short chunk: a single 0xA4 piece
    ASSERT_TRUE(client().romChunk(0x0300, pattern(4, 5), true));
    EXPECT_EQ(cam().rom()[0x0303], pattern(4, 5)[3]);
}

TEST_F(EmuController, EmControllerWritesDirectlyWithItsOwnWriteEnable) {
    CameraConfig em;
    em.em = true;
    add(em);
    ASSERT_TRUE(client().romChunk(0x4000, pattern(32, 11), false));
    const auto rom = cam().rom();
    EXPECT_EQ(Bytes(rom.begin() + 0x4000, rom.begin() + 0x4020), pattern(32, 11));
    Bytes back;
    ASSERT_TRUE(client().read(0x03, 0x4000, 32, &back));
    EXPECT_EQ(back, pattern(32, 11));
}

TEST_F(EmuController, ChipEraseThroughTheRomControl) {
    CameraConfig c;
    c.image = pattern(4096, 1);
    add(c);
    ASSERT_TRUE(client().set(0x03, Client::block(0x40, 0)));
    EXPECT_EQ(cam().rom()[0], pattern(1, 1)[0]) << "no write enable: nothing erased";
    ASSERT_TRUE(client().set(0x0E, {0}));
    ASSERT_TRUE(client().set(0x03, Client::block(0x40, 0)));
    EXPECT_TRUE(cam().flashBusy());
    EXPECT_EQ(cam().rom()[0], 0xFF);
    // the write-protect request that follows an erase does not wait for it
    const auto tw = clock->nowUs();
    ASSERT_TRUE(client().set(0x0E, {1}));
    EXPECT_LT(clock->nowUs() - tw, 1000u);
    // the next ROM request stalls until the erase is over
    const auto t0 = clock->nowUs();
    Bytes b;
    ASSERT_TRUE(client().read(0x03, 0, 8, &b));
    EXPECT_GE(clock->nowUs() - t0, cam().config().timings.chipEraseUs - 1000);
    EXPECT_FALSE(cam().flashBusy());
}

TEST_F(EmuController, RomBusFollowsTheTypeCode) {
    CameraConfig c;
    c.image = pattern(64, 2);
    add(c);
    add(eepromCamera(2048));
    struct Case {
        std::size_t cam;
        std::uint8_t type;
        bool answers;
    } cases[] = {
        {0, 0xFF, true},  {0, 0x10, false}, {0, 0x20, false}, {0, 0x00, false},
        {1, 0xFF, false}, {1, 0x10, true},  {1, 0x20, true},
    };
    cam(1).writeRom(0, pattern(64, 2));
    for (const auto& k : cases) {
        ASSERT_TRUE(client(k.cam).set(0x0B, {k.type}));
        Bytes b;
        ASSERT_TRUE(client(k.cam).read(0x03, 0, 8, &b));
        EXPECT_EQ(b == Bytes(pattern(8, 2)), k.answers) << k.cam << " type " << int(k.type);
        if (!k.answers) {
            EXPECT_EQ(b, Bytes(8, 0xFF));
        }
    }
}

TEST_F(EmuController, SpiEngineOnACameraWithoutFlashReadsZero) {
    add(eepromCamera(1024));
    EXPECT_EQ(client().spiStatus(), 0x00);
    Bytes id;
    ASSERT_TRUE(client().spiGet({0x9F}, 3, &id));
    EXPECT_EQ(id, Bytes(3, 0x00));
}

TEST_F(EmuController, PowerOnStateAndReset) {
    add(CameraConfig{});
    world->settle();  // the camera's own arrival
    auto set = findFlashRow("WINBOND W25X10CL")->commandSet();
    Bytes cmd;
    ASSERT_TRUE(client().read(0x06, 0x0A27, 11, &cmd));
    EXPECT_EQ(cmd, Bytes(set.begin(), set.end()));

    std::vector<std::uint32_t> notices;
    std::uint32_t err = 0;
    DeviceInterfaceNotice filter;
    world->RegisterDeviceNotification(
        [&](std::uint32_t type, const DeviceInterfaceNotice& n) {
            if (n.classGuid == guids::kVideoCaptureInterfaceClass) notices.push_back(type);
        },
        filter, DEVICE_NOTIFY_ALL_INTERFACE_CLASSES, &err);

    // volatile state that the reset must undo, and non-volatile state it must keep
    ASSERT_TRUE(client().set(0x0B, {0x20}));
    ASSERT_TRUE(client().write(0x06, 0x0A27, Bytes(11, 0)));
    ASSERT_TRUE(client().setGpio(true));
    ASSERT_TRUE(client().set(0x03, Client::block(0x88, 0x0500, pattern(8, 1))));
    cam().setFlashStatus(0x8C);
    cam().writeRom(0x10, {0x42});
    ASSERT_TRUE(client().write(0x06, 0x0026, {0x10}));  // the reset write is answered
    Bytes hw(1);
    EXPECT_FALSE(client().get(0x0A, hw)) << "the old handle is dead";
    world->settle();
    EXPECT_EQ(notices, (std::vector<std::uint32_t>{DBT_DEVICEREMOVECOMPLETE, DBT_DEVICEARRIVAL}));
    ASSERT_TRUE(cam().present());
    Client fresh(*world, 0);
    EXPECT_EQ(cam().romTypeCode(), 0xFF);
    EXPECT_EQ(fresh.reg(0x20), 0);
    ASSERT_TRUE(fresh.read(0x06, 0x0A27, 11, &cmd));
    EXPECT_EQ(cmd, Bytes(set.begin(), set.end()));
    EXPECT_EQ(cam().flashStatus(), 0x8C);
    EXPECT_EQ(cam().rom()[0x10], 0x42);
    // the gathered piece is gone: a commit now programs only its own bytes
    cam().setFlashStatus(0x00);
    ASSERT_TRUE(fresh.set(0x0E, {0}));
    ASSERT_TRUE(fresh.set(0x03, Client::block(0xA1, 0x0500, {0x00})));
    EXPECT_EQ(cam().rom()[0x0500], 0x00);
    EXPECT_EQ(cam().rom()[0x0501], 0xFF);
}

}  // namespace
}  // namespace lumo::os::emu::test
