// The transport against emulated cameras of both driver modes, checked on the camera's
// request log.
#include <gtest/gtest.h>

#include <vector>

#include "platform/emu/EmuWorld.h"
#include "sdk/uvc/UvcDev.h"
#include "sdk/uvc/UvcIdentity.h"

using namespace lumo::os;
using namespace lumo::os::emu;

namespace {

constexpr std::uint8_t kSelReg = 0x06;
constexpr std::uint8_t kSelMcu = 0x08;
constexpr std::uint8_t kSelHwVer = 0x0A;

class UvcEmu : public ::testing::TestWithParam<DriverMode> {
protected:
    void SetUp() override {
        clock = VirtualClock::install();
        world = std::make_shared<EmuWorld>();
        installDeviceWorld(world);
    }
    void TearDown() override {
        dev.reset();
        installDeviceWorld(nullptr);
        installClock(nullptr);
    }
    // Adds a camera and takes it through enumeration's steps: bind, identity, mode, open.
    EmuCamera& Attach(CameraConfig cfg) {
        cfg.driver = GetParam();
        const auto index = world->addCamera(cfg);
        std::shared_ptr<IEnumMoniker> walk;
        EXPECT_EQ(world->CreateClassEnumerator(guids::kVideoInputDeviceCategory, &walk), S_OK);
        std::shared_ptr<IMoniker> moniker;
        for (std::size_t i = 0; i <= index; ++i) EXPECT_EQ(walk->Next(&moniker), S_OK);
        std::shared_ptr<IPropertyBag> bag;
        std::shared_ptr<ICaptureFilter> filter;
        EXPECT_EQ(moniker->BindToStorage(&bag), S_OK);
        EXPECT_EQ(moniker->BindToObject(&filter), S_OK);
        dev = std::make_unique<CUvcDev>();
        dev->m_pBaseFilter = filter;
        EXPECT_EQ(dev->QueryPropBagParams(bag.get()), 1);
        EXPECT_EQ(dev->QueryDriverType(), 1);
        EXPECT_EQ(dev->AcquireIoHandle(), 1);
        auto& cam = world->camera(index);
        cam.clearLog();
        return cam;
    }
    bool ClassMode() const { return GetParam() == DriverMode::Class; }

    std::shared_ptr<VirtualClock> clock;
    std::shared_ptr<EmuWorld> world;
    std::unique_ptr<CUvcDev> dev;
};

std::vector<std::uint8_t> SeqBlock(std::uint8_t head, std::uint16_t address, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> b(35, 0);
    b[0] = head;
    b[1] = static_cast<std::uint8_t>(address >> 8);
    b[2] = static_cast<std::uint8_t>(address);
    std::copy(data.begin(), data.end(), b.begin() + 3);
    return b;
}

TEST_P(UvcEmu, ModeAndIdentity) {
    auto& cam = Attach({});
    EXPECT_EQ(dev->m_eDriver, ClassMode() ? 1u : 3u);
    EXPECT_EQ(dev->m_szDevPath, lumo::uvc::ToUpperW(cam.devicePath()));
    EXPECT_EQ(dev->m_szFriendlyName, L"Lumo USB Camera");
    const auto vp = lumo::uvc::ParseVidPid(lumo::uvc::CutVidPid(dev->m_szDevPath));
    ASSERT_TRUE(vp);
    EXPECT_EQ(vp->vid, 0x2E1A);
    EXPECT_EQ(vp->pid, 0x7421);
    std::wstring ids;
    ASSERT_EQ(dev->SetupDiGetDevice(&ids), 1);
    EXPECT_EQ(lumo::uvc::ParseBcdDevice(ids), 0x0100);
}

TEST_P(UvcEmu, SequenceWriteAndReadRequestBlocks) {
    auto& cam = Attach({});
    const std::vector<std::uint8_t> bytes = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    auto write = SeqBlock(0x88, 0x0040, bytes);
    ASSERT_EQ(dev->SetExtensionProperty(kSelMcu, write.data(), 35, nullptr), 1);
    auto read = SeqBlock(0x08, 0x0040, {});
    const auto readRequest = read;
    ASSERT_EQ(dev->SetExtensionProperty(kSelMcu, read.data(), 35, nullptr), 1);
    ASSERT_EQ(dev->GetExtensionProperty(kSelMcu, read.data(), 35, nullptr), 1);
    EXPECT_EQ(std::vector<std::uint8_t>(read.begin() + 3, read.begin() + 11), bytes);

    const auto log = cam.requests();
    ASSERT_EQ(log.size(), 3u);
    const bool sets[] = {true, true, false};
    for (std::size_t i = 0; i < log.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& r = log[i];
        EXPECT_EQ(r.route, ClassMode() ? Route::DevicePath : Route::PropertySet);
        EXPECT_TRUE(r.isVendor());
        EXPECT_EQ(r.selector, kSelMcu);
        EXPECT_EQ(r.set, sets[i]);
        EXPECT_EQ(r.flags, (ClassMode() ? 0x10000000u : 0u) | (sets[i] ? 2u : 1u));
        if (ClassMode()) {
            EXPECT_EQ(r.nodeId, dev->m_dwXuNodeId);
            EXPECT_EQ(r.instanceLength, 32u);  // the node request
            EXPECT_EQ(r.propertyLength, 35u);  // the caller's data
        } else {
            EXPECT_EQ(r.instanceLength, 32u);
            EXPECT_EQ(r.propertyLength, 59u);  // 35 bytes of data do not fit the 56-byte block
        }
        EXPECT_TRUE(r.ok);
    }
    EXPECT_EQ(log[0].data, write);
    EXPECT_EQ(log[1].data, readRequest);
    EXPECT_EQ(log[2].data, read);
    EXPECT_EQ(cam.mcuData(0x0047), 0x88);
}

TEST_P(UvcEmu, ThirtyTwoBytePieceArrivesWhole) {
    CameraConfig cfg;
    cfg.em = true;
    auto& cam = Attach(cfg);
    std::vector<std::uint8_t> bytes(32);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(0xA0 + i);
    auto write = SeqBlock(0x80 | 32, 0x0080, bytes);
    ASSERT_EQ(dev->SetExtensionProperty(kSelMcu, write.data(), 35, nullptr), 1);
    // the piece's last three bytes lie beyond the fixed block's 32-byte data area
    EXPECT_EQ(cam.mcuData(0x0080 + 29), 0xA0 + 29);
    EXPECT_EQ(cam.mcuData(0x0080 + 31), 0xA0 + 31);
    auto read = SeqBlock(32, 0x0080, {});
    ASSERT_EQ(dev->SetExtensionProperty(kSelMcu, read.data(), 35, nullptr), 1);
    ASSERT_EQ(dev->GetExtensionProperty(kSelMcu, read.data(), 35, nullptr), 1);
    EXPECT_EQ(std::vector<std::uint8_t>(read.begin() + 3, read.end()), bytes);
}

TEST_P(UvcEmu, ShortControlKeepsTheFixedBlock) {
    auto& cam = Attach({});
    std::uint8_t hw[4] = {0, 0xEE, 0xEE, 0xEE};
    ASSERT_EQ(dev->GetExtensionProperty(kSelHwVer, hw, 1, nullptr), 1);
    EXPECT_EQ(hw[0], 0x01);
    EXPECT_EQ(hw[1], 0xEE);
    const auto log = cam.requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].propertyLength, ClassMode() ? 1u : 56u);
    EXPECT_EQ(log[0].instanceLength, 32u);
}

TEST_P(UvcEmu, H264RequestsAddressNodeOne) {
    CameraConfig cfg;
    cfg.xu = true;
    auto& cam = Attach(cfg);
    std::uint8_t data[8] = {};
    dev->GetH264ExtensionProperty(0x01, data, sizeof data, nullptr);
    const auto log = cam.requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].unit, guids::kH264Xu);
    if (ClassMode()) {
        EXPECT_NE(dev->m_dwXuNodeId, 1u);
        EXPECT_EQ(log[0].nodeId, 1u);
    }
}

TEST_P(UvcEmu, OpenRefusedWhileThePathIsHeld) {
    Attach({});
    world->holdPath(0, true);
    EXPECT_EQ(dev->AcquireIoHandle(), 0);
    EXPECT_FALSE(dev->m_hDev);
    world->holdPath(0, false);
    EXPECT_EQ(dev->AcquireIoHandle(), 1);
}

TEST_P(UvcEmu, PropertyPageValues) {
    CameraConfig cfg;
    cfg.procAmp = {{0, -64, 64, 1, 0, 2, 12}, {13, 0, 2, 1, 1, 2, 2}};
    cfg.cameraControl = {{19, 0, 1, 1, 0, 2, 1}};
    Attach(cfg);
    PropPageCtrl pu[13]{};
    PropPageCtrl ct[8]{};
    pu[0].Enable = 1;
    pu[9].Enable = 1;
    pu[1].Enable = 2;
    pu[1].Val = 77;
    ct[7].Enable = 1;
    ASSERT_EQ(dev->QueryPropertyPages(pu, ct), 1);
    EXPECT_EQ(dev->m_ProcessingUnit[0].Val, 12);
    EXPECT_EQ(dev->m_ProcessingUnit[0].Min, -64);
    EXPECT_EQ(dev->m_ProcessingUnit[9].Val, 2);
    EXPECT_EQ(dev->m_ProcessingUnit[1].Val, 77);
    EXPECT_EQ(dev->m_CameraTerminal[7].Val, 1);
}

INSTANTIATE_TEST_SUITE_P(BothModes, UvcEmu, ::testing::Values(DriverMode::Class, DriverMode::Maker),
                         [](const auto& info) {
                             return info.param == DriverMode::Class ? "ClassDriver" : "MakerDriver";
                         });

}  // namespace
