// The SPI command engine's register traffic, the flash busy wait on the virtual clock, and
// the write-protect sequences of each ROM and controller kind.
#include "tests/device/DeviceFixture.h"

namespace lumo::test {
namespace {

using SpiEngine = DeviceTest;

// Register writes and reads as (header, data) of selector 0x06.
std::vector<Req> regTraffic(const std::vector<Req>& all) {
    std::vector<Req> out;
    for (const auto& r : all)
        if (r.selector == XU_CTRL_REG) out.push_back(r);
    return out;
}

Req regWrite(std::uint16_t addr, Bytes data) {
    Bytes b = {static_cast<std::uint8_t>(0x80 | data.size()), static_cast<std::uint8_t>(addr >> 8),
               static_cast<std::uint8_t>(addr)};
    b.insert(b.end(), data.begin(), data.end());
    b.resize(35, 0);
    return {XU_CTRL_REG, true, b};
}
std::vector<Req> regRead(std::uint16_t addr, std::uint8_t n) {
    Bytes b = {n, static_cast<std::uint8_t>(addr >> 8), static_cast<std::uint8_t>(addr)};
    b.resize(35, 0);
    return {{XU_CTRL_REG, true, b}, {XU_CTRL_REG, false, {}}};
}

// Sets of a read header keep only their 3 header bytes; write pieces are compared whole.
std::vector<Req> normalise(std::vector<Req> v) {
    for (auto& r : v)
        if (r.set && !(r.data[0] & 0x80)) std::fill(r.data.begin() + 3, r.data.end(), 0);
    return v;
}

TEST_F(SpiEngine, WriteOnlyTransaction) {
    openIdentified(spiCamera());
    const std::uint8_t wren = 0x06;
    ASSERT_EQ(dev->SpiCmdSet(&wren, 1), 1);
    auto got = normalise(regTraffic(log()));
    std::vector<Req> want = {regWrite(0x0100, {0x06}), regWrite(0x0049, {0x14, 0x01, 0x01}), regWrite(0x0049, {0x35})};
    ASSERT_GE(got.size(), want.size() + 3);
    EXPECT_EQ(std::vector<Req>(got.begin(), got.begin() + 3), want);
    // At least one poll of 0x0049, then the finishing write.
    auto poll = regRead(0x0049, 1);
    EXPECT_EQ(got[3], poll[0]);
    EXPECT_EQ(got.back(), regWrite(0x0049, {0x00}));
}

TEST_F(SpiEngine, ReadTransactionHandsBackTheIdentifier) {
    openIdentified(spiCamera());  // W25X10CL answers EF 30 11
    std::uint8_t cmd[8] = {0x9F};
    ASSERT_EQ(dev->SpiCmdGet(cmd, 1, 3), 1);
    EXPECT_EQ(Bytes(cmd, cmd + 3), (Bytes{0xEF, 0x30, 0x11}));
    auto got = normalise(regTraffic(log()));
    std::vector<Req> head = {regWrite(0x0100, {0x9F}), regWrite(0x0049, {0x14, 0x01, 0x01}), regWrite(0x0046, {0x03}),
                             regWrite(0x0049, {0x37})};
    ASSERT_GE(got.size(), head.size() + 5);
    EXPECT_EQ(std::vector<Req>(got.begin(), got.begin() + 4), head);
    auto tail = regRead(0x0100, 3);
    EXPECT_EQ(got[got.size() - 3], regWrite(0x0049, {0x00}));
    EXPECT_EQ(got[got.size() - 2], tail[0]);
}

TEST_F(SpiEngine, StuckEngineFailsInsteadOfHanging) {
    openIdentified(spiCamera());
    auto f = cam().faults();
    f.spiEngineStuck = true;
    cam().setFaults(f);
    const std::uint8_t wren = 0x06;
    EXPECT_EQ(dev->SpiCmdSet(&wren, 1), 0);
    std::uint8_t cmd[8] = {0x05};
    EXPECT_EQ(dev->SpiCmdGet(cmd, 1, 1), 0);
}

TEST_F(SpiEngine, WaitBusReadyHonoursItsLimit) {
    openIdentified(spiCamera());
    auto f = cam().faults();
    f.flashBusyForever = true;
    cam().setFaults(f);
    const auto t0 = clock().nowUs();
    TraceCapture trace;
    EXPECT_EQ(dev->SpiWaitBusReady(1000), 0);
    EXPECT_TRUE(trace.has("TIMEOUT!!!:")) << trace.text();
    const auto ms = (clock().nowUs() - t0) / 1000;
    EXPECT_GE(ms, 1000u);
    EXPECT_LT(ms, 1100u);
}

TEST_F(SpiEngine, WaitBusReadyWithoutLimitWaitsForTheErase) {
    openIdentified(spiCamera());
    detect();
    ASSERT_EQ(dev->ExtRomWriteEnable(1), 1);
    const std::uint8_t wren = 0x06;
    const std::uint8_t erase[4] = {0x52, 0x00, 0x00, 0x00};  // a 32 KB block
    ASSERT_EQ(dev->SpiCmdSet(&wren, 1), 1);
    ASSERT_EQ(dev->SpiCmdSet(erase, 4), 1);
    ASSERT_TRUE(cam().flashBusy());
    EXPECT_EQ(dev->SpiWaitBusReady(0), 1);
    EXPECT_FALSE(cam().flashBusy());
    EXPECT_EQ(dev->SpiWaitBusReady(1000), 1);  // ready at once
}

// The write-protect control requests of each kind, in order: (selector, first data byte).
struct ProtectCase {
    const char* name;
    bool em;
    bool eeprom;
    std::int32_t enable;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> singles;  // selectors 0x0E and 0x12
};

class WriteEnable : public DeviceTest, public ::testing::WithParamInterface<ProtectCase> {};

TEST_P(WriteEnable, SendsTheSequenceOfItsKind) {
    const ProtectCase& c = GetParam();
    openIdentified(c.eeprom ? eepromCamera(0x1000, c.em) : spiCamera(c.em));
    dev->m_bExtRomType = c.eeprom ? 0x20 : kExtRomTypeSpi;
    ASSERT_EQ(dev->ExtRomWriteEnable(c.enable), 1);
    std::vector<std::pair<std::uint8_t, std::uint8_t>> got;
    for (const auto& r : log()) {
        if (r.selector == XU_CTRL_WRITE_PROTECT) got.emplace_back(r.selector, r.data[0]);
        if (r.selector == XU_CTRL_SPI_STATUS) got.emplace_back(r.selector, r.data[3]);
    }
    EXPECT_EQ(got, c.singles);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WriteEnable,
                         ::testing::Values(ProtectCase{"EmSpiEnable", true, false, 1, {{0x0E, 0x00}, {0x12, 0x00}}},
                                           ProtectCase{"EmSpiDisable", true, false, 0, {{0x12, 0x8C}, {0x0E, 0x01}}},
                                           ProtectCase{"EepromEnable", false, true, 1, {{0x0E, 0x00}}},
                                           ProtectCase{"EepromDisable", false, true, 0, {{0x0E, 0x01}}},
                                           ProtectCase{"EmEepromEnable", true, true, 1, {{0x0E, 0x00}}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SpiEngine, BlockProtectOnAFlashThatConfirmsAtOnceIsOneAttempt) {
    openIdentified(spiCamera());
    dev->m_bExtRomType = kExtRomTypeSpi;
    ASSERT_EQ(dev->SetGpio(1), 1);  // WP# high: the status register may be written
    cam().clearLog();
    ASSERT_EQ(dev->SpiBlockProtect(1), 1);
    EXPECT_EQ(spiCommands(), (std::vector<Bytes>{{0x06}, {0x50}, {0x01, 0x8C}, {0x05}}));
    EXPECT_EQ(cam().flashStatus() & 0x0C, 0x0C);
    cam().clearLog();
    ASSERT_EQ(dev->SpiBlockProtect(0), 1);
    EXPECT_EQ(spiCommands(), (std::vector<Bytes>{{0x06}, {0x50}, {0x01, 0x00}, {0x05}}));
}

TEST_F(SpiEngine, NonEmSpiEnableLiftsGpioThenProtection) {
    openIdentified(spiCamera());
    dev->m_bExtRomType = kExtRomTypeSpi;
    cam().setFlashStatus(0x8C);
    ASSERT_EQ(dev->ExtRomWriteEnable(1), 1);
    EXPECT_TRUE(cam().writeProtectPinHigh());
    EXPECT_EQ(cam().flashStatus() & 0x0C, 0);
    ASSERT_EQ(dev->ExtRomWriteEnable(0), 1);
    EXPECT_EQ(cam().flashStatus() & 0x0C, 0x0C);
    EXPECT_FALSE(cam().writeProtectPinHigh());
}

TEST_F(SpiEngine, ProtectionThatNeverLiftsIsAFailureAfterFiveAttempts) {
    openIdentified(spiCamera());
    dev->m_bExtRomType = kExtRomTypeSpi;
    // Status-write-disable set with WP# low: the flash ignores every status write.
    cam().setFlashStatus(0x8C);
    ASSERT_EQ(dev->SetGpio(0), 1);
    cam().clearLog();
    TraceCapture trace;
    EXPECT_EQ(dev->SpiBlockProtect(0), 0);
    EXPECT_TRUE(trace.has("SpiBlockProtect: protection not lifted.XXXXXXXXXX"));
    EXPECT_EQ(spiCommands().size(), 20u);  // five attempts of four commands
}

TEST_F(SpiEngine, GpioSetsItsThreeBits) {
    openIdentified(spiCamera());
    cam().setReg(0x20, 0x00);
    cam().setReg(0x22, 0x00);
    cam().setReg(0x29, 0x00);
    ASSERT_EQ(dev->SetGpio(1), 1);
    EXPECT_EQ(cam().reg(0x29) & 0x80, 0x80);
    EXPECT_EQ(cam().reg(0x22) & 0x01, 0x01);
    EXPECT_EQ(cam().reg(0x20) & 0x01, 0x01);
    ASSERT_EQ(dev->SetGpio(0), 1);
    EXPECT_EQ(cam().reg(0x20) & 0x01, 0x00);
}

}  // namespace
}  // namespace lumo::test
