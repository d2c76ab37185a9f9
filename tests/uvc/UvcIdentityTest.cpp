// Identity: instance and hardware IDs, VID/PID, release number, property-page values.
#include <gtest/gtest.h>

#include "sdk/uvc/UvcDev.h"
#include "sdk/uvc/UvcIdentity.h"
#include "tests/uvc/FakeDeviceWorld.h"
#include "tests/uvc/TraceCapture.h"

using namespace lumo::os;
using lumo::uvc::ParseBcdDevice;
using lumo::uvc::ParseVidPid;

namespace {

std::wstring Filter(const std::wstring& id) {
    std::vector<wchar_t> buf(id.begin(), id.end());
    buf.push_back(L'\0');
    std::vector<wchar_t> out(buf.size() + 1, L'\0');
    FilterHardwareID(buf.data(), out.data());
    return out.data();
}

TEST(UvcIdentity, FilterHardwareIdCutsTheThirdPart) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"USB\\VID_1234&PID_5678&MI_00\\6&1a2b3c4d&0&0000", L"6&1a2b3c4d&0&0000"},
        {L"USB\\\\VID_1234\\\\6&AB&0&0000\\EXTRA", L"6&AB&0&0000"},  // runs of separators count once
        {L"\\USB\\VID\\PART", L"PART"},
        {L"USB\\VID_1234&PID_5678", L""},  // two parts: nothing copied
        {L"USB\\VID_1234\\", L""},
        {L"", L""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(Filter(in), out) << std::string(in.begin(), in.end());
}

TEST(UvcIdentity, VidPidParse) {
    struct Case {
        const wchar_t* text;
        bool found;
        std::uint16_t vid, pid;
    };
    const Case cases[] = {
        {L"VID_1234&PID_5678", true, 0x1234, 0x5678},
        {L"VID_0C45&PID_6366", true, 0x0C45, 0x6366},
        {L"VID_12345&PID_1", true, 0x2345, 0x0001},    // low 16 bits
        {L"VID_12G4&PID_5678", true, 0x0012, 0x5678},  // up to the first non-hex character
        {L"VID_1234", false, 0, 0},
        {L"PID_5678", false, 0, 0},
        {L"", false, 0, 0},
        {L"VID_&PID_5678", false, 0, 0},  // no digits: no value
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.text).size());
        const auto v = ParseVidPid(c.text);
        ASSERT_EQ(v.has_value(), c.found);
        if (c.found) {
            EXPECT_EQ(v->vid, c.vid);
            EXPECT_EQ(v->pid, c.pid);
        }
    }
}

TEST(UvcIdentity, CutVidPidFromThePath) {
    EXPECT_EQ(lumo::uvc::CutVidPid(L"\\\\?\\USB#VID_1234&PID_5678&MI_00#6&1A#{X}"), L"VID_1234&PID_5678");
    EXPECT_EQ(lumo::uvc::CutVidPid(L"\\\\?\\ROOT#IMAGE#0000"), L"");
    EXPECT_EQ(lumo::uvc::CutVidPid(L"X#VID_12"), L"VID_12");
}

TEST(UvcIdentity, ReleaseNumberFromTheFirstHardwareId) {
    using namespace std::string_literals;
    const std::pair<std::wstring, std::optional<std::uint16_t>> cases[] = {
        {L"USB\\VID_1234&PID_5678&REV_0100&MI_00\0USB\\VID_1234&PID_5678&MI_00\0\0"s, 0x0100},
        {L"usb\\vid_1234&pid_5678&rev_01ab&mi_00\0\0"s, 0x01AB},
        {L"USB\\VID_1234&PID_5678&MI_00\0USB\\VID_1234&PID_5678&REV_0200\0\0"s, std::nullopt},  // only the first
        {L"USB\\VID_1234&PID_5678&REV_\0\0"s, std::nullopt},
        {L""s, std::nullopt},
    };
    for (const auto& [list, rev] : cases) EXPECT_EQ(ParseBcdDevice(list), rev);
}

const Guid kImageClass = guids::kImageSetupClass;
const Guid kOtherClass{0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};

class UvcSetupDi : public ::testing::Test {
protected:
    void SetUp() override {
        world = std::make_shared<fake::FakeWorld>();
        installDeviceWorld(world);
        dev.m_szDevPath =
            L"\\\\?\\USB#VID_1234&PID_5678&MI_00#6&1A2B3C4D&0&0000#{65E8773D-8F56-11D0-A3B9-00A0C9223196}";
    }
    void TearDown() override { installDeviceWorld(nullptr); }
    std::shared_ptr<fake::FakeWorld> world;
    CUvcDev dev;
};

TEST_F(UvcSetupDi, FindsTheCameraByItsInstanceIdInAnyImageClass) {
    world->imageClasses = {kOtherClass, kImageClass};
    world->devices[kOtherClass.toString()] = {{L"USB\\VID_9999&PID_0001\\7&FFFF&0&0000", {L"USB\\VID_9999&REV_0001"}}};
    world->devices[kImageClass.toString()] = {
        {L"USB\\VID_1234&PID_5678\\5&99&0&1", {L"nope"}},
        {L"USB\\VID_1234&PID_5678&MI_00\\6&1a2b3c4d&0&0000",
         {L"USB\\VID_1234&PID_5678&REV_0100&MI_00", L"USB\\VID_1234&PID_5678&MI_00"}},
    };
    std::wstring ids;
    ASSERT_EQ(dev.SetupDiGetDevice(&ids), 1);
    EXPECT_EQ(ids.size(), 260u);
    EXPECT_EQ(std::wstring(ids.c_str()), L"USB\\VID_1234&PID_5678&REV_0100&MI_00");
    EXPECT_EQ(ParseBcdDevice(ids), 0x0100);
    for (auto flags : world->classDevsFlags) EXPECT_EQ(flags, 0x0Au);
}

TEST_F(UvcSetupDi, FailsWithoutAMatchOrClass) {
    std::wstring ids = L"unchanged";
    EXPECT_EQ(dev.SetupDiGetDevice(&ids), 0);  // no "Image" class
    world->imageClasses = {kImageClass};
    world->devices[kImageClass.toString()] = {{L"USB\\VID_1234&PID_5678\\6&1A2B3C4E&0&0000", {L"X"}},
                                              {L"USB\\VID_1234", {L"Y"}}};
    EXPECT_EQ(dev.SetupDiGetDevice(&ids), 0);
    // a hardware ID list longer than the 520-byte buffer cannot be read
    world->devices[kImageClass.toString()] = {{L"USB\\V\\6&1A2B3C4D&0&0000", {std::wstring(300, L'A')}}};
    EXPECT_EQ(dev.SetupDiGetDevice(&ids), 0);
    EXPECT_EQ(ids, L"unchanged");
}

class UvcPropertyPages : public ::testing::Test {
protected:
    void SetUp() override {
        filter = std::make_shared<fake::FakeFilter>();
        filter->procAmp = std::make_shared<fake::FakeControls>();
        filter->cameraControl = std::make_shared<fake::FakeControls>();
        // every property id answers with values derived from it
        for (std::int32_t id = 0; id < 20; ++id) {
            const fake::FakeControls::Control c{-id, 100 + id, 1, id, 3, 0x100 + id, 2};
            filter->procAmp->controls[id] = c;
            filter->cameraControl->controls[id] = c;
        }
        dev.m_pBaseFilter = filter;
        for (auto& r : pu) r = {1, 7, 7, 7, 7, 7, 7};
        for (auto& r : ct) r = {1, 7, 7, 7, 7, 7, 7};
    }
    std::shared_ptr<fake::FakeFilter> filter;
    TraceCapture trace;
    CUvcDev dev;
    PropPageCtrl pu[13];
    PropPageCtrl ct[8];
};

TEST_F(UvcPropertyPages, SlotsReadTheirPropertyIds) {
    ASSERT_EQ(dev.QueryPropertyPages(pu, ct), 1);
    // order of reads and property id per slot; slots 10 and 11 are reserved
    EXPECT_EQ(filter->procAmp->getQueries, (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 7, 9, 8, 13, 6}));
    EXPECT_EQ(filter->procAmp->rangeQueries, filter->procAmp->getQueries);
    EXPECT_EQ(filter->cameraControl->getQueries, (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6, 19}));
    const int puIds[13] = {0, 1, 2, 3, 4, 5, 7, 9, 8, 13, -1, -1, 6};
    for (int s = 0; s < 13; ++s) {
        SCOPED_TRACE(s);
        const auto& r = dev.m_ProcessingUnit[s];
        if (puIds[s] < 0) {
            EXPECT_EQ(r.Val, 7);
            EXPECT_EQ(r.Min, 7);
            continue;
        }
        EXPECT_EQ(r.Min, -puIds[s]);
        EXPECT_EQ(r.Max, 100 + puIds[s]);
        EXPECT_EQ(r.Default, puIds[s]);
        EXPECT_EQ(r.Val, 0x100 + puIds[s]);
        EXPECT_EQ(r.Flags, 2);  // current flags overwrite the capability flags
    }
    EXPECT_EQ(dev.m_CameraTerminal[7].Val, 0x100 + 19);
    EXPECT_TRUE(trace.has("m_ProcessingUnit[POWER_LINE_FREQENCY].Val=10d"));
    EXPECT_TRUE(trace.has("m_ProcessingUnit[COLOR_ENABLE].Val=106"));
    EXPECT_TRUE(trace.has("m_CameraTerminal[AUTO_EXPOSURE_PRIORITY].Val=113"));
}

TEST_F(UvcPropertyPages, OnlyEnableOneIsRead) {
    pu[0].Enable = 2;
    pu[1].Enable = 0;
    pu[10].Enable = 1;
    ct[3].Enable = -1;
    for (int s = 4; s < 8; ++s) ct[s].Enable = 0;
    ASSERT_EQ(dev.QueryPropertyPages(pu, ct), 1);
    EXPECT_EQ(filter->procAmp->getQueries, (std::vector<std::int32_t>{2, 3, 4, 5, 7, 9, 8, 13, 6}));
    EXPECT_EQ(filter->cameraControl->getQueries, (std::vector<std::int32_t>{0, 1, 2}));
    // records not read are copied in whole
    EXPECT_EQ(dev.m_ProcessingUnit[0].Enable, 2);
    EXPECT_EQ(dev.m_ProcessingUnit[0].Val, 7);
    EXPECT_EQ(dev.m_CameraTerminal[3].Enable, -1);
    EXPECT_EQ(dev.m_CameraTerminal[3].Max, 7);
}

TEST_F(UvcPropertyPages, FailedGetKeepsTheCallersValue) {
    filter->procAmp->controls[0].getResult = E_FAIL;
    filter->procAmp->controls[1].getResult = S_FALSE;
    ASSERT_EQ(dev.QueryPropertyPages(pu, ct), 1);
    EXPECT_EQ(dev.m_ProcessingUnit[0].Val, 7);
    EXPECT_EQ(dev.m_ProcessingUnit[0].Max, 100);  // the range was written
    EXPECT_EQ(dev.m_ProcessingUnit[0].Flags, 3);
}

TEST_F(UvcPropertyPages, MissingInterfaceFailsBeforeAnyCopy) {
    for (int which = 0; which < 2; ++which) {
        SCOPED_TRACE(which);
        SetUp();
        (which == 0 ? filter->procAmp : filter->cameraControl).reset();
        EXPECT_EQ(dev.QueryPropertyPages(pu, ct), 0);
        EXPECT_TRUE(trace.has("QueryPropertyPages FAILED.XXXXXXXXXX"));
        EXPECT_EQ(dev.m_ProcessingUnit[0].Enable, 0);
        EXPECT_EQ(dev.m_CameraTerminal[0].Enable, 0);
    }
}

}  // namespace
