#include "sdk/LumoCtrl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cwctype>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/emu/EmuWorld.h"
#include "sdk/device/LumoDev.h"
#include "tests/support/EmuWorldFixture.h"

using lumo::os::emu::CameraConfig;

namespace {

// A registry of its own on an emulated world with a virtual clock.
class RegistryTest : public lumo::testsupport::EmuWorldFixture {
protected:
    void TearDown() override {
        m_ctrl.reset();
        EmuWorldFixture::TearDown();
    }
    std::vector<std::wstring> paths() const {
        std::vector<std::wstring> out;
        for (const CLumoDev* d : m_ctrl->m_oDevs) out.push_back(d->m_szDevPath);
        return out;
    }

    std::unique_ptr<CLumoCtrl> m_ctrl = std::make_unique<CLumoCtrl>();
};

TEST_F(RegistryTest, EmptyCategoryFails) {
    EXPECT_EQ(m_ctrl->EnumDevs(), 0);
    EXPECT_EQ(m_ctrl->m_nDevCount, 0);
}

TEST_F(RegistryTest, OtherVendorsOnlyIsAnEmptyRegistry) {
    add("other");
    add("other");
    EXPECT_EQ(m_ctrl->EnumDevs(), 1);
    EXPECT_EQ(m_ctrl->m_nDevCount, 0);
    EXPECT_TRUE(m_ctrl->m_oDevs.empty());
}

TEST_F(RegistryTest, AdmitsOurChipsInOrderAndFillsIdentity) {
    add("QT7421");
    add("other");
    add("QT7310");
    ASSERT_EQ(m_ctrl->EnumDevs(), 1);
    ASSERT_EQ(m_ctrl->m_nDevCount, 2);
    EXPECT_EQ(m_ctrl->m_oDevs[0]->m_szDevPath, m_world->camera(0).devicePath());
    EXPECT_EQ(m_ctrl->m_oDevs[1]->m_szDevPath, m_world->camera(2).devicePath());
    EXPECT_EQ(m_ctrl->m_oDevs[0]->m_szVidPid, L"VID_2E1A&PID_7421");
    EXPECT_EQ(std::string(m_ctrl->m_oDevs[1]->m_Backend.szSignature.data()), "AX");
}

TEST_F(RegistryTest, SecondEnumerationDropsDuplicates) {
    add("QT7421");
    add("QT7421");
    ASSERT_EQ(m_ctrl->EnumDevs(), 1);
    const auto before = m_ctrl->m_oDevs;
    EXPECT_EQ(m_ctrl->EnumDevs(), 1);
    EXPECT_EQ(m_ctrl->m_oDevs, before);  // same objects at the same indexes
    EXPECT_EQ(m_ctrl->m_nDevCount, 2);
    // A camera plugged in since takes the next index.
    add("QT7421");
    EXPECT_EQ(m_ctrl->EnumDevs(), 1);
    ASSERT_EQ(m_ctrl->m_nDevCount, 3);
    EXPECT_EQ(m_ctrl->m_oDevs[0], before[0]);
    EXPECT_EQ(m_ctrl->m_oDevs[2]->m_szDevPath, m_world->camera(2).devicePath());
}

TEST_F(RegistryTest, RemovalMovesLaterCamerasDown) {
    for (int i = 0; i < 3; ++i) add("QT7421");
    ASSERT_EQ(m_ctrl->EnumDevs(), 1);
    const auto p = paths();
    EXPECT_EQ(m_ctrl->DevsDelElement(static_cast<std::uint8_t>(0)), 1);
    EXPECT_EQ(m_ctrl->m_nDevCount, 2);
    EXPECT_EQ(paths(), (std::vector<std::wstring>{p[1], p[2]}));
    EXPECT_EQ(m_ctrl->DevsDelElement(static_cast<std::uint8_t>(5)), 0);
    EXPECT_EQ(m_ctrl->m_nDevCount, 2);
}

TEST_F(RegistryTest, RemovalByPathGoesByDeviceInstance) {
    add("QT7421", "5&AAA&0&0000");
    add("QT7421", "5&BBB&0&0000");
    ASSERT_EQ(m_ctrl->EnumDevs(), 1);
    const std::wstring second = m_world->camera(1).devicePath();
    const std::wstring instancePart = second.substr(0, second.find(L'{'));

    struct Case {
        std::wstring path;
        std::int32_t removed;
        std::wstring after;  // the caller's string afterwards
    };
    const Case cases[] = {
        {L"\\\\?\\USB#VID_2E1A&PID_7421&MI_00#5&CCC&0&0000#{65E8773D-8F56-11D0-A3B9-00A0C9223196}", 0,
         L"\\\\?\\USB#VID_2E1A&PID_7421&MI_00#5&CCC&0&0000#"},
        {L"", 0, L""},  // an empty text must not match every camera
        {L"{6994AD05-93EF-11D0-A3CC-00A0C9223196}", 0, L""},
        // the same device instance under another interface class
        {instancePart + L"{6994AD05-93EF-11D0-A3CC-00A0C9223196}\\GLOBAL", 1, instancePart},
    };
    for (const auto& c : cases) {
        std::wstring path = c.path;
        EXPECT_EQ(m_ctrl->DevsDelElement(path), c.removed);
        EXPECT_EQ(path, c.after);
    }
    ASSERT_EQ(m_ctrl->m_nDevCount, 1);
    EXPECT_EQ(m_ctrl->m_oDevs[0]->m_szDevPath, m_world->camera(0).devicePath());
    EXPECT_EQ(m_ctrl->DevsFindElement(m_world->camera(0).devicePath()), 1);
    EXPECT_EQ(m_ctrl->DevsFindElement(second), 0);
}

TEST_F(RegistryTest, FailedParameterQueryBreaksTheWalkOff) {
    add("QT7421");
    ASSERT_EQ(m_ctrl->EnumDevs(), 1);  // registered before: stays
    add("QT7421");
    const std::size_t failing = add("QT7421");
    const std::size_t after = add("QT7421");
    // Identification passes; the hardware-version read of the parameter query fails.
    auto f = m_world->camera(failing).faults();
    f.failSelector = XU_CTRL_HW_VER;
    m_world->camera(failing).setFaults(f);
    m_world->camera(after).clearLog();
    EXPECT_EQ(m_ctrl->EnumDevs(), 0);
    ASSERT_EQ(m_ctrl->m_nDevCount, 2);
    EXPECT_EQ(m_ctrl->m_oDevs[1]->m_szDevPath, m_world->camera(1).devicePath());
    EXPECT_EQ(m_world->camera(after).requestCount(), 0u) << "a candidate after the break-off was visited";
}

TEST_F(RegistryTest, CandidateWhosePathIsHeldIsDropped) {
    add("QT7421");
    add("QT7421");
    m_world->holdPath(0, true);
    EXPECT_EQ(m_ctrl->EnumDevs(), 1);
    ASSERT_EQ(m_ctrl->m_nDevCount, 1);
    EXPECT_EQ(m_ctrl->m_oDevs[0]->m_szDevPath, m_world->camera(1).devicePath());
}

TEST_F(RegistryTest, RefusesA256thCamera) {
    for (std::size_t i = 0; i < CLumoCtrl::kMaxDevs; ++i) ASSERT_EQ(m_ctrl->DevsAddElement(new CLumoDev), 1);
    EXPECT_EQ(m_ctrl->m_nDevCount, 255);
    EXPECT_EQ(m_ctrl->DevsAddElement(new CLumoDev), 0);  // deleted, not leaked (LeakSanitizer)
    EXPECT_EQ(m_ctrl->m_nDevCount, 255);
    EXPECT_EQ(m_ctrl->m_oDevs.size(), 255u);
    EXPECT_EQ(m_ctrl->DevsDelElement(static_cast<std::uint8_t>(254)), 1);
    EXPECT_EQ(m_ctrl->DevsAddElement(new CLumoDev), 1);
}

TEST_F(RegistryTest, FreeDevsAndDestructionReleaseEveryCamera) {
    add("QT7421");
    add("QT7421");
    ASSERT_EQ(m_ctrl->EnumDevs(), 1);
    m_ctrl->FreeDevs();
    EXPECT_EQ(m_ctrl->m_nDevCount, 0);
    EXPECT_TRUE(m_ctrl->m_oDevs.empty());
    // The device paths are free again: another exclusive open succeeds.
    ASSERT_EQ(m_ctrl->EnumDevs(), 1);
    ASSERT_EQ(m_ctrl->m_nDevCount, 2);
    m_ctrl.reset();  // cameras left registered are freed with the registry
    CLumoCtrl again;
    EXPECT_EQ(again.EnumDevs(), 1);
    EXPECT_EQ(again.m_nDevCount, 2);
}

TEST_F(RegistryTest, QueryExtRomSetsSizesAndStopsAtTheFirstFailure) {
    EXPECT_EQ(m_ctrl->QueryExtRom(), 1);  // nothing registered
    add("QT7421");
    CameraConfig e;
    e.name = "eeprom";
    e.rom = lumo::os::emu::RomKind::Eeprom;
    e.eepromBytes = 4096;
    m_world->addCamera(e);
    ASSERT_EQ(m_ctrl->EnumDevs(), 1);
    ASSERT_EQ(m_ctrl->m_nDevCount, 2);
    EXPECT_EQ(m_ctrl->QueryExtRom(), 1);
    EXPECT_EQ(m_ctrl->m_oDevs[0]->m_dwRomSize, 0x10000u);
    EXPECT_EQ(m_ctrl->m_oDevs[1]->m_dwRomSize, 4096u);

    // Camera 1 leaves the bus: its detection fails.
    auto f = m_world->camera(1).faults();
    f.vanishAtRequest = m_world->camera(1).requestCount() + 1;
    m_world->camera(1).setFaults(f);
    m_world->camera(0).clearLog();
    EXPECT_EQ(m_ctrl->QueryExtRom(), 0);
    EXPECT_EQ(m_ctrl->m_oDevs[0]->m_dwRomSize, 0x10000u);  // the cameras before keep what they got
    EXPECT_EQ(m_ctrl->m_oDevs[1]->m_dwRomSize, 0u);        // not detected
}

// One camera's failed detection must not cost the others their second pass: a blank
// camera's EEPROM probe leaves the controller on the I2C route, and only the ROM type sent
// afterwards puts it back on the SPI flash. The failing camera is left with size 0.
TEST_F(RegistryTest, EveryDetectedCameraGetsItsRomTypeWhateverTheOthersDid) {
    struct Case {
        const char* name;
        std::size_t cameras;
        std::size_t failing;
        std::function<void(lumo::os::emu::Faults&, std::uint64_t sent)> fault;
    };
    const Case cases[] = {
        {"flash busy, third of three", 3, 2, [](auto& f, auto) { f.flashBusyForever = true; }},
        {"ROM selector fails, third of three", 3, 2, [](auto& f, auto) { f.failSelector = XU_CTRL_EXT_ROM; }},
        {"request 17 of detection, second of two", 2, 1, [](auto& f, auto sent) { f.failRequest = sent + 17; }},
        {"request 20 of detection, second of two", 2, 1, [](auto& f, auto sent) { f.failRequest = sent + 20; }},
        {"first request of detection, first of two", 2, 0, [](auto& f, auto sent) { f.failRequest = sent + 1; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_ctrl = std::make_unique<CLumoCtrl>();
        m_world = std::make_shared<lumo::os::emu::EmuWorld>();
        lumo::os::installDeviceWorld(m_world);
        for (std::size_t i = 0; i < c.cameras; ++i) add("QT7421");  // blank 64 KB flashes
        ASSERT_EQ(m_ctrl->EnumDevs(), 1);
        ASSERT_EQ(m_ctrl->m_nDevCount, static_cast<std::int32_t>(c.cameras));
        auto& bad = m_world->camera(c.failing);
        auto f = bad.faults();
        c.fault(f, bad.requestCount());
        bad.setFaults(f);

        EXPECT_EQ(m_ctrl->QueryExtRom(), 0);
        for (std::size_t i = 0; i < c.cameras; ++i) {
            const CLumoDev& dev = *m_ctrl->m_oDevs[i];
            if (i == c.failing) {
                EXPECT_EQ(dev.m_dwRomSize, 0u) << "camera " << i;
                continue;
            }
            EXPECT_EQ(dev.m_dwRomSize, 0x10000u) << "camera " << i;
            EXPECT_EQ(m_world->camera(i).romTypeCode(), kExtRomTypeSpi) << "camera " << i << " left off the flash";
        }
        m_ctrl.reset();
    }
}

std::wstring upper(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return s;
}

// Collects notices delivered on the world's monitor thread.
struct NoticeSink {
    std::mutex mutex;
    std::vector<std::pair<std::uint32_t, std::wstring>> notices;
    static void callback(void* context, std::uint32_t eventType, const TAVIX_DEVICE_INTERFACE_NOTICE* notice) {
        auto* self = static_cast<NoticeSink*>(context);
        std::lock_guard lock(self->mutex);
        self->notices.emplace_back(eventType, notice->dbcc_name);
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return notices.size();
    }
};

TEST_F(RegistryTest, DeviceChangeRegistration) {
    EXPECT_EQ(m_ctrl->DeviceChangeUnregister(), 0);  // none yet
    EXPECT_EQ(m_ctrl->DeviceChangeRegister(nullptr), 0);
    TAVIX_NOTICE_RECIPIENT noCallback{nullptr, nullptr};
    EXPECT_EQ(m_ctrl->DeviceChangeRegister(&noCallback), 0);

    NoticeSink sink;
    {
        // The record may go away after the call.
        TAVIX_NOTICE_RECIPIENT r{&NoticeSink::callback, &sink};
        ASSERT_EQ(m_ctrl->DeviceChangeRegister(&r), 1);
        ASSERT_EQ(m_ctrl->DeviceChangeRegister(&r), 1);  // replaces the first
    }
    EXPECT_NE(m_ctrl->m_hDevNotify, 0u);
    const std::size_t cam = add("QT7421");
    m_world->settle();
    const std::size_t perArrival = sink.count();
    ASSERT_GT(perArrival, 0u);
    {
        std::lock_guard lock(sink.mutex);
        bool capture = false;
        for (const auto& n : sink.notices) {
            EXPECT_EQ(n.first, TAVIX_DBT_DEVICEARRIVAL);
            capture = capture || upper(n.second) == upper(m_world->camera(cam).devicePath());
        }
        EXPECT_TRUE(capture) << "no notice for the video-capture interface; first: "
                             << std::string(sink.notices[0].second.begin(), sink.notices[0].second.end());
    }
    // Only one registration delivers: every interface arrives once.
    m_world->unplug(cam);
    m_world->settle();
    EXPECT_EQ(sink.count(), 2 * perArrival);

    EXPECT_EQ(m_ctrl->DeviceChangeUnregister(), 1);
    EXPECT_EQ(m_ctrl->m_hDevNotify, 0u);
    m_world->plug(cam);
    m_world->settle();
    EXPECT_EQ(sink.count(), 2 * perArrival);
}

// A registration without a recipient ends the one before it, which would otherwise go on
// delivering with no handle left to end it.
TEST_F(RegistryTest, RegistrationWithoutRecipientEndsTheEarlierOne) {
    NoticeSink sink;
    TAVIX_NOTICE_RECIPIENT r{&NoticeSink::callback, &sink};
    ASSERT_EQ(m_ctrl->DeviceChangeRegister(&r), 1);
    EXPECT_EQ(m_ctrl->DeviceChangeRegister(nullptr), 0);
    EXPECT_EQ(m_ctrl->m_hDevNotify, 0u);
    add("QT7421");
    m_world->settle();
    EXPECT_EQ(sink.count(), 0u) << "the earlier registration still delivers";
    EXPECT_EQ(m_ctrl->DeviceChangeUnregister(), 0);  // nothing left to end
}

}  // namespace
