// The window logic against a scripted stand-in of the library: settings, display, the run's
// plans (which export, which address, how many bytes) and the mended run rules.
#include <algorithm>
#include <thread>

#include "platform/Guid.h"
#include "tests/tool/FakeFixture.h"
#include "tool/ControlIds.h"

namespace lumo::tool::test {
namespace {

using fake::Camera;
using fake::Sdk;
using Outcome = MP_CAMERA_RESULT::Outcome;

const auto kVideoClass = lumo::os::guids::kVideoCaptureInterfaceClass.toBytes();

// ---- settings --------------------------------------------------------------------------

TEST_F(ToolFake, WithoutSettingsFileTheImageIsZeroBesideTheProgram) {
    Sdk::get().addCamera(cam());
    openWindow();
    EXPECT_EQ(dlg->BinPath(), (m_dir / "0").wstring());
    EXPECT_EQ(dlg->IniPath(), (m_dir / "LumoMP.ini").wstring());
    EXPECT_EQ(dlg->DevSelect(), 0);
    EXPECT_EQ(dlg->SpecSectorOn(), 0u);
    EXPECT_EQ(text(IDC_EDIT_BINFILE), L"0");
}

TEST_F(ToolFake, BinFileWithDirectoryIsShownAsWrittenButTakenFromTheProgramFolder) {
    writeIni("[SETTING]\nBinFile=C:\\line\\fw\\image.bin\n");
    Sdk::get().addCamera(cam());
    openWindow();
    EXPECT_EQ(text(IDC_EDIT_BINFILE), L"C:\\line\\fw\\image.bin");
    EXPECT_EQ(dlg->BinPath(), (m_dir / "image.bin").wstring());
}

struct SectorCase {
    const char* ini;
    bool on;
    std::uint16_t addr;
    const wchar_t* label;
    bool box;
};

TEST_F(ToolFake, SettingsEdgeCases) {
    const SectorCase cases[] = {
        {"FlashSectorFeature=1\nSpecificSector=65536\n", true, 0, L"Sector 0", false},  // low 16 bits: 0
        {"FlashSectorFeature=1\nSpecificSector=15\n", true, 0xF000, L"Sector 15", false},
        {"FlashSectorFeature=1\nSpecificSector=16\n", false, 0, L"", true},
        {"FlashSectorFeature=2\nSpecificSector=3\n", false, 0, L"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        Sdk::get().reset();
        Sdk::get().addCamera(cam());
        writeIni(std::string("[SETTING]\nDevSelect=256\n") + c.ini);
        openWindow();
        EXPECT_EQ(dlg->DevSelect(), 0);  // 256 keeps its low 8 bits
        EXPECT_EQ(dlg->SpecSectorOn(), c.on ? 1u : 0u);
        EXPECT_EQ(layer->checked[IDC_CHECK_SPEC_SECTOR], c.on);
        if (c.on) {
            EXPECT_EQ(dlg->SectorAddr(), c.addr);
        }
        EXPECT_EQ(text(IDC_STATIC_SECTOR), c.label);
        ASSERT_EQ(layer->boxes.size(), c.box ? 1u : 0u);
        if (c.box) {
            EXPECT_EQ(layer->boxes[0].text, kMsgSectorInvalid);
            EXPECT_EQ(layer->boxes[0].caption, L"LumoMP");
            EXPECT_EQ(layer->boxes[0].icon, MsgIcon::Stop);
        }
        closeWindow();
    }
}

// ---- display and window situations -----------------------------------------------------

TEST_F(ToolFake, ReadyWindowShowsCameraZero) {
    Sdk::get().addCamera(cam());
    openWindow();
    EXPECT_EQ(layer->title, L"LumoMP v4.0.1000.0");
    EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusReady);
    EXPECT_TRUE(layer->enabled[IDC_BUTTON_UPGRADE_FW]);
    EXPECT_TRUE(layer->enabled[IDC_CHECK_SPEC_SECTOR]);
    EXPECT_EQ(layer->progressLow, 0);
    EXPECT_EQ(layer->progressHigh, 99);
    EXPECT_EQ(text(IDC_STATIC_BCD), L"0100");
    EXPECT_EQ(text(IDC_STATIC_EXTFW), L"0A0B0C0D");
    EXPECT_EQ(text(IDC_STATIC_SETFILE), L"SF1.0");
    EXPECT_EQ(text(IDC_COMBO_BACKEND_TYPE), L"TV5640");
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"1");
}

TEST_F(ToolFake, RomTypeAndCountDisplay) {
    const std::pair<std::uint32_t, const wchar_t*> cases[] = {
        {65536, L"SPI"}, {32768, L"I2C"}, {2048, L"I2C"}, {0, L"No Device"}};
    for (const auto& [rom, shown] : cases) {
        Sdk::get().reset();
        for (int i = 0; i < 10; ++i) Sdk::get().addCamera(cam(rom));
        openWindow();
        EXPECT_EQ(text(IDC_COMBO_EEPROM_TYPE), shown) << rom;
        EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"A");
        closeWindow();
    }
}

TEST_F(ToolFake, NoCameraLeavesTheWindowNotReady) {
    openWindow();
    EXPECT_FALSE(layer->enabled[IDC_BUTTON_UPGRADE_FW]);
    EXPECT_FALSE(layer->enabled[IDC_CHECK_SPEC_SECTOR]);
    EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusEnumerating);
    EXPECT_EQ(text(IDC_STATIC_BCD), L"");  // template text
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"0");
}

// ---- the click handler -----------------------------------------------------------------

TEST_F(ToolFake, LoadFailureAndSignatureMismatchShowTwoBoxesAndStartNothing) {
    Sdk::get().addCamera(cam());
    Sdk::get().setImage(makeImage(4096, "XY"), false);  // the buffer keeps its 0xFF fill
    openWindow();
    const auto s = runUpgrade();
    EXPECT_TRUE(s.bRefused);
    ASSERT_EQ(layer->boxes.size(), 2u);
    EXPECT_EQ(layer->boxes[0].text, kMsgSourceFileError);
    EXPECT_EQ(layer->boxes[1].text, kMsgSignatureMismatch);
    EXPECT_EQ(layer->boxes[1].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(calls("ExtRomWriteEnable").empty());
    EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusReady);
}

// ---- plans -----------------------------------------------------------------------------

struct PlanCase {
    const char* name;
    std::uint32_t rom;
    std::vector<std::uint8_t> image;
    const char* ini;
    std::size_t eraseAll;
    std::vector<std::uint32_t> sectors;
    std::size_t writes;
    std::uint32_t block;
    std::uint32_t firstAddr, lastAddr;
};

std::vector<std::uint8_t> trimmedAt(std::size_t lastNonBlank) {
    auto img = makeImage(65536);
    std::fill(img.begin() + static_cast<long>(lastNonBlank) + 1, img.end(), 0xFF);
    return img;
}

std::vector<std::uint32_t> sectorsFrom(std::uint32_t a) {
    std::vector<std::uint32_t> s;
    for (; a < 65536; a += 4096) s.push_back(a);
    return s;
}

TEST_F(ToolFake, EachPlanWritesTheBlocksItShould) {
    const PlanCase cases[] = {
        // whole erase, last byte other than 0xFF at 0x1234: at least 16416 bytes
        {"whole-erase-min", 65536, trimmedAt(0x1234), "", 1, {}, 16416 / 32, 32, 0, 16384},
        // last 32 bytes not blank: all 65536 bytes, ending with the block at 65504
        {"whole-erase-full", 65536, makeImage(65536), "", 1, {}, 2048, 32, 0, 65504},
        {"eeprom-2048", 2048, makeImage(2048), "", 0, {}, 128, 16, 0, 2032},
        {"plain-4096", 4096, makeImage(4096), "", 0, {}, 128, 32, 0, 4064},
        // sector 0, 4096-byte image: sixteen sectors erased, 4128 bytes written from 0
        {"sector-0", 65536, makeImage(4096), "FlashSectorFeature=1\nSpecificSector=0\n", 0, sectorsFrom(0), 129, 32, 0,
         4096},
        {"sector-3", 65536, makeImage(100), "FlashSectorFeature=1\nSpecificSector=3\n", 0, sectorsFrom(0x3000), 4, 32,
         0x3000, 0x3060},
        // on a small EEPROM the Specific Sector plan erases nothing
        {"sector-eeprom", 4096, makeImage(64), "FlashSectorFeature=1\nSpecificSector=0\n", 0, {}, 3, 32, 0, 64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sdk::get().reset();
        Sdk::get().addCamera(cam(c.rom));
        Sdk::get().setImage(c.image);
        writeIni(std::string("[SETTING]\nBinFile=fw.bin\n") + c.ini);
        openWindow();
        const auto s = runUpgrade();
        EXPECT_TRUE(s.bSuccess);
        EXPECT_EQ(calls("EraseAll").size(), c.eraseAll);
        std::vector<std::uint32_t> sectors;
        for (const auto& e : calls("SectorErase")) sectors.push_back(e.a);
        EXPECT_EQ(sectors, c.sectors);
        const auto writes = calls("ExtRomWrite");
        ASSERT_EQ(writes.size(), c.writes);
        for (const auto& w : writes) EXPECT_EQ(w.b, c.block);
        EXPECT_EQ(writes.front().a, c.firstAddr);
        EXPECT_EQ(writes.back().a, c.lastAddr);
        for (std::size_t i = 1; i < writes.size(); ++i) EXPECT_EQ(writes[i].a, writes[i - 1].a + c.block);
        // write enable first, protection restored last
        const auto we = calls("ExtRomWriteEnable");
        ASSERT_EQ(we.size(), 2u);
        EXPECT_EQ(we[0].a, 1u);
        EXPECT_EQ(we[1].a, 0u);
        EXPECT_LT(we[0].seq, writes.front().seq);
        EXPECT_GT(we[1].seq, writes.back().seq);
        if (c.eraseAll || !c.sectors.empty()) {
            EXPECT_EQ(calls("SpiWaitBusReady").size(), 1u);
        }
        EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusReady);
        EXPECT_TRUE(layer->enabled[IDC_BUTTON_UPGRADE_FW]);
        EXPECT_TRUE(layer->closeEnabled);
        EXPECT_EQ(layer->offThreadCalls, 0);
        closeWindow();
    }
}

TEST_F(ToolFake, AfterASuccessfulRunTheRomHoldsTheImage) {
    const auto img = makeImage(2048);
    Sdk::get().addCamera(cam(2048));
    Sdk::get().addCamera(cam(65536));
    Sdk::get().setImage(img);
    openWindow();
    ASSERT_TRUE(runUpgrade().bSuccess);
    for (const auto& c : Sdk::get().cameras()) EXPECT_TRUE(std::equal(img.begin(), img.end(), c.rom.begin()));
}

// ---- plans that would write past the ROM (refused before anything is erased) ------------

struct RefuseCase {
    const char* name;
    std::uint32_t rom;
    std::vector<std::uint8_t> image;
    const char* ini;
};

TEST_F(ToolFake, PlansThatReachPastTheRomAreRefusedBeforeErasing) {
    const RefuseCase cases[] = {
        {"image-longer-than-eeprom", 2048, makeImage(4096), ""},
        {"trimmed-length-longer-than-32k", 32768, makeImage(40000), ""},
        {"rom-size-unknown", 0, makeImage(4096), ""},
        {"rom-size-all-ones", 0xFFFFFFFF, makeImage(4096), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sdk::get().reset();
        Sdk::get().addCamera(cam(c.rom));
        Sdk::get().setImage(c.image);
        writeIni(std::string("[SETTING]\n") + c.ini);
        openWindow();
        const auto s = runUpgrade();
        EXPECT_FALSE(s.bSuccess);
        EXPECT_FALSE(s.bRefused);
        EXPECT_TRUE(calls("ExtRomWriteEnable").empty());
        EXPECT_TRUE(calls("EraseAll").empty());
        EXPECT_TRUE(calls("SectorErase").empty());
        EXPECT_TRUE(calls("ExtRomWrite").empty());
        EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusFailed);
        EXPECT_TRUE(layer->closeEnabled);
        EXPECT_FALSE(layer->enabled[IDC_BUTTON_UPGRADE_FW]);
        ASSERT_EQ(s.cameras.size(), 1u);
        EXPECT_EQ(s.cameras[0].eOutcome, Outcome::Failed);
        EXPECT_FALSE(s.cameras[0].szReason.empty());
        if (c.rom == 0 || c.rom == 0xFFFFFFFF) {
            EXPECT_EQ(s.cameras[0].szReason, "ROM not detected");
        }
        closeWindow();
    }
}

// A Specific Sector image that cannot fit above its sector is refused at the click, before
// any worker starts.
TEST_F(ToolFake, SpecificSectorImagesThatCannotFitAreRefusedAtTheClick) {
    const RefuseCase cases[] = {
        {"sector-15-image-too-long", 65536, makeImage(4097), "FlashSectorFeature=1\nSpecificSector=15\n"},
        {"sector-past-eeprom", 4096, makeImage(64), "FlashSectorFeature=1\nSpecificSector=1\n"},
    };
    const wchar_t* texts[] = {L"BIN file of 4097 bytes does not fit above Sector 15 (ROM ends at 65536) !",
                              L"BIN file of 64 bytes does not fit above Sector 1 (ROM ends at 4096) !"};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        Sdk::get().reset();
        Sdk::get().addCamera(cam(c.rom));
        Sdk::get().setImage(c.image);
        writeIni(std::string("[SETTING]\n") + c.ini);
        openWindow();
        const auto s = runUpgrade();
        EXPECT_TRUE(s.bRefused);
        ASSERT_EQ(layer->boxes.size(), 1u);
        EXPECT_EQ(layer->boxes[0].text, texts[i]);
        EXPECT_TRUE(calls("ExtRomWriteEnable").empty());
        EXPECT_TRUE(layer->enabled[IDC_BUTTON_UPGRADE_FW]);
        EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusReady);
        closeWindow();
    }
}

TEST_F(ToolFake, SectorFifteenCutsThePaddingBlockAtTheEndOfTheAddressSpace) {
    Sdk::get().addCamera(cam(65536));
    Sdk::get().setImage(makeImage(4096));
    writeIni("[SETTING]\nFlashSectorFeature=1\nSpecificSector=15\n");
    openWindow();
    ASSERT_TRUE(runUpgrade().bSuccess);
    const auto writes = calls("ExtRomWrite");
    ASSERT_EQ(writes.size(), 128u);  // 4096 bytes; the 33rd-byte block would pass 0xFFFF
    EXPECT_EQ(writes.front().a, 0xF000u);
    EXPECT_EQ(writes.back().a, 0xFFE0u);
    EXPECT_EQ(calls("SectorErase").size(), 1u);
}

// ---- mixed lines, DevSelect, reset, failures ---------------------------------------------

TEST_F(ToolFake, EachWorkerPlansWithItsOwnRomAndChecksItsOwnChip) {
    Sdk::get().addCamera(cam(65536));
    Sdk::get().addCamera(cam(2048));
    Camera other = cam(65536);
    other.sig = "XY";
    other.partNo = "XY1000";
    Sdk::get().addCamera(other);
    Sdk::get().setImage(makeImage(2048));
    openWindow();
    const auto s = runUpgrade();
    EXPECT_FALSE(s.bSuccess);
    EXPECT_EQ(calls("EraseAll", 0).size(), 1u);
    EXPECT_TRUE(calls("EraseAll", 1).empty());  // the EEPROM takes the plain plan
    for (const auto& w : calls("ExtRomWrite", 1)) EXPECT_EQ(w.b, 16u);
    EXPECT_EQ(calls("ExtRomWrite", 1).size(), 128u);
    EXPECT_TRUE(calls("ExtRomWriteEnable", 2).empty());  // other chip: nothing touched
    ASSERT_EQ(s.cameras.size(), 3u);
    EXPECT_EQ(s.cameras[0].eOutcome, Outcome::Ok);
    EXPECT_EQ(s.cameras[1].eOutcome, Outcome::Ok);
    EXPECT_EQ(s.cameras[2].eOutcome, Outcome::Failed);
    EXPECT_EQ(s.cameras[2].szPartNo, "XY1000");
    EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusFailed);
}

TEST_F(ToolFake, DevSelectAboveTheCountFallsBackToCameraZeroForGood) {
    writeIni("[SETTING]\nDevSelect=3\n");
    Sdk::get().addCamera(cam());
    Sdk::get().addCamera(cam());
    Sdk::get().setImage(makeImage(4096));
    openWindow();
    ASSERT_TRUE(runUpgrade().bSuccess);
    EXPECT_EQ(dlg->DevSelect(), 1);
    EXPECT_TRUE(calls("ExtRomWriteEnable", 1).empty());
    EXPECT_EQ(calls("ExtRomWriteEnable", 0).size(), 2u);
    // A third camera arrives: later runs still take camera 0 only.
    Sdk::get().addCamera(cam());
    dlg->OnDeviceChange(TAVIX_DBT_DEVICEARRIVAL, nullptr);  // no record: nothing happens
    TAVIX_DEVICE_INTERFACE_NOTICE n{};
    n.dbcc_devicetype = TAVIX_DBT_DEVTYP_DEVICEINTERFACE;
    std::copy(kVideoClass.begin(), kVideoClass.end(), n.dbcc_classguid);
    const std::wstring name = L"\\\\?\\USB#VID_1234&PID_5678#x#{65e8773d-8f56-11d0-a3b9-00a0c9223196}";
    n.dbcc_name = name.c_str();
    dlg->OnDeviceChange(TAVIX_DBT_DEVICEARRIVAL, &n);
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"3");
    ASSERT_TRUE(runUpgrade().bSuccess);
    EXPECT_TRUE(calls("ExtRomWriteEnable", 1).empty());
    EXPECT_TRUE(calls("ExtRomWriteEnable", 2).empty());
    EXPECT_EQ(calls("ExtRomWriteEnable", 0).size(), 4u);
}

TEST_F(ToolFake, ResetAfterSuccessResetsEveryRegisteredCamera) {
    writeIni("[SETTING]\nReset=1\nDevSelect=1\n");
    for (int i = 0; i < 3; ++i) Sdk::get().addCamera(cam());
    Sdk::get().setImage(makeImage(4096));
    openWindow();
    ASSERT_TRUE(runUpgrade().bSuccess);
    const auto resets = calls("DeviceReset");
    ASSERT_EQ(resets.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(resets[i].idx, i);
    EXPECT_GT(resets.front().seq, calls("ExtRomWriteEnable").back().seq);
    // resetting: ready text, controls and Close stay off until the cameras return
    EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusReady);
    EXPECT_FALSE(layer->enabled[IDC_BUTTON_UPGRADE_FW]);
    EXPECT_FALSE(layer->closeEnabled);
}

TEST_F(ToolFake, OneFailingCameraOfTwoFailsTheRunWithoutReset) {
    writeIni("[SETTING]\nReset=1\n");
    Sdk::get().addCamera(cam());
    Camera bad = cam();
    bad.failWriteAt = 0x0100;
    Sdk::get().addCamera(bad);
    Sdk::get().setImage(makeImage(65536));
    openWindow();
    const auto s = runUpgrade();
    EXPECT_FALSE(s.bSuccess);
    EXPECT_TRUE(calls("DeviceReset").empty());
    EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusFailed);
    EXPECT_EQ(layer->statusHistory.back(), kStatusFailed);
    EXPECT_TRUE(layer->closeEnabled);
    EXPECT_FALSE(layer->enabled[IDC_BUTTON_UPGRADE_FW]);
    EXPECT_TRUE(calls("ExtRomWrite", 1).back().a == 0x0100);  // nothing after the failed block
    EXPECT_EQ(s.cameras[1].szReason, "write failed at 0x0100");
    // the failed camera keeps its protection lifted: no write disable
    EXPECT_EQ(calls("ExtRomWriteEnable", 1).size(), 1u);
}

TEST_F(ToolFake, AnExceptionInAWorkerLeadsToTheFailureEnd) {
    Camera c = cam();
    c.throwWriteAt = 0x40;
    Sdk::get().addCamera(c);
    Sdk::get().setImage(makeImage(65536));
    openWindow();
    const auto s = runUpgrade();
    EXPECT_FALSE(s.bSuccess);
    EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusFailed);
}

TEST_F(ToolFake, RunningStateDuringTheRun) {
    Sdk::get().addCamera(cam());
    Sdk::get().setImage(makeImage(65536));
    openWindow();
    dlg->OnBnClickedButtonUpgradeFwMp();
    // off before any worker's window call is served: no Specific Sector change under a run
    EXPECT_FALSE(layer->enabled[IDC_CHECK_SPEC_SECTOR]);
    EXPECT_FALSE(layer->enabled[IDC_BUTTON_UPGRADE_FW]);
    EXPECT_FALSE(layer->closeEnabled);
    dlg->WaitForRunEnd();
    layer->Pump();
    // the worker's first window calls: disabled, greyed Close, "Upgrade FW"; then ready
    const auto& h = layer->statusHistory;
    ASSERT_GE(h.size(), 2u);
    EXPECT_EQ(h[h.size() - 2], kStatusUpgrading);
    EXPECT_EQ(h.back(), kStatusReady);
    EXPECT_EQ(layer->offThreadCalls, 0);
}

// ---- hot-plug and the run --------------------------------------------------------------

TEST_F(ToolFake, HotPlugWhileIdle) {
    Sdk::get().addCamera(cam());
    openWindow();
    Camera second = cam(32768);
    Sdk::get().addCamera(second);
    const std::wstring path = Sdk::get().attached[1].path;
    std::thread([&] { Sdk::get().notify(TAVIX_DBT_DEVICEARRIVAL, kVideoClass.data(), path); }).join();
    layer->Pump();
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"2");
    EXPECT_EQ(text(IDC_COMBO_EEPROM_TYPE), L"SPI");  // still camera 0

    // Camera 0 goes: the camera behind it becomes camera 0 and is shown with its own ROM.
    const std::wstring first = Sdk::get().attached[0].path;
    Sdk::get().removeCamera(0);
    Sdk::get().notify(TAVIX_DBT_DEVICEREMOVECOMPLETE, kVideoClass.data(), first);
    layer->Pump();
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"1");
    EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusReady);
    EXPECT_EQ(text(IDC_COMBO_EEPROM_TYPE), L"I2C");

    Sdk::get().removeCamera(0);
    Sdk::get().notify(TAVIX_DBT_DEVICEREMOVECOMPLETE, kVideoClass.data(), path);
    layer->Pump();
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"0");
    EXPECT_EQ(text(IDC_COMBO_EEPROM_TYPE), kNoDevice);
    EXPECT_EQ(text(IDC_COMBO_BACKEND_TYPE), kNoDevice);
    EXPECT_EQ(text(IDC_STATIC_BCD), L"");
    EXPECT_FALSE(layer->enabled[IDC_BUTTON_UPGRADE_FW]);
}

TEST_F(ToolFake, NoticesOfOtherClassesOrTypesChangeNothing) {
    Sdk::get().addCamera(cam());
    openWindow();
    const std::size_t enums = calls("EnumDevs").size();
    const auto otherClass = lumo::os::guids::kImageSetupClass.toBytes();
    Sdk::get().notify(TAVIX_DBT_DEVICEARRIVAL, otherClass.data(), L"\\\\?\\USB#VID_1234&PID_5678#x#{6bdd1fc6}");
    Sdk::get().notify(TAVIX_DBT_DEVICEARRIVAL, kVideoClass.data(), L"\\\\?\\USB#x", 3);  // another broadcast type
    Sdk::get().notify(0x0007, kVideoClass.data(), L"\\\\?\\USB#x");                      // another event
    Sdk::get().notify(TAVIX_DBT_DEVICEREMOVECOMPLETE, otherClass.data(), Sdk::get().attached[0].path);
    layer->Pump();
    EXPECT_EQ(calls("EnumDevs").size(), enums);
    EXPECT_TRUE(calls("DevsDelByPath").empty());
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"1");
    EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusReady);
}

TEST_F(ToolFake, ANoticeWhileWorkersStartNeitherDeadlocksNorChangesTheRegistryDuringTheRun) {
    for (int i = 0; i < 4; ++i) {
        Camera c = cam();
        c.writeDelayUs = 50;
        Sdk::get().addCamera(c);
    }
    Sdk::get().setImage(makeImage(16384));
    openWindow();
    dlg->OnBnClickedButtonUpgradeFwMp();
    // A notice queued before any worker's first window call was served.
    Sdk::get().notify(TAVIX_DBT_DEVICEARRIVAL, kVideoClass.data(), Sdk::get().attached[0].path);
    layer->Pump();  // serves the notice: it waits for the run, serving the workers meanwhile
    ASSERT_TRUE(dlg->IsRunIdle());
    layer->Pump();
    ASSERT_TRUE(summary.has_value());
    EXPECT_TRUE(summary->bSuccess);
    const auto enums = calls("EnumDevs");
    std::uint64_t lastWorkerCall = 0;
    for (const auto& c : calls("ExtRomWriteEnable")) lastWorkerCall = std::max(lastWorkerCall, c.seq);
    EXPECT_GT(enums.back().seq, lastWorkerCall);
    EXPECT_EQ(layer->offThreadCalls, 0);
}

TEST_F(ToolFake, ClosingDuringARunWaitsForItsEndBeforeFreeingTheCameras) {
    for (int i = 0; i < 3; ++i) {
        Camera c = cam();
        c.writeDelayUs = 100;
        Sdk::get().addCamera(c);
    }
    Sdk::get().setImage(makeImage(16384));
    openWindow();
    dlg->OnBnClickedButtonUpgradeFwMp();
    closeWindow();
    const auto frees = calls("FreeDevs");
    ASSERT_EQ(frees.size(), 1u);
    for (const auto& c : Sdk::get().calls()) {
        if (c.fn == "ExtRomWrite" || c.fn == "ExtRomWriteEnable") {
            EXPECT_LT(c.seq, frees[0].seq);
        }
    }
    EXPECT_EQ(calls("ExtRomWriteEnable").size(), 6u);  // every worker ended its run
}

TEST_F(ToolFake, ResettingCountsAsRunningUntilTheResetsAreDone) {
    writeIni("[SETTING]\nReset=1\n");
    for (int i = 0; i < 2; ++i) Sdk::get().addCamera(cam());
    Sdk::get().setImage(makeImage(4096));
    openWindow();
    dlg->OnBnClickedButtonUpgradeFwMp();
    closeWindow();
    const auto frees = calls("FreeDevs");
    const auto resets = calls("DeviceReset");
    ASSERT_EQ(resets.size(), 2u);
    ASSERT_EQ(frees.size(), 1u);
    EXPECT_LT(resets.back().seq, frees[0].seq);
}

TEST_F(ToolFake, ARunWithoutCamerasIsRefused) {
    writeIni("[SETTING]\nFlashSectorFeature=0\n");
    Sdk::get().setImage(makeImage(4096, "\xFF\xFF"));
    openWindow();
    const auto s = runUpgrade();
    EXPECT_TRUE(s.bRefused);
    EXPECT_TRUE(dlg->IsRunIdle());
}

}  // namespace
}  // namespace lumo::tool::test
