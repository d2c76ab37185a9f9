// Erase: SPI transactions of sector and block erase, the refused indexes and opcode, and
// the whole-ROM erase with the write-protect value it leaves behind.
#include <functional>

#include "sdk/device/SpiFlashTable.h"
#include "tests/device/DeviceFixture.h"

namespace lumo::test {
namespace {

using Erase = DeviceTest;

std::vector<Bytes> withoutStatusReads(std::vector<Bytes> v) {
    std::erase_if(v, [](const Bytes& b) { return b.size() == 1 && b[0] == 0x05; });
    return v;
}

TEST_F(Erase, SectorAndBlockCommands) {
    struct Case {
        const char* name;
        std::function<std::int32_t(CLumoDev&)> call;
        Bytes command;
    };
    const std::vector<Case> cases = {
        {"sector index 3", [](CLumoDev& d) { return d.SpiCmdSectorErase(std::uint8_t{3}); }, {0x20, 0x00, 0x30, 0x00}},
        {"sector address",
         [](CLumoDev& d) { return d.SpiCmdSectorErase(std::uint32_t{0x1234}); },
         {0x20, 0x00, 0x12, 0x34}},
        {"block index 15", [](CLumoDev& d) { return d.SpiCmdBlockErase(std::uint8_t{15}); }, {0xD8, 0x00, 0xF0, 0x00}},
        {"block address",
         [](CLumoDev& d) { return d.SpiCmdBlockErase(std::uint32_t{0x8000}); },
         {0xD8, 0x00, 0x80, 0x00}},
    };
    openIdentified(spiCamera());
    detect();
    ASSERT_EQ(dev->ExtRomWriteEnable(1), 1);
    dev->m_SpiFlash.bSectorEraseCmd = 0x20;
    dev->m_SpiFlash.bBlockEraseCmd = 0xD8;
    for (const auto& c : cases) {
        cam().clearLog();
        ASSERT_EQ(c.call(*dev), 1) << c.name;
        EXPECT_EQ(withoutStatusReads(spiCommands()), (std::vector<Bytes>{{0x06}, c.command, {0x04}})) << c.name;
    }
}

TEST_F(Erase, SectorEraseClearsTheSector) {
    auto c = spiCamera();
    c.image = Bytes(0x10000, 0x00);
    openIdentified(c);
    detect();
    ASSERT_EQ(dev->ExtRomWriteEnable(1), 1);
    ASSERT_EQ(dev->SpiCmdSectorErase(std::uint8_t{2}), 1);
    const auto rom = cam().rom();
    EXPECT_EQ(rom[0x1FFF], 0x00);
    EXPECT_EQ(rom[0x2000], 0xFF);
    EXPECT_EQ(rom[0x2FFF], 0xFF);
    EXPECT_EQ(rom[0x3000], 0x00);
}

TEST_F(Erase, RefusesWhatWouldLandElsewhereOrEraseNothing) {
    openIdentified(spiCamera());
    dev->m_SpiFlash = SpiFlashTable()[3];  // AT25F512A: no sector erase opcode
    EXPECT_EQ(dev->SpiCmdSectorErase(std::uint8_t{1}), 0);
    dev->m_SpiFlash = SpiFlashTable()[21];
    EXPECT_EQ(dev->SpiCmdSectorErase(std::uint8_t{16}), 0);
    EXPECT_EQ(dev->SpiCmdBlockErase(std::uint8_t{255}), 0);
    EXPECT_EQ(dev->SpiCmdSectorErase(std::uint32_t{0x10000}), 0);
    EXPECT_TRUE(log().empty());
}

TEST_F(Erase, FlashThatStaysBusyFailsTheErase) {
    openIdentified(spiCamera());
    detect();
    auto f = cam().faults();
    f.flashBusyForever = true;
    cam().setFaults(f);
    cam().clearLog();
    EXPECT_EQ(dev->SpiCmdSectorErase(std::uint8_t{0}), 0);
    auto cmds = withoutStatusReads(spiCommands());
    ASSERT_EQ(cmds.size(), 2u);  // no write disable after the failed wait
}

TEST_F(Erase, ChipEraseFromAFreshCameraEndsProtected) {
    openIdentified(spiCamera());
    ASSERT_EQ(dev->SpiCmdChipErase(), 1);
    Bytes erase(35, 0);
    erase[0] = 0x40;
    EXPECT_EQ(log(), (std::vector<Req>{{XU_CTRL_WRITE_PROTECT, true, {0x00}},
                                       {XU_CTRL_EXT_ROM, true, erase},
                                       {XU_CTRL_WRITE_PROTECT, true, {0x01}}}));
}

TEST_F(Erase, ChipEraseOnAWritableEepromLeavesItWritableSoTheImageLands) {
    auto c = eepromCamera(0x1000);
    c.image = Bytes(0x1000, 0x5A);
    openIdentified(c);
    detect();
    ASSERT_EQ(dev->ExtRomWriteEnable(1), 1);
    cam().clearLog();
    ASSERT_EQ(dev->SpiCmdChipErase(), 1);
    auto wp = cam().vendorRequests(XU_CTRL_WRITE_PROTECT);
    ASSERT_EQ(wp.size(), 2u);
    EXPECT_EQ(wp[1].data, Bytes{0x00});
    clock().advanceUs(2'000'000);
    const Bytes image = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(dev->XuExtRomWrite(0x0000, 8, image.data()), 1);
    const auto rom = cam().rom();
    EXPECT_EQ(Bytes(rom.begin(), rom.begin() + 8), image);
}

}  // namespace
}  // namespace lumo::test
