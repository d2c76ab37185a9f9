#include <gtest/gtest.h>

#include "FakeLinux.h"
#include "platform/linux/ErrnoStatus.h"
#include "platform/linux/LinuxWorld.h"
#include "platform/linux/V4l2ControlValues.h"

namespace lumo::os::linuxworld {
namespace {

using namespace testing;

// One camera with the vendor unit at id 4 and the H.264 unit at id 6.
class RequestTranslation : public ::testing::Test {
protected:
    void SetUp() override {
        FakeSysfs::Camera c;
        c.descriptors = cameraDescriptors({{4, guids::kVendorXu}, {6, guids::kH264Xu}});
        tree.addNode(c, "video0", 0);
        FakeCamera cam;
        cam.xu[{4, 0x06}] = std::vector<std::uint8_t>(35, 0);
        cam.xu[{4, 0x0A}] = {0x11, 0x22};
        cam.xu[{6, 0x01}] = std::vector<std::uint8_t>(4, 0);
        io->cameras[tree.devNode("video0")] = cam;
        world = std::make_unique<CLinuxWorld>(LinuxWorldConfig{tree.sysRoot(), tree.devRoot(), io, false});
        std::shared_ptr<IEnumMoniker> walk;
        ASSERT_EQ(world->CreateClassEnumerator(guids::kVideoInputDeviceCategory, &walk), S_OK);
        std::shared_ptr<IMoniker> moniker;
        ASSERT_EQ(walk->Next(&moniker), S_OK);
        std::shared_ptr<IPropertyBag> bag;
        moniker->BindToStorage(&bag);
        bag->Read(L"DevicePath", path);
        ASSERT_EQ(moniker->BindToObject(&filter), S_OK);
    }
    FakeCamera& cam() { return io->cameras[tree.devNode("video0")]; }
    std::unique_ptr<IDeviceHandle> open(std::uint32_t* err) {
        std::wstring upper = path;
        for (auto& ch : upper) ch = static_cast<wchar_t>(std::towupper(ch));  // the library upper-cases
        return world->CreateFile(upper, 0xC0000000, 0, 0x40000080, err);
    }
    static std::array<std::uint8_t, 32> nodeRequest(const Guid& set, std::uint32_t id, std::uint32_t flags,
                                                    std::uint32_t node) {
        std::array<std::uint8_t, 32> r{};
        const auto g = set.toBytes();
        std::copy(g.begin(), g.end(), r.begin());
        for (int i = 0; i < 4; ++i) {
            r[16 + i] = static_cast<std::uint8_t>(id >> (8 * i));
            r[20 + i] = static_cast<std::uint8_t>(flags >> (8 * i));
            r[24 + i] = static_cast<std::uint8_t>(node >> (8 * i));
        }
        return r;
    }

    FakeSysfs tree;
    std::shared_ptr<FakeVideoIo> io = std::make_shared<FakeVideoIo>();
    std::unique_ptr<CLinuxWorld> world;
    std::wstring path;
    std::shared_ptr<ICaptureFilter> filter;
};

TEST_F(RequestTranslation, NodeRequestBecomesControlQueryOnTheUnitOfItsGuid) {
    std::uint32_t err = 0;
    auto h = open(&err);
    ASSERT_TRUE(h) << err;
    std::vector<std::uint8_t> block(35, 0);
    block[0] = 0x88;
    block[1] = 0x12;
    // node id 9 is whatever the caller counted; the GUID picks unit 4
    auto set = nodeRequest(guids::kVendorXu, 0x06, 0x10000002, 9);
    std::uint32_t returned = 0;
    ASSERT_TRUE(h->DeviceIoControl(IOCTL_KS_PROPERTY, set.data(), 32, block.data(), 35, &returned, nullptr, &err));
    EXPECT_EQ(returned, 35u);
    ASSERT_EQ(io->calls.size(), 1u);
    EXPECT_EQ(io->calls[0].unit, 4);
    EXPECT_EQ(io->calls[0].selector, 0x06);
    EXPECT_EQ(io->calls[0].query, UVC_SET_CUR);
    EXPECT_EQ(io->calls[0].size, 35);
    EXPECT_EQ(io->calls[0].data, block);

    auto get = nodeRequest(guids::kH264Xu, 0x01, 0x10000001, 1);
    cam().xu[{6, 0x01}] = {1, 2, 3, 4};
    std::uint8_t reply[4] = {};
    ASSERT_TRUE(h->DeviceIoControl(IOCTL_KS_PROPERTY, get.data(), 32, reply, 4, &returned, nullptr, &err));
    EXPECT_EQ(io->calls.back().unit, 6);
    EXPECT_EQ(io->calls.back().query, UVC_GET_CUR);
    EXPECT_EQ(reply[3], 4);
}

TEST_F(RequestTranslation, FailuresCarryAWin32Error) {
    std::uint32_t err = 0;
    auto h = open(&err);
    ASSERT_TRUE(h);
    std::uint8_t data[35] = {};
    std::uint32_t returned = 0;
    struct Case {
        const char* name;
        Guid set;
        std::uint32_t id, flags, length;
        std::uint32_t code;
        std::uint32_t expected;
    };
    const Guid other{0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
    const Case cases[] = {
        {"unknown property set", other, 0x06, 0x10000001, 35, IOCTL_KS_PROPERTY, ERROR_SET_NOT_FOUND},
        {"unknown selector", guids::kVendorXu, 0x30, 0x10000001, 35, IOCTL_KS_PROPERTY, ERROR_NOT_FOUND},
        {"size differs from GET_LEN", guids::kVendorXu, 0x0A, 0x10000001, 35, IOCTL_KS_PROPERTY,
         ERROR_INSUFFICIENT_BUFFER},
        {"basic support not offered", guids::kVendorXu, 0x0A, 0x10000200, 2, IOCTL_KS_PROPERTY, ERROR_NOT_SUPPORTED},
        {"other control code", guids::kVendorXu, 0x0A, 0x10000001, 2, 0x12345, ERROR_NOT_SUPPORTED},
        {"zero length", guids::kVendorXu, 0x0A, 0x10000001, 0, IOCTL_KS_PROPERTY, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = nodeRequest(c.set, c.id, c.flags, 0);
        err = 0;
        EXPECT_FALSE(h->DeviceIoControl(c.code, r.data(), 32, data, c.length, &returned, nullptr, &err));
        EXPECT_EQ(err, c.expected);
    }
    auto r = nodeRequest(guids::kVendorXu, 0x0A, 0x10000001, 0);
    EXPECT_FALSE(h->DeviceIoControl(IOCTL_KS_PROPERTY, r.data(), 16, data, 2, &returned, nullptr, &err));
    EXPECT_EQ(err, ERROR_INVALID_PARAMETER);
}

TEST(ErrnoStatus, MapsDriverErrors) {
    const std::pair<int, std::uint32_t> ioctlCases[] = {
        {ENOENT, ERROR_NOT_FOUND},      {ENOBUFS, ERROR_INSUFFICIENT_BUFFER}, {EIO, ERROR_GEN_FAILURE},
        {EPIPE, ERROR_GEN_FAILURE},     {ENODEV, ERROR_DEVICE_NOT_CONNECTED}, {EACCES, ERROR_ACCESS_DENIED},
        {ETIMEDOUT, ERROR_SEM_TIMEOUT}, {EINVAL, ERROR_INVALID_PARAMETER},    {EBUSY, ERROR_BUSY},
    };
    for (const auto& [e, code] : ioctlCases) EXPECT_EQ(ioctlErrnoToError(e), code) << e;
    EXPECT_EQ(openErrnoToError(ENOENT), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(openErrnoToError(EACCES), ERROR_ACCESS_DENIED);
    EXPECT_EQ(openErrnoToError(EBUSY), ERROR_SHARING_VIOLATION);
}

TEST_F(RequestTranslation, DriverErrnoReachesTheCaller) {
    std::uint32_t err = 0;
    auto h = open(&err);
    ASSERT_TRUE(h);
    cam().failErrno = EPIPE;  // the camera stalled the request
    std::uint8_t data[2] = {};
    auto r = nodeRequest(guids::kVendorXu, 0x0A, 0x10000001, 0);
    std::uint32_t returned = 7;
    EXPECT_FALSE(h->DeviceIoControl(IOCTL_KS_PROPERTY, r.data(), 32, data, 2, &returned, nullptr, &err));
    EXPECT_EQ(err, ERROR_GEN_FAILURE);
    EXPECT_EQ(returned, 0u);
}

TEST_F(RequestTranslation, ExclusiveOpenKeepsASecondOpenOut) {
    std::uint32_t err = 0;
    auto first = open(&err);
    ASSERT_TRUE(first);
    auto second = open(&err);
    EXPECT_FALSE(second);
    EXPECT_EQ(err, ERROR_SHARING_VIOLATION);
    first.reset();  // closing releases the lock
    auto third = open(&err);
    EXPECT_TRUE(third);
}

TEST_F(RequestTranslation, UnknownPathIsNotFound) {
    std::uint32_t err = 0;
    EXPECT_FALSE(
        world->CreateFile(L"\\\\?\\USB#VID_FFFF&PID_FFFF&MI_00#X#{65E8773D-8F56-11D0-A3B9-00A0C9223196}\\GLOBAL",
                          0xC0000000, 0, 0, &err));
    EXPECT_EQ(err, ERROR_FILE_NOT_FOUND);
}

TEST_F(RequestTranslation, PropertySetTransfersTheControlsOwnLength) {
    std::shared_ptr<IKsPropertySet> ps;
    ASSERT_EQ(filter->QueryPropertySet(&ps), S_OK);
    // 56-byte block: a 2-byte control takes the first two bytes of the 32-byte area
    std::uint8_t block[56] = {};
    std::uint32_t returned = 0;
    ASSERT_EQ(ps->Get(guids::kVendorXu, 0x0A, block + 24, 32, block, 56, &returned), S_OK);
    EXPECT_EQ(block[24], 0x11);
    EXPECT_EQ(block[25], 0x22);
    EXPECT_EQ(block[26], 0);
    ASSERT_GE(io->calls.size(), 2u);
    EXPECT_EQ(io->calls[0].query, UVC_GET_LEN);
    EXPECT_EQ(io->calls.back().size, 2);

    // a 35-byte sequence block grows the property to 24 + 35
    std::vector<std::uint8_t> big(59, 0);
    big[24] = 0x81;
    big[58] = 0x5A;
    ASSERT_EQ(ps->Set(guids::kVendorXu, 0x06, big.data() + 24, 32, big.data(), 59), S_OK);
    EXPECT_EQ(io->calls.back().size, 35);
    EXPECT_EQ(io->calls.back().data[34], 0x5A);
    // a 56-byte block cannot carry a 35-byte control
    std::uint8_t small[56] = {};
    EXPECT_EQ(ps->Set(guids::kVendorXu, 0x06, small + 24, 32, small, 56), hresultFromError(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(RequestTranslation, PropertySetFailuresLeaveTheBlockAndReportAStatus) {
    std::shared_ptr<IKsPropertySet> ps;
    ASSERT_EQ(filter->QueryPropertySet(&ps), S_OK);
    std::uint8_t block[56];
    std::memset(block, 0xEE, sizeof block);
    std::uint32_t returned = 0;
    const Guid other{0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
    EXPECT_EQ(ps->Get(other, 0x0A, block + 24, 32, block, 56, &returned), hresultFromError(ERROR_SET_NOT_FOUND));
    ASSERT_EQ(ps->Get(guids::kVendorXu, 0x0A, block + 24, 32, block, 56, &returned), S_OK);  // GET_LEN now cached
    std::memset(block, 0xEE, sizeof block);
    cam().failErrno = EIO;
    EXPECT_EQ(ps->Get(guids::kVendorXu, 0x0A, block + 24, 32, block, 56, &returned),
              hresultFromError(ERROR_GEN_FAILURE));
    EXPECT_EQ(block[24], 0xEE);
}

TEST_F(RequestTranslation, PropertyPageValuesComeFromV4l2Controls) {
    v4l2_queryctrl wb{};
    wb.id = V4L2_CID_WHITE_BALANCE_TEMPERATURE;
    wb.minimum = 2800;
    wb.maximum = 6500;
    wb.step = 10;
    wb.default_value = 4600;
    v4l2_queryctrl wbAuto{};
    wbAuto.id = V4L2_CID_AUTO_WHITE_BALANCE;
    v4l2_queryctrl prio{};
    prio.id = V4L2_CID_EXPOSURE_AUTO_PRIORITY;
    prio.maximum = 1;
    cam().ctrls = {{wb.id, wb}, {wbAuto.id, wbAuto}, {prio.id, prio}};
    cam().values = {{wb.id, 5000}, {wbAuto.id, 1}, {prio.id, 1}};

    std::shared_ptr<IVideoProcAmp> amp;
    ASSERT_EQ(filter->QueryVideoProcAmp(&amp), S_OK);
    std::int32_t mn = 0, mx = 0, st = 0, df = 0, fl = 0, val = 0;
    ASSERT_EQ(amp->GetRange(7, &mn, &mx, &st, &df, &fl), S_OK);  // white balance
    EXPECT_EQ(mn, 2800);
    EXPECT_EQ(mx, 6500);
    EXPECT_EQ(st, 10);
    EXPECT_EQ(df, 4600);
    EXPECT_EQ(fl, kControlFlagsAuto | kControlFlagsManual);
    ASSERT_EQ(amp->Get(7, &val, &fl), S_OK);
    EXPECT_EQ(val, 5000);
    EXPECT_EQ(fl, kControlFlagsAuto);
    EXPECT_NE(amp->Get(0, &val, &fl), S_OK);   // brightness: the camera has none
    EXPECT_NE(amp->Get(6, &val, &fl), S_OK);   // colour enable: no V4L2 control
    EXPECT_NE(amp->Get(10, &val, &fl), S_OK);  // not a property id

    std::shared_ptr<ICameraControl> cc;
    ASSERT_EQ(filter->QueryCameraControl(&cc), S_OK);
    ASSERT_EQ(cc->Get(19, &val, &fl), S_OK);  // auto-exposure priority
    EXPECT_EQ(val, 1);
    EXPECT_EQ(fl, kControlFlagsManual);
    EXPECT_NE(cc->Get(2, &val, &fl), S_OK);  // roll
}

}  // namespace
}  // namespace lumo::os::linuxworld
