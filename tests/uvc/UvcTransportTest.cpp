// Transport: driver mode, open, the request blocks of both modes and the completion wait.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "sdk/uvc/UvcDev.h"
#include "tests/uvc/FakeDeviceWorld.h"
#include "tests/uvc/TraceCapture.h"

using namespace lumo::os;

namespace {

const std::wstring kPath =
    L"\\\\?\\USB#VID_1234&PID_5678&MI_00#6&1A2B3C4D&0&0000#{65E8773D-8F56-11D0-A3B9-00A0C9223196}\\GLOBAL";

std::vector<std::uint8_t> GuidBytes(const Guid& g) {
    const auto b = g.toBytes();
    return {b.begin(), b.end()};
}

std::vector<std::uint8_t> Le32(std::uint32_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<std::uint8_t> Pattern(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(seed + i);
    return v;
}

using Op = std::int32_t (CUvcDev::*)(std::uint8_t, std::uint8_t*, std::uint32_t, std::uint32_t*);

class UvcTransport : public ::testing::Test {
protected:
    void SetUp() override {
        world = std::make_shared<fake::FakeWorld>();
        world->knownPaths[kPath] = 1;
        installDeviceWorld(world);
        clk = std::make_shared<fake::RecordingClock>();
        installClock(clk);
        filter = std::make_shared<fake::FakeFilter>();
        filter->propertySet = std::make_shared<fake::FakePropertySet>();
        dev.m_pBaseFilter = filter;
        dev.m_szDevPath = kPath;
    }
    void TearDown() override {
        installDeviceWorld(nullptr);
        installClock(nullptr);
    }
    // The device object after enumeration in the given mode, both handles held.
    void Open(std::uint32_t mode, std::uint32_t xuNode = 4) {
        ASSERT_EQ(dev.AcquireIoHandle(), 1);
        dev.m_eDriver = mode;
        dev.m_dwXuNodeId = xuNode;
        clk->sleeps.clear();
    }
    std::shared_ptr<fake::FakeWorld> world;
    std::shared_ptr<fake::RecordingClock> clk;
    std::shared_ptr<fake::FakeFilter> filter;
    TraceCapture trace;
    CUvcDev dev;
};

struct BlockCase {
    const char* name;
    Op op;
    bool set;
    bool h264;
};

const BlockCase kBlockCases[] = {
    {"vendor set", &CUvcDev::SetExtensionProperty, true, false},
    {"vendor get", &CUvcDev::GetExtensionProperty, false, false},
    {"h264 set", &CUvcDev::SetH264ExtensionProperty, true, true},
    {"h264 get", &CUvcDev::GetH264ExtensionProperty, false, true},
};

TEST_F(UvcTransport, ClassDriverModeSendsTheNodeRequestAndTheCallersData) {
    Open(INBOX_UVC, 4);
    world->io->reply = Pattern(8, 0xA0);
    for (const auto& c : kBlockCases) {
        SCOPED_TRACE(c.name);
        world->io->requests.clear();
        auto data = Pattern(8, 0x10);
        std::uint32_t returned = 0;
        ASSERT_EQ((dev.*c.op)(0x06, data.data(), 8, &returned), 1);
        ASSERT_EQ(world->io->requests.size(), 1u);
        const auto& r = world->io->requests[0];
        EXPECT_EQ(r.code, IOCTL_KS_PROPERTY);
        const auto expected = Cat({GuidBytes(c.h264 ? guids::kH264Xu : guids::kVendorXu), Le32(0x06),
                                   Le32(c.set ? 0x10000002 : 0x10000001),
                                   Le32(c.h264 ? 1 : 4),  // H.264 always at node 1
                                   Le32(0)});
        EXPECT_EQ(r.in, expected);
        EXPECT_EQ(r.outLength, 8u);
        EXPECT_EQ(r.outAtCall, Pattern(8, 0x10));  // the caller's data is the output buffer
        EXPECT_EQ(returned, 8u);
    }
    EXPECT_TRUE(clk->sleeps.empty());  // completed at once: no wait, no pause
    EXPECT_EQ(world->io->waits, 0);
}

struct PropSetCase {
    std::uint32_t length;
    std::uint32_t blockLength;
};

// 32 data bytes fit the fixed 56-byte block; longer data (35-byte sequence blocks) grows it.
const PropSetCase kPropSetLengths[] = {{1, 56}, {8, 56}, {32, 56}, {35, 59}, {200, 224}};

TEST_F(UvcTransport, PropertySetModeBlockCarriesTheWholeData) {
    Open(TAVIX_AVStream);
    auto& ps = *filter->propertySet;
    for (const auto& c : kBlockCases) {
        for (const auto& len : kPropSetLengths) {
            SCOPED_TRACE(std::string(c.name) + " length " + std::to_string(len.length));
            ps.calls.clear();
            ps.reply = Pattern(len.length + 8, 0xC0);  // more than asked for
            std::vector<std::uint8_t> data = Pattern(len.length, 0x20);
            data.resize(len.length + 4, 0xEE);  // guard bytes behind the caller's length
            std::uint32_t returned = 0;
            ASSERT_EQ((dev.*c.op)(0x06, data.data(), len.length, &returned), 1);
            ASSERT_EQ(ps.calls.size(), 1u);
            const auto& call = ps.calls[0];
            EXPECT_EQ(call.set, c.set);
            EXPECT_EQ(call.propSet, c.h264 ? guids::kH264Xu : guids::kVendorXu);
            EXPECT_EQ(call.id, 0x06u);
            EXPECT_EQ(call.instance.size(), 32u);
            EXPECT_TRUE(call.instanceInsideProperty);
            EXPECT_EQ(call.instanceOffset, 24);
            ASSERT_EQ(call.property.size(), len.blockLength);
            const auto header =
                Cat({GuidBytes(c.h264 ? guids::kH264Xu : guids::kVendorXu), Le32(0x06), Le32(c.set ? 2 : 1)});
            EXPECT_TRUE(std::equal(header.begin(), header.end(), call.property.begin()));
            std::vector<std::uint8_t> area(call.property.begin() + 24, call.property.end());
            if (c.set) {
                auto expected = Pattern(len.length, 0x20);
                expected.resize(len.blockLength - 24, 0);
                EXPECT_EQ(area, expected);
                EXPECT_EQ(data[len.length], 0xEE);
            } else {
                // exactly length bytes come back from offset 24
                auto expected = Pattern(len.length, 0xC0);
                expected.resize(len.length + 4, 0xEE);
                EXPECT_EQ(data, expected);
            }
        }
    }
}

TEST_F(UvcTransport, ModeZeroUsesThePropertySet) {
    Open(DRIVER_NA);
    std::uint8_t data[8] = {};
    EXPECT_EQ(dev.SetExtensionProperty(0x0A, data, 8, nullptr), 1);
    EXPECT_EQ(filter->propertySet->calls.size(), 1u);
    EXPECT_TRUE(world->io->requests.empty());
}

TEST_F(UvcTransport, RequestWithoutTheModesHandleFailsAndSendsNothing) {
    Open(INBOX_UVC);
    dev.m_hDev.reset();
    std::uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(dev.GetExtensionProperty(0x0A, data, 8, nullptr), 0);
    EXPECT_EQ(dev.SetH264ExtensionProperty(0x01, data, 8, nullptr), 0);
    EXPECT_TRUE(trace.has("m_hDev REQUIRED.XXXXXXXXXX"));
    EXPECT_TRUE(world->io->requests.empty());
    EXPECT_TRUE(filter->propertySet->calls.empty());

    dev.m_eDriver = TAVIX_AVStream;
    dev.m_pKsPropertySet.reset();
    EXPECT_EQ(dev.GetExtensionProperty(0x0A, data, 8, nullptr), 0);
    EXPECT_TRUE(trace.has("m_pKsPropertySet REQUIRED.XXXXXXXXXX"));
    EXPECT_TRUE(filter->propertySet->calls.empty());
    EXPECT_EQ(data[0], 1);
}

TEST_F(UvcTransport, PropertySetResultOtherThanSOkIsAFailureAndLeavesTheData) {
    Open(TAVIX_AVStream);
    for (HRESULT hr : {S_FALSE, E_FAIL}) {
        filter->propertySet->result = hr;
        filter->propertySet->reply = Pattern(8, 0x77);
        std::uint8_t data[8] = {9, 9, 9, 9, 9, 9, 9, 9};
        EXPECT_EQ(dev.GetExtensionProperty(0x0B, data, 8, nullptr), 0);
        EXPECT_EQ(data[0], 9);
        EXPECT_EQ(dev.SetExtensionProperty(0x0B, data, 8, nullptr), 0);
    }
}

struct CompletionCase {
    const char* name;
    fake::IoMode mode;
    std::int32_t result;
    int waits;
    int cancels;
};

const CompletionCase kCompletionCases[] = {
    {"at once", fake::IoMode::CompleteAtOnce, 1, 0, 0},
    {"failed at once", fake::IoMode::FailAtOnce, 0, 0, 0},
    {"pending, completes", fake::IoMode::PendingCompletes, 1, 1, 0},
    {"pending, completes with an error", fake::IoMode::PendingFails, 0, 1, 0},
    {"pending, times out", fake::IoMode::PendingTimesOut, 0, 1, 1},
};

TEST_F(UvcTransport, CompletionWaitAndFailurePause) {
    Open(INBOX_UVC);
    for (const auto& c : kCompletionCases) {
        SCOPED_TRACE(c.name);
        auto& io = *world->io;
        io = fake::IoState{c.mode, Pattern(4, 0x50), {}, 0, 0, 0, false, io.openHandles};
        clk->sleeps.clear();
        const int leakedBefore = fake::FakePendingIo::leakedCount();
        TraceCapture caseTrace;
        std::uint8_t data[4] = {};
        std::uint32_t returned = 0;
        EXPECT_EQ(dev.GetExtensionProperty(0x0A, data, 4, &returned), c.result);
        EXPECT_EQ(io.waits, c.waits);
        if (c.waits) {
            EXPECT_EQ(io.lastWaitMs, 2000u);
        }
        EXPECT_EQ(io.cancels, c.cancels);
        EXPECT_EQ(caseTrace.has("Timeout!!! XXXXXXXXXX"), c.cancels == 1);
        // no request outlives the call that owns its buffers
        EXPECT_FALSE(io.pendingAlive);
        EXPECT_EQ(fake::FakePendingIo::leakedCount(), leakedBefore);
        if (c.result) {
            EXPECT_TRUE(clk->sleeps.empty());
            EXPECT_EQ(data[0], 0x50);
            EXPECT_EQ(returned, 4u);
        } else {
            EXPECT_EQ(clk->sleeps, std::vector<std::uint32_t>{5});  // exactly one attempt, one pause
            EXPECT_EQ(io.requests.size(), 1u);
        }
    }
}

TEST_F(UvcTransport, AcquireOpensThePathExclusivelyAfterThePause) {
    ASSERT_EQ(dev.AcquireIoHandle(), 1);
    EXPECT_TRUE(dev.m_pKsPropertySet);
    ASSERT_TRUE(dev.m_hDev);
    ASSERT_EQ(world->opens.size(), 1u);
    EXPECT_EQ(world->opens[0].path, kPath);
    EXPECT_EQ(world->opens[0].access, 0xC0000000u);
    EXPECT_EQ(world->opens[0].share, 0u);
    EXPECT_EQ(world->opens[0].flags, 0x40000080u);
    EXPECT_EQ(clk->sleeps, std::vector<std::uint32_t>{300});

    // again on an open object: releases, then reacquires both
    ASSERT_EQ(dev.AcquireIoHandle(), 1);
    EXPECT_EQ(world->io->openHandles, 1);
    dev.ReleaseIoHandle();
    EXPECT_FALSE(dev.m_hDev);
    EXPECT_FALSE(dev.m_pKsPropertySet);
    EXPECT_EQ(world->io->openHandles, 0);
}

TEST_F(UvcTransport, AcquireRefusedWhileThePathIsHeldKeepsThePropertySet) {
    world->heldPaths[kPath] = 1;
    EXPECT_EQ(dev.AcquireIoHandle(), 0);
    EXPECT_TRUE(trace.has("CreateFile(m_szDevPath) FAILED.XXXXXXXXXX"));
    EXPECT_FALSE(dev.m_hDev);
    EXPECT_TRUE(dev.m_pKsPropertySet);
}

TEST_F(UvcTransport, AcquirePreconditions) {
    Open(INBOX_UVC);
    // empty path: fails without touching the existing handles
    dev.m_szDevPath.clear();
    EXPECT_EQ(dev.AcquireIoHandle(), 0);
    EXPECT_TRUE(dev.m_hDev);
    EXPECT_TRUE(dev.m_pKsPropertySet);
    // no property set: fails after releasing both
    dev.m_szDevPath = kPath;
    filter->propertySet.reset();
    EXPECT_EQ(dev.AcquireIoHandle(), 0);
    EXPECT_FALSE(dev.m_hDev);
    EXPECT_FALSE(dev.m_pKsPropertySet);
    // no filter
    dev.m_pBaseFilter.reset();
    EXPECT_EQ(dev.AcquireIoHandle(), 0);
    EXPECT_EQ(world->opens.size(), 1u);
}

struct TopologyCase {
    const char* name;
    bool hasTopology;
    std::vector<Guid> nodes;
    std::int32_t result;
    std::uint32_t mode;
    std::uint32_t node;
};

const Guid kOther{0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
const Guid& kDev = guids::kNodeTypeDevSpecific;

TEST_F(UvcTransport, DriverTypeFromTheTopology) {
    const TopologyCase cases[] = {
        {"two device-specific nodes give the lower index", true, {kOther, kOther, kDev, kOther, kDev}, 1, INBOX_UVC, 2},
        {"node 0", true, {kDev}, 1, INBOX_UVC, 0},
        {"no device-specific node", true, {kOther, kOther}, 1, TAVIX_AVStream, 99},
        {"empty topology", true, {}, 1, TAVIX_AVStream, 99},
        {"no topology interface", false, {}, 0, DRIVER_NO_TOPOLOGY, 99},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        filter->topology = c.hasTopology ? std::make_shared<fake::FakeTopology>(c.nodes) : nullptr;
        dev.m_eDriver = DRIVER_NA;
        dev.m_dwXuNodeId = 99;
        EXPECT_EQ(dev.QueryDriverType(), c.result);
        EXPECT_EQ(dev.m_eDriver, c.mode);
        EXPECT_EQ(dev.m_dwXuNodeId, c.node);
    }
    dev.m_pBaseFilter.reset();
    dev.m_eDriver = TAVIX_AVStream;
    EXPECT_EQ(dev.QueryDriverType(), 0);
    EXPECT_EQ(dev.m_eDriver, static_cast<std::uint32_t>(TAVIX_AVStream));
}

class FakeBag final : public IPropertyBag {
public:
    HRESULT Read(const std::wstring& name, std::wstring& value) override {
        auto it = values.find(name);
        if (it == values.end()) return E_FAIL;
        value = it->second;
        return S_OK;
    }
    std::map<std::wstring, std::wstring> values;
};

TEST(UvcPropertyBag, ReadsTheThreeValuesAndUpperCasesThePath) {
    CUvcDev dev;
    FakeBag bag;
    bag.values = {{L"FriendlyName", L"Lumo Cam"},
                  {L"CLSID", L"{17CCA71B-ECD7-11D0-B908-00A0C9223196}"},
                  {L"DevicePath", L"\\\\?\\usb#vid_1234&pid_5678&mi_00#6&1a2b&0&0000#{x}\\global"}};
    EXPECT_EQ(dev.QueryPropBagParams(&bag), 1);
    EXPECT_EQ(dev.m_szFriendlyName, L"Lumo Cam");
    EXPECT_EQ(dev.m_szClsid, L"{17CCA71B-ECD7-11D0-B908-00A0C9223196}");
    EXPECT_EQ(dev.m_szDevPath, L"\\\\?\\USB#VID_1234&PID_5678&MI_00#6&1A2B&0&0000#{X}\\GLOBAL");
}

TEST(UvcPropertyBag, FailedReadKeepsTheValuesBeforeIt) {
    CUvcDev dev;
    FakeBag bag;
    bag.values = {{L"FriendlyName", L"Lumo Cam"}, {L"DevicePath", L"p"}};
    EXPECT_EQ(dev.QueryPropBagParams(&bag), 0);
    EXPECT_EQ(dev.m_szFriendlyName, L"Lumo Cam");
    EXPECT_TRUE(dev.m_szClsid.empty());
    EXPECT_TRUE(dev.m_szDevPath.empty());  // never reached
}

}  // namespace
