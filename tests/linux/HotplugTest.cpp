#include <gtest/gtest.h>

#include <atomic>

#include "FakeLinux.h"
#include "platform/linux/LinuxWorld.h"
#include "platform/linux/UdevEventTranslator.h"

namespace lumo::os::linuxworld {
namespace {

using namespace testing;

LinuxVideoNode nodeAt(const std::string& sysName, const std::string& port) {
    LinuxVideoNode n;
    n.className = sysName;
    n.usb = {0x1234, 0x5678, 0x0100, 0, port};
    n.devicePath = makeDevicePath(n.usb);
    return n;
}

TEST(UdevEventTranslator, ArrivalsAndRemovals) {
    std::map<std::string, LinuxVideoNode> present = {{"video0", nodeAt("video0", "1-2")}};
    CUdevEventTranslator t([&](const std::string& s) -> std::optional<LinuxVideoNode> {
        auto it = present.find(s);
        if (it == present.end()) return std::nullopt;
        return it->second;
    });

    auto arrival = t.Translate({"add", "video0", "/devices/x/usb1/1-2/1-2:1.0/video4linux/video0", {}});
    ASSERT_TRUE(arrival);
    EXPECT_EQ(arrival->eventType, DBT_DEVICEARRIVAL);
    EXPECT_EQ(arrival->notice.classGuid, guids::kVideoCaptureInterfaceClass);
    EXPECT_EQ(arrival->notice.deviceType, DBT_DEVTYP_DEVICEINTERFACE);
    EXPECT_EQ(arrival->notice.name, present["video0"].devicePath);
    EXPECT_EQ(arrival->notice.size, 28 + 2 * (arrival->notice.name.size() + 1));

    // the metadata node (not identified as capture) and other actions give nothing
    EXPECT_FALSE(t.Translate({"add", "video1", "/devices/x/usb1/1-2/1-2:1.0/video4linux/video1", {}}));
    EXPECT_FALSE(t.Translate({"change", "video0", "", {}}));
    EXPECT_FALSE(t.Translate({"bind", "video0", "", {}}));

    // removal after sysfs is gone: the remembered path
    present.clear();
    auto removal = t.Translate({"remove", "video0", "/devices/x/usb1/1-2/1-2:1.0/video4linux/video0", {}});
    ASSERT_TRUE(removal);
    EXPECT_EQ(removal->eventType, DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(removal->notice.name, nodeAt("video0", "1-2").devicePath);
    // the same removal twice: nothing remembered, nothing in the event
    EXPECT_FALSE(t.Translate({"remove", "video0", "/devices/x/usb1/1-2/1-2:1.0/video4linux/video0", {}}));
}

TEST(UdevEventTranslator, RemovalOfANeverSeenNodeUsesTheEventProperties) {
    CUdevEventTranslator t([](const std::string&) { return std::nullopt; });
    const std::string devPath = "/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/video4linux/video4";
    std::map<std::string, std::string> props = {{"ID_VENDOR_ID", "1234"},
                                                {"ID_MODEL_ID", "5678"},
                                                {"ID_USB_INTERFACE_NUM", "00"},
                                                {"ID_V4L_CAPABILITIES", ":capture:"}};
    auto removal = t.Translate({"remove", "video4", devPath, props});
    ASSERT_TRUE(removal);
    EXPECT_EQ(removal->notice.name, nodeAt("video4", "1-2").devicePath);
    props["ID_V4L_CAPABILITIES"] = ":";  // a metadata node
    EXPECT_FALSE(t.Translate({"remove", "video4", devPath, props}));
    props["ID_V4L_CAPABILITIES"] = ":capture:";
    EXPECT_FALSE(t.Translate({"remove", "video4", "/devices/virtual/video4linux/video4", props}));
}

class WorldNotices : public ::testing::Test {
protected:
    FakeSysfs tree;
    std::shared_ptr<FakeVideoIo> io = std::make_shared<FakeVideoIo>();
    DeviceInterfaceNotice filter() {
        DeviceInterfaceNotice f;
        f.size = 32;
        f.classGuid = guids::kVideoCaptureInterfaceClass;
        return f;
    }
};

TEST_F(WorldNotices, EnumeratedCameraIsRemovedByTheSamePath) {
    FakeSysfs::Camera c;
    c.descriptors = cameraDescriptors({{4, guids::kVendorXu}});
    tree.addNode(c, "video0", 0);
    io->cameras[tree.devNode("video0")] = FakeCamera{};
    CLinuxWorld world({tree.sysRoot(), tree.devRoot(), io, false});

    std::vector<std::pair<std::uint32_t, std::wstring>> got;
    std::uint32_t err = 0;
    const auto handle = world.RegisterDeviceNotification(
        [&](std::uint32_t type, const DeviceInterfaceNotice& n) { got.emplace_back(type, n.name); }, filter(),
        DEVICE_NOTIFY_ALL_INTERFACE_CLASSES, &err);
    ASSERT_NE(handle, 0u);

    std::shared_ptr<IEnumMoniker> walk;
    ASSERT_EQ(world.CreateClassEnumerator(guids::kVideoInputDeviceCategory, &walk), S_OK);
    std::shared_ptr<IMoniker> m;
    walk->Next(&m);
    std::shared_ptr<IPropertyBag> bag;
    m->BindToStorage(&bag);
    std::wstring path;
    bag->Read(L"DevicePath", path);

    tree.removeNode("video0");
    world.DeliverEvent({"remove", "video0", "/devices/gone/video4linux/video0", {}});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].first, DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(got[0].second, path);

    // a new arrival in the same port under another node number: the same path again
    tree.addNode(c, "video2", 0);
    io->cameras[tree.devNode("video2")] = FakeCamera{};
    world.DeliverEvent({"add", "video2", "", {}});
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].first, DBT_DEVICEARRIVAL);
    EXPECT_EQ(got[1].second, path);

    EXPECT_TRUE(world.UnregisterDeviceNotification(handle, &err));
    world.DeliverEvent({"remove", "video2", "", {}});
    EXPECT_EQ(got.size(), 2u);  // nobody is listening any more
    EXPECT_FALSE(world.UnregisterDeviceNotification(handle, &err));
    EXPECT_EQ(err, ERROR_INVALID_HANDLE);
}

TEST_F(WorldNotices, RegistrationChecksItsArguments) {
    CLinuxWorld world({tree.sysRoot(), tree.devRoot(), io, false});
    std::uint32_t err = 0;
    EXPECT_EQ(world.RegisterDeviceNotification(nullptr, filter(), 4, &err), 0u);
    EXPECT_EQ(err, ERROR_INVALID_PARAMETER);
    auto a = world.RegisterDeviceNotification([](std::uint32_t, const DeviceInterfaceNotice&) {}, filter(), 4, &err);
    auto b = world.RegisterDeviceNotification([](std::uint32_t, const DeviceInterfaceNotice&) {}, filter(), 4, &err);
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
}

TEST_F(WorldNotices, UdevMonitorStartsWithTheFirstRecipientAndStopsWithTheLast) {
    CLinuxWorld world({tree.sysRoot(), tree.devRoot(), io, true});
    std::uint32_t err = 0;
    const auto a =
        world.RegisterDeviceNotification([](std::uint32_t, const DeviceInterfaceNotice&) {}, filter(), 4, &err);
    if (a == 0) GTEST_SKIP() << "no udev netlink socket here, error " << err;
    EXPECT_TRUE(world.monitorRunning());
    const auto b =
        world.RegisterDeviceNotification([](std::uint32_t, const DeviceInterfaceNotice&) {}, filter(), 4, &err);
    EXPECT_TRUE(world.UnregisterDeviceNotification(a, &err));
    EXPECT_TRUE(world.monitorRunning());
    EXPECT_TRUE(world.UnregisterDeviceNotification(b, &err));
    EXPECT_FALSE(world.monitorRunning());
}

}  // namespace
}  // namespace lumo::os::linuxworld
