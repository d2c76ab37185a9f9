// The run's verdict on the stand-in of the library: the read-back after writing, the image
// buffer between runs, every camera served, results that last, the fixture's camera count,
// the bar of each run and the operator's message boxes.
#include <algorithm>
#include <cwchar>
#include <iterator>
#include <thread>

#include "platform/Guid.h"
#include "platform/MessageBox.h"
#include "tests/support/BitwiseCrc16.h"
#include "tests/tool/FakeFixture.h"
#include "tool/ControlIds.h"

namespace lumo::tool::test {
namespace {

using fake::Camera;
using fake::Sdk;
using Outcome = MP_CAMERA_RESULT::Outcome;

const auto kVideoClass = lumo::os::guids::kVideoCaptureInterfaceClass.toBytes();

// ---- verify after write ------------------------------------------------------------------

struct VerifyCase {
    const char* name;
    std::uint32_t rom;
    std::size_t imageSize;
    const char* ini;
    std::uint32_t base, written;  // what the plan writes
};

TEST_F(ToolFake, TheReadBackCoversExactlyWhatWasWrittenInFullPieces) {
    const VerifyCase cases[] = {
        {"whole-erase", 65536, 65536, "", 0, 65536},
        {"whole-erase-min", 65536, 4096, "", 0, 16416},
        {"eeprom-plain", 2048, 2000, "", 0, 2000},  // 16-byte blocks: the last one ends at 2000
        {"plain-odd", 4096, 100, "", 0, 128},       // 32-byte blocks past the image's end
        {"sector-3", 65536, 100, "FlashSectorFeature=1\nSpecificSector=3\n", 0x3000, 128},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sdk::get().reset();
        Sdk::get().addCamera(cam(c.rom));
        Sdk::get().setImage(makeImage(c.imageSize));
        writeIni(std::string("[SETTING]\n") + c.ini);
        openWindow();
        ASSERT_TRUE(dlg->VerifyOn());
        const auto s = runUpgrade();
        ASSERT_TRUE(s.bSuccess);
        const auto reads = calls("ExtRomRead");
        ASSERT_FALSE(reads.empty());
        std::uint32_t next = c.base;
        for (std::size_t i = 0; i < reads.size(); ++i) {
            EXPECT_EQ(reads[i].a, next);
            if (i + 1 < reads.size()) {
                EXPECT_EQ(reads[i].b % 32, 0u);
            }
            next += reads[i].b;
        }
        EXPECT_EQ(next, c.base + c.written);
        // after the last block, before the write protection is restored
        const auto we = calls("ExtRomWriteEnable");
        ASSERT_EQ(we.size(), 2u);
        EXPECT_GT(reads.front().seq, calls("ExtRomWrite").back().seq);
        EXPECT_LT(reads.back().seq, we[1].seq);
        closeWindow();
    }
}

struct MismatchCase {
    const char* name;
    int corruptAt, failReadAt;
    const char* reason;
    bool badAddr;
};

TEST_F(ToolFake, AReadBackThatDiffersFailsTheCameraWithTheFirstBadAddress) {
    const MismatchCase cases[] = {
        {"byte-differs", 0x1234, -1, "verify failed at 0x1234", true},
        {"read-fails", -1, 0x0800, "read-back failed at 0x0800", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sdk::get().reset();
        Sdk::get().addCamera(cam());
        Camera bad = cam();
        bad.corruptAt = c.corruptAt;
        bad.failReadAt = c.failReadAt;
        Sdk::get().addCamera(bad);
        Sdk::get().setImage(makeImage(8192));
        openWindow();
        const auto s = runUpgrade();
        EXPECT_FALSE(s.bSuccess);
        ASSERT_EQ(s.cameras.size(), 2u);
        EXPECT_EQ(s.cameras[0].eOutcome, Outcome::Ok);
        EXPECT_EQ(s.cameras[1].eOutcome, Outcome::Failed);
        EXPECT_EQ(s.cameras[1].szReason, c.reason);
        EXPECT_EQ(s.cameras[1].dwBadAddr.has_value(), c.badAddr);
        if (c.badAddr) {
            EXPECT_EQ(*s.cameras[1].dwBadAddr, 0x1234u);
        }
        EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusFailed);
        EXPECT_EQ(calls("ExtRomWriteEnable", 1).size(), 1u);  // failure end: no write disable
        closeWindow();
    }
}

TEST_F(ToolFake, VerifyZeroReadsNothingBack) {
    writeIni("[SETTING]\nVerify=0\n");
    Camera c = cam();
    c.corruptAt = 0x10;
    Sdk::get().addCamera(c);
    Sdk::get().setImage(makeImage(8192));
    openWindow();
    EXPECT_FALSE(dlg->VerifyOn());
    EXPECT_TRUE(runUpgrade().bSuccess);  // unproven, as the line asked for
    EXPECT_TRUE(calls("ExtRomRead").empty());
}

TEST_F(ToolFake, TheBarCoversWritingAndVerifyingAndStaysBelow100) {
    Camera c = cam();
    c.writeDelayUs = 20;
    Sdk::get().addCamera(c);
    Sdk::get().setImage(makeImage(65536));
    openWindow();
    ASSERT_TRUE(runUpgrade().bSuccess);
    const auto& h = layer->progressHistory;
    ASSERT_FALSE(h.empty());
    EXPECT_EQ(h.front(), 0);
    EXPECT_TRUE(std::is_sorted(h.begin(), h.end()));
    EXPECT_LE(h.back(), 99);
}

// ---- the image buffer --------------------------------------------------------------------

TEST_F(ToolFake, AShorterImageDoesNotCarryTheTailOfTheLongerOneBeforeIt) {
    Sdk::get().addCamera(cam());
    Sdk::get().setImage(makeImage(65536));
    openWindow();
    ASSERT_TRUE(runUpgrade().bSuccess);
    const auto shorter = makeImage(4096);
    Sdk::get().setImage(shorter);
    Sdk::get().log.clear();
    ASSERT_TRUE(runUpgrade().bSuccess);
    EXPECT_EQ(calls("ExtRomWrite").size(), 16416u / 32);  // the minimum of the whole-erase plan
    const auto rom = Sdk::get().cameras()[0].rom;
    EXPECT_TRUE(std::equal(shorter.begin(), shorter.end(), rom.begin()));
    EXPECT_TRUE(std::all_of(rom.begin() + 4096, rom.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

// ---- every camera served -------------------------------------------------------------------

TEST_F(ToolFake, EveryRegisteredCameraIsServedUpTo255) {
    for (int i = 0; i < 255; ++i) Sdk::get().addCamera(cam(2048));
    Sdk::get().setImage(makeImage(128));
    openWindow();
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"FF");
    const auto s = runUpgrade();
    EXPECT_TRUE(s.bSuccess);
    ASSERT_EQ(s.cameras.size(), 255u);
    for (int i = 0; i < 255; ++i) {
        EXPECT_EQ(s.cameras[static_cast<std::size_t>(i)].bDevIdx, i);
        EXPECT_EQ(s.cameras[static_cast<std::size_t>(i)].eOutcome, Outcome::Ok);
        EXPECT_EQ(calls("ExtRomWriteEnable", i).size(), 2u) << i;
    }
}

// ---- the fixture's camera count ------------------------------------------------------------

TEST_F(ToolFake, ExpectedCountRefusesAClickWithAnotherNumberOfCameras) {
    struct Case {
        const char* ini;
        bool refused;
    } cases[] = {{"ExpectedCount=3\n", true}, {"ExpectedCount=2\n", false}, {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        Sdk::get().reset();
        Sdk::get().addCamera(cam());
        Sdk::get().addCamera(cam());
        Sdk::get().setImage(makeImage(4096));
        writeIni(std::string("[SETTING]\n") + c.ini);
        openWindow();
        const auto s = runUpgrade();
        EXPECT_EQ(s.bRefused, c.refused);
        if (c.refused) {
            ASSERT_EQ(layer->boxes.size(), 1u);
            EXPECT_EQ(layer->boxes[0].text, L"ExpectedCount is 3, but 2 cameras are registered !");
            EXPECT_TRUE(calls("ExtRomWriteEnable").empty());
        } else {
            EXPECT_TRUE(s.bSuccess);
            EXPECT_TRUE(layer->boxes.empty());
        }
        closeWindow();
    }
}

// ---- results that last ----------------------------------------------------------------------

TEST_F(ToolFake, AHotPlugAfterAFailedRunKeepsTheResultsAndEmptiesTheBar) {
    Camera slow = cam();
    slow.writeDelayUs = 100;  // the bar is refreshed during the run
    Sdk::get().addCamera(slow);
    Camera bad = cam();
    bad.failWriteAt = 0x2000;
    Sdk::get().addCamera(bad);
    Sdk::get().setImage(makeImage(65536));
    openWindow();
    const auto s = runUpgrade();
    ASSERT_FALSE(s.bSuccess);
    ASSERT_GT(layer->progressPos, 0);
    ASSERT_FALSE(layer->shownResults.empty());
    const std::size_t shown = layer->shownResults.size();
    const auto& last = layer->shownResults.back();
    EXPECT_FALSE(last.bInProgress);
    EXPECT_FALSE(last.bSuccess);
    ASSERT_EQ(last.cameras.size(), 2u);
    EXPECT_EQ(last.cameras[1].eOutcome, Outcome::Failed);
    EXPECT_EQ(last.cameras[1].szReason, "write failed at 0x2000");
    EXPECT_EQ(last.cameras[0].szPlan, "whole erase");
    EXPECT_EQ(last.cameras[0].szPartNo, "TV5640");

    // A camera arrives: the window is ready for the next run, but it does not look like a
    // good one: the results stay and the bar is empty.
    Sdk::get().addCamera(cam());
    Sdk::get().notify(TAVIX_DBT_DEVICEARRIVAL, kVideoClass.data(), Sdk::get().attached[2].path);
    layer->Pump();
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), L"3");
    EXPECT_EQ(layer->progressPos, 0);
    EXPECT_EQ(layer->shownResults.size(), shown);
    EXPECT_FALSE(dlg->LastRun()->bSuccess);

    // The next run starts with its own list.
    Sdk::get().devs[1].failWriteAt = -1;
    const auto again = runUpgrade();
    EXPECT_TRUE(again.bSuccess);
    ASSERT_EQ(layer->shownResults.size(), shown + 2);
    EXPECT_TRUE(layer->shownResults[shown].bInProgress);
    EXPECT_EQ(layer->shownResults[shown].cameras.size(), 3u);
    EXPECT_TRUE(layer->shownResults.back().bSuccess);
}

TEST_F(ToolFake, EachRunsBarStartsAtZero) {
    Sdk::get().addCamera(cam());
    Camera bad = cam();
    bad.writeEnableOk = false;  // fails at once, the other camera goes on to the end
    Sdk::get().addCamera(bad);
    Sdk::get().setImage(makeImage(65536));
    openWindow();
    ASSERT_FALSE(runUpgrade().bSuccess);
    ASSERT_GT(dlg->ProgressPos(), 0);
    // A run in which no camera gets far enough to move the bar.
    Sdk::get().devs[0].writeEnableOk = false;
    ASSERT_FALSE(runUpgrade().bSuccess);
    EXPECT_EQ(dlg->ProgressPos(), 0);
    EXPECT_EQ(layer->progressPos, 0);
}

TEST_F(ToolFake, TheImagesCrc16IsShownBesideItsNameOnceLoaded) {
    writeIni("[SETTING]\nBinFile=fw.bin\n");
    Sdk::get().addCamera(cam());
    const auto img = makeImage(4096);
    Sdk::get().setImage(img);
    openWindow();
    EXPECT_EQ(text(IDC_EDIT_BINFILE), L"fw.bin");
    ASSERT_TRUE(runUpgrade().bSuccess);
    wchar_t expected[64];
    std::swprintf(expected, 64, L"fw.bin  CRC16 0x%04X", lumo::test::bitwiseCrc16(img.data(), img.size()));
    EXPECT_EQ(text(IDC_EDIT_BINFILE), expected);
}

// ---- the operator's message boxes ----------------------------------------------------------

TEST_F(ToolFake, TheTracesWriteFileFailReachesTheOperator) {
    Sdk::get().addCamera(cam());
    openWindow();
    // As the trace facility asks for it, from a worker's thread.
    std::thread([] {
        for (int i = 0; i < 3; ++i)
            lumo::os::MessageBox(0, L"WriteFile Fail", L"xtracing_output_debug_string::operator",
                                 lumo::os::MB_OK | lumo::os::MB_ICONSTOP);
    }).join();
    layer->Pump();
    ASSERT_EQ(layer->boxes.size(), 1u);  // one box for a burst of failures
    EXPECT_EQ(layer->boxes[0].text, L"WriteFile Fail");
    EXPECT_EQ(layer->boxes[0].icon, MsgIcon::Stop);
    lumo::os::MessageBox(0, L"WriteFile Fail", L"caption", lumo::os::MB_OK);
    layer->Pump();
    EXPECT_EQ(layer->boxes.size(), 2u);
    closeWindow();
    lumo::os::MessageBox(0, L"WriteFile Fail", L"caption", lumo::os::MB_OK);  // no window: no box
}

}  // namespace
}  // namespace lumo::tool::test
