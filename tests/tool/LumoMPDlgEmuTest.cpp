// The window logic on the library and an emulated line: what ends up in the cameras' ROMs,
// and hot-plug and reset as the cameras' own notices bring them.
#include <fstream>

#include "platform/Clock.h"
#include "platform/DeviceWorld.h"
#include "platform/emu/EmuWorld.h"
#include "platform/emu/VirtualClock.h"
#include "tests/tool/ToolTestSupport.h"
#include "tool/ControlIds.h"

namespace lumo::tool::test {
namespace {

using lumo::os::emu::CameraConfig;
using lumo::os::emu::EmuWorld;
using lumo::os::emu::RomKind;

class ToolEmu : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        m_clock = lumo::os::emu::VirtualClock::install();
        m_world = std::make_shared<EmuWorld>();
        lumo::os::installDeviceWorld(m_world);
    }
    void TearDown() override {
        WindowFixture::TearDown();
        lumo::os::installDeviceWorld(nullptr);
        m_world.reset();
        lumo::os::installClock(nullptr);
    }
    static CameraConfig spi(const std::string& name) {
        CameraConfig c;
        c.name = name;
        c.instance = name;
        return c;
    }
    static CameraConfig eeprom(const std::string& name, std::uint32_t bytes) {
        CameraConfig c = spi(name);
        c.rom = RomKind::Eeprom;
        c.eepromBytes = bytes;
        return c;
    }
    void writeImage(const std::vector<std::uint8_t>& img, const std::string& extra = "") {
        std::ofstream(m_dir / "fw.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(img.data()), static_cast<std::streamsize>(img.size()));
        writeIni("[SETTING]\nBinFile=fw.bin\n" + extra);
    }
    // Lets the world deliver its notices, then serves them on the window thread.
    void settle() {
        m_world->settle();
        while (layer->Pump()) {
        }
    }

    std::shared_ptr<lumo::os::emu::VirtualClock> m_clock;
    std::shared_ptr<EmuWorld> m_world;
};

TEST_F(ToolEmu, AfterASuccessfulRunEveryRomHoldsTheImage) {
    for (int i = 0; i < 4; ++i) m_world->addCamera(spi("cam" + std::to_string(i)));
    const auto img = makeImage(8192, "ED");
    writeImage(img);
    openWindow();
    ASSERT_EQ(text(IDC_STATIC_STATUS), kStatusReady);
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"4");
    EXPECT_EQ(text(IDC_COMBO_EEPROM_TYPE), L"SPI");
    EXPECT_EQ(text(IDC_COMBO_BACKEND_TYPE), L"QT7421");
    const auto s = runUpgrade();
    ASSERT_TRUE(s.bSuccess);
    ASSERT_EQ(s.cameras.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const auto rom = m_world->camera(i).rom();
        ASSERT_GE(rom.size(), img.size());
        EXPECT_TRUE(std::equal(img.begin(), img.end(), rom.begin())) << "camera " << i;
        EXPECT_EQ(rom[img.size()], 0xFF);
    }
    EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusReady);
    EXPECT_EQ(layer->offThreadCalls, 0);
}

TEST_F(ToolEmu, WholeErasePlanOnA32KEepromLeavesTheImageInTheRom) {
    m_world->addCamera(eeprom("ee", 32768));
    const auto img = makeImage(8192, "ED");
    writeImage(img);
    openWindow();
    ASSERT_EQ(text(IDC_COMBO_EEPROM_TYPE), L"I2C");
    ASSERT_TRUE(runUpgrade().bSuccess);
    const auto rom = m_world->camera(0).rom();
    ASSERT_EQ(rom.size(), 32768u);
    EXPECT_TRUE(std::equal(img.begin(), img.end(), rom.begin()));
}

TEST_F(ToolEmu, AnImageLongerThanTheEepromIsRefusedBeforeAnythingIsWritten) {
    m_world->addCamera(eeprom("ee", 2048));
    m_world->camera(0).fillRom(0x5A);
    writeImage(makeImage(4096, "ED"));
    openWindow();
    settle();  // notices still due from the line's start
    const auto s = runUpgrade();
    EXPECT_FALSE(s.bSuccess);
    EXPECT_FALSE(s.bRefused);
    EXPECT_TRUE(layer->boxes.empty()) << (layer->boxes.empty()
                                              ? ""
                                              : std::string(layer->boxes[0].text.begin(), layer->boxes[0].text.end()));
    const auto rom = m_world->camera(0).rom();
    EXPECT_TRUE(std::all_of(rom.begin(), rom.end(), [](std::uint8_t b) { return b == 0x5A; }));
    EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusFailed);
}

TEST_F(ToolEmu, HotPlugWhileIdleFollowsTheLine) {
    m_world->addCamera(spi("a"));
    m_world->addCamera(eeprom("b", 2048), false);
    openWindow();
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"1");
    m_world->plug(1);
    settle();
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"2");
    m_world->unplug(0);
    settle();
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"1");
    EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusReady);
    EXPECT_EQ(text(IDC_COMBO_EEPROM_TYPE), L"I2C");  // the camera now at index 0
    m_world->unplug(1);
    settle();
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"0");
    EXPECT_EQ(text(IDC_COMBO_BACKEND_TYPE), kNoDevice);
    EXPECT_FALSE(layer->enabled[IDC_BUTTON_UPGRADE_FW]);
}

TEST_F(ToolEmu, ResetAfterSuccessBringsTheWindowBackThroughTheCamerasReturn) {
    for (int i = 0; i < 2; ++i) m_world->addCamera(spi("cam" + std::to_string(i)));
    writeImage(makeImage(4096, "ED"), "Reset=1\n");
    openWindow();
    ASSERT_TRUE(runUpgrade().bSuccess);
    EXPECT_FALSE(layer->enabled[IDC_BUTTON_UPGRADE_FW]);  // resetting
    settle();
    EXPECT_TRUE(layer->enabled[IDC_BUTTON_UPGRADE_FW]);
    EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusReady);
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"2");
}

}  // namespace
}  // namespace lumo::tool::test
