#include <gtest/gtest.h>

#include "FakeLinux.h"
#include "platform/linux/LinuxWorld.h"
#include "platform/linux/SysfsVideoScanner.h"
#include "platform/linux/WindowsDevicePath.h"

namespace lumo::os::linuxworld {
namespace {

using namespace testing;

class SysfsEnumeration : public ::testing::Test {
protected:
    FakeSysfs tree;
    std::shared_ptr<FakeVideoIo> io = std::make_shared<FakeVideoIo>();

    FakeSysfs::Camera camera(const std::string& port, const std::string& pid = "5678") {
        FakeSysfs::Camera c;
        c.port = port;
        c.pid = pid;
        c.descriptors = cameraDescriptors({{4, guids::kVendorXu}});
        return c;
    }
    void addCamera(const FakeSysfs::Camera& c, const std::string& capture, const std::string& meta) {
        tree.addNode(c, capture, 0);
        tree.addNode(c, meta, 1);
        io->cameras[tree.devNode(capture)] = FakeCamera{};
        FakeCamera m;
        m.caps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
        io->cameras[tree.devNode(meta)] = m;
    }
    CSysfsVideoScanner scanner() { return CSysfsVideoScanner(tree.sysRoot(), tree.devRoot(), io); }
};

TEST_F(SysfsEnumeration, CaptureNodesOfUsbInterfacesOnly) {
    addCamera(camera("1-2"), "video0", "video1");
    addCamera(camera("1-3.4", "9abc"), "video10", "video11");
    tree.addPlatformNode("video2");
    io->cameras[tree.devNode("video2")] = FakeCamera{};
    const auto nodes = scanner().Scan();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0].className, "video0");  // numeric order: video10 after video0 and video2
    EXPECT_EQ(nodes[0].devNode, tree.devNode("video0"));
    EXPECT_EQ(nodes[1].className, "video10");
    EXPECT_EQ(nodes[1].usb.productId, 0x9abc);
    EXPECT_EQ(nodes[1].usb.portPath, "1-3.4");
    ASSERT_EQ(nodes[0].units.size(), 2u);
    EXPECT_EQ(nodes[0].units[1].guidExtensionCode, guids::kVendorXu);
}

TEST_F(SysfsEnumeration, NamesInTheWindowsShape) {
    auto c = camera("1-2");
    c.vid = "0c45";
    c.pid = "6a0f";
    c.bcd = "0b12";
    addCamera(c, "video0", "video1");
    const auto nodes = scanner().Scan();
    ASSERT_EQ(nodes.size(), 1u);
    const auto& n = nodes[0];
    const std::wstring instance = makeInstance(n.usb);
    EXPECT_EQ(n.devicePath,
              L"\\\\?\\USB#VID_0c45&PID_6a0f&MI_00#" + instance + L"#{65E8773D-8F56-11D0-A3B9-00A0C9223196}\\GLOBAL");
    EXPECT_EQ(instance.substr(0, 2), L"6&");
    EXPECT_EQ(instance.substr(instance.size() - 7), L"&0&0000");
    EXPECT_EQ(n.instanceId.substr(0, 25), L"USB\\VID_0C45&PID_6A0F&MI_");
    ASSERT_EQ(n.hardwareIds.size(), 2u);
    EXPECT_EQ(n.hardwareIds[0], L"USB\\VID_0C45&PID_6A0F&REV_0B12&MI_00");
    EXPECT_EQ(n.hardwareIds[1], L"USB\\VID_0C45&PID_6A0F&MI_00");
    // the instance part of the instance ID, upper-cased, lies in the upper-cased path
    const std::wstring third = n.instanceId.substr(n.instanceId.rfind(L'\\') + 1);
    std::wstring upperPath = n.devicePath;
    for (auto& ch : upperPath) ch = static_cast<wchar_t>(std::towupper(ch));
    EXPECT_NE(upperPath.find(third), std::wstring::npos);
}

TEST_F(SysfsEnumeration, InstanceFollowsThePortNotTheNodeNumber) {
    UsbInterfaceIdentity a{0x1234, 0x5678, 0x100, 0, "1-2"};
    UsbInterfaceIdentity sameAgain = a;  // re-plugged: same port, maybe another videoN
    UsbInterfaceIdentity other = a;
    other.portPath = "1-3";
    UsbInterfaceIdentity secondFunction = a;
    secondFunction.interfaceNumber = 2;
    EXPECT_EQ(makeDevicePath(a), makeDevicePath(sameAgain));
    EXPECT_NE(makeDevicePath(a), makeDevicePath(other));
    EXPECT_NE(makeDevicePath(a), makeDevicePath(secondFunction));
}

TEST_F(SysfsEnumeration, FriendlyNameFallsBackWhenTheNodeCannotBeOpened) {
    addCamera(camera("1-2"), "video0", "video1");
    io->openErrno = EACCES;  // no permission: the sysfs index tells capture from metadata
    const auto nodes = scanner().Scan();
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0].className, "video0");
    EXPECT_EQ(nodes[0].friendlyName, L"Lumo Cam");
}

TEST_F(SysfsEnumeration, WorldEnumeratesCandidatesWithPropertyBags) {
    addCamera(camera("1-2"), "video0", "video1");
    CLinuxWorld world({tree.sysRoot(), tree.devRoot(), io, false});
    std::shared_ptr<IEnumMoniker> walk;
    ASSERT_EQ(world.CreateClassEnumerator(guids::kVideoInputDeviceCategory, &walk), S_OK);
    ASSERT_EQ(walk->Reset(), S_OK);
    std::shared_ptr<IMoniker> moniker;
    ASSERT_EQ(walk->Next(&moniker), S_OK);
    std::shared_ptr<IPropertyBag> bag;
    ASSERT_EQ(moniker->BindToStorage(&bag), S_OK);
    std::wstring name, clsid, path;
    EXPECT_EQ(bag->Read(L"FriendlyName", name), S_OK);
    EXPECT_EQ(bag->Read(L"CLSID", clsid), S_OK);
    EXPECT_EQ(bag->Read(L"DevicePath", path), S_OK);
    EXPECT_EQ(name, L"Lumo Cam");
    EXPECT_FALSE(clsid.empty());
    EXPECT_EQ(path.rfind(L"\\\\?\\USB#VID_1234&PID_5678&MI_00#", 0), 0u);
    std::shared_ptr<IMoniker> end;
    EXPECT_EQ(walk->Next(&end), S_FALSE);

    std::shared_ptr<ICaptureFilter> filter;
    ASSERT_EQ(moniker->BindToObject(&filter), S_OK);
    std::shared_ptr<ITopologyInfo> topo;
    ASSERT_EQ(filter->QueryTopologyInfo(&topo), S_OK);
    std::uint32_t count = 0;
    ASSERT_EQ(topo->get_NumNodes(&count), S_OK);
    ASSERT_EQ(count, 2u);
    Guid type;
    EXPECT_EQ(topo->get_NodeType(1, &type), S_OK);
    EXPECT_EQ(type, guids::kNodeTypeDevSpecific);
    EXPECT_EQ(topo->get_NodeType(0, &type), S_OK);
    EXPECT_NE(type, guids::kNodeTypeDevSpecific);
    EXPECT_NE(topo->get_NodeType(2, &type), S_OK);

    // setup class "Image" lists the same camera
    std::vector<Guid> classes;
    ASSERT_TRUE(world.SetupDiClassGuidsFromName(L"Image", &classes));
    ASSERT_EQ(classes.size(), 1u);
    std::vector<SetupDevice> devices;
    ASSERT_TRUE(world.SetupDiGetClassDevs(classes[0], 0x0A, &devices));
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].hardwareIds[0], L"USB\\VID_1234&PID_5678&REV_0100&MI_00");
}

TEST_F(SysfsEnumeration, EmptySystemIsAnEmptyCategory) {
    CLinuxWorld world({tree.sysRoot(), tree.devRoot(), io, false});
    std::shared_ptr<IEnumMoniker> walk;
    EXPECT_EQ(world.CreateClassEnumerator(guids::kVideoInputDeviceCategory, &walk), S_FALSE);
    EXPECT_EQ(walk, nullptr);
}

}  // namespace
}  // namespace lumo::os::linuxworld
