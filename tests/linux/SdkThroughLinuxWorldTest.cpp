// The whole SDK over the Linux world's request translation, with an emulated camera behind
// the ioctl seam: each UVCIOC_CTRL_QUERY is handed to the emulated camera as the node
// property it stands for.
#include <gtest/gtest.h>

#include "FakeLinux.h"
#include "platform/emu/EmuWorld.h"
#include "platform/linux/LinuxWorld.h"
#include "sdk/LumoSDK.h"

namespace lumo::os::linuxworld {
namespace {

using namespace testing;

class EmuBridgeIo final : public IVideoDeviceIo {
public:
    EmuBridgeIo(std::shared_ptr<emu::EmuWorld> world, std::wstring emuPath, std::string devNode)
        : m_world(std::move(world)), m_emuPath(std::move(emuPath)), m_devNode(std::move(devNode)) {}
    std::vector<XuCall> calls;

    int Open(const std::string& path, int) override {
        if (path != m_devNode) return -ENOENT;
        m_open.insert(m_next);
        return m_next++;
    }
    int Ioctl(int fd, unsigned long request, void* arg) override {
        if (!m_open.count(fd)) return -EBADF;
        if (request == VIDIOC_QUERYCAP) {
            auto* cap = static_cast<v4l2_capability*>(arg);
            std::strcpy(reinterpret_cast<char*>(cap->card), "Lumo USB Camera");
            cap->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_DEVICE_CAPS;
            cap->device_caps = V4L2_CAP_VIDEO_CAPTURE;
            return 0;
        }
        if (request != UVCIOC_CTRL_QUERY) return -ENOTTY;
        auto* q = static_cast<uvc_xu_control_query*>(arg);
        if (q->query != UVC_SET_CUR && q->query != UVC_GET_CUR) return -EINVAL;
        if (!m_handle) {
            std::uint32_t err = 0;
            m_handle = m_world->CreateFile(m_emuPath, 0xC0000000, 0, 0x40000080, &err);
            if (!m_handle) return -ENODEV;
            m_vendorNode = emulatedVendorNode();
        }
        const Guid& unit = q->unit == 4 ? guids::kVendorXu : guids::kH264Xu;
        std::uint8_t r[32] = {};
        const auto g = unit.toBytes();
        std::copy(g.begin(), g.end(), r);
        r[16] = q->selector;
        r[20] = q->query == UVC_SET_CUR ? 2 : 1;
        r[23] = 0x10;
        r[24] = static_cast<std::uint8_t>(q->unit == 4 ? m_vendorNode : 1);
        std::uint32_t returned = 0, err = 0;
        std::unique_ptr<IPendingIo> pending;
        calls.push_back({q->unit, q->selector, q->query, q->size, {}});
        return m_handle->DeviceIoControl(IOCTL_KS_PROPERTY, r, 32, q->data, q->size, &returned, &pending, &err) ? 0
                                                                                                                : -EIO;
    }
    int Flock(int fd, int) override { return m_open.count(fd) ? 0 : -EBADF; }
    void Close(int fd) override { m_open.erase(fd); }

private:
    // the emulated camera wants its own node number: the first device-specific node of its topology
    std::uint32_t emulatedVendorNode() {
        std::shared_ptr<IEnumMoniker> walk;
        std::shared_ptr<IMoniker> moniker;
        std::shared_ptr<ICaptureFilter> filter;
        std::shared_ptr<ITopologyInfo> topo;
        if (m_world->CreateClassEnumerator(guids::kVideoInputDeviceCategory, &walk) != S_OK ||
            walk->Next(&moniker) != S_OK || moniker->BindToObject(&filter) != S_OK ||
            filter->QueryTopologyInfo(&topo) != S_OK)
            return 0;
        std::uint32_t n = 0;
        topo->get_NumNodes(&n);
        for (std::uint32_t i = 0; i < n; ++i) {
            Guid type;
            if (topo->get_NodeType(i, &type) == S_OK && type == guids::kNodeTypeDevSpecific) return i;
        }
        return 0;
    }

    std::uint32_t m_vendorNode = 0;
    std::shared_ptr<emu::EmuWorld> m_world;
    std::wstring m_emuPath;
    std::string m_devNode;
    std::unique_ptr<IDeviceHandle> m_handle;
    std::set<int> m_open;
    int m_next = 3;
};

TEST(SdkThroughLinuxWorld, IdentifiesDetectsWritesAndReadsTheRom) {
    auto clock = emu::VirtualClock::install();
    auto emuWorld = std::make_shared<emu::EmuWorld>();
    const std::size_t cam = emuWorld->addCamera(emu::CameraConfig{});

    FakeSysfs tree;
    FakeSysfs::Camera c;
    c.vid = "2e1a";
    c.pid = "7421";
    c.descriptors = cameraDescriptors({{4, guids::kVendorXu}, {6, guids::kH264Xu}});
    tree.addNode(c, "video0", 0);
    auto io = std::make_shared<EmuBridgeIo>(emuWorld, emuWorld->camera(cam).devicePath(), tree.devNode("video0"));
    installDeviceWorld(std::make_shared<CLinuxWorld>(LinuxWorldConfig{tree.sysRoot(), tree.devRoot(), io, false}));

    EXPECT_EQ(TAVIX_EnumDevs(), 1);
    std::uint8_t count = 0;
    TAVIX_GetDevCount(&count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(TAVIX_QueryExtRom(), 1);
    ASSERT_FALSE(io->calls.empty());
    EXPECT_EQ(io->calls[0].unit, 4);  // routed to the vendor unit's id

    std::vector<std::uint8_t> data(32);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(0xA0 ^ i);
    EXPECT_EQ(TAVIX_ExtRomWriteEnable(1, 0), 1);
    EXPECT_EQ(TAVIX_ExtRomWrite(0x1000, static_cast<std::uint32_t>(data.size()), data.data(), 0), 1);
    std::vector<std::uint8_t> back(data.size());
    EXPECT_EQ(TAVIX_ExtRomRead(0x1000, static_cast<std::uint32_t>(back.size()), back.data(), 0), 1);
    EXPECT_EQ(back, data);
    const auto rom = emuWorld->camera(cam).rom();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), rom.begin() + 0x1000));

    TAVIX_FreeDevs();
    installDeviceWorld(nullptr);
}

}  // namespace
}  // namespace lumo::os::linuxworld
