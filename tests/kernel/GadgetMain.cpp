// lumo-gadget: one camera of the emulated world presented as a real USB UVC device through
// gadgetfs, so the kernel's uvcvideo driver binds to it and our programs reach it as they
// would reach hardware. The extension-unit controls are carried to the emulated camera over
// its class-driver route (device path, node requests), as a driver would.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <memory>
#include <string>

#include "platform/DeviceWorld.h"
#include "platform/emu/EmuH264.h"
#include "platform/emu/EmuWorld.h"
#include "tests/kernel/UvcGadget.h"

namespace {

using namespace lumo;
using namespace lumo::os;

class EmulatedControls final : public kerneltest::IUnitControls {
public:
    EmulatedControls(std::unique_ptr<IDeviceHandle> handle, std::uint32_t vendorNode, bool hasH264)
        : m_handle(std::move(handle)), m_vendorNode(vendorNode), m_hasH264(hasH264) {}

    std::uint16_t length(bool h264, std::uint8_t selector) override {
        if (h264) return m_hasH264 ? static_cast<std::uint16_t>(emu::EmuH264::controlLength(selector)) : 0;
        return static_cast<std::uint16_t>(emu::vendorControlLength(selector));
    }
    bool set(bool h264, std::uint8_t selector, const std::uint8_t* data, std::uint16_t len) override {
        std::uint8_t copy[64];
        std::memcpy(copy, data, len);
        return request(h264, selector, 0x10000002, copy, len);
    }
    bool get(bool h264, std::uint8_t selector, std::uint8_t* data, std::uint16_t len) override {
        return request(h264, selector, 0x10000001, data, len);
    }

private:
    bool request(bool h264, std::uint8_t selector, std::uint32_t flags, std::uint8_t* data, std::uint16_t len) {
        std::uint8_t node[32] = {};
        const auto guid = (h264 ? guids::kH264Xu : guids::kVendorXu).toBytes();
        std::memcpy(node, guid.data(), 16);
        const std::uint32_t fields[3] = {selector, flags, h264 ? 1u : m_vendorNode};
        for (int f = 0; f < 3; ++f)
            for (int i = 0; i < 4; ++i) node[16 + 4 * f + i] = static_cast<std::uint8_t>(fields[f] >> (8 * i));
        std::uint32_t bytes = 0, error = 0;
        std::unique_ptr<IPendingIo> pending;
        if (m_handle->DeviceIoControl(IOCTL_KS_PROPERTY, node, sizeof node, data, len, &bytes, &pending, &error))
            return true;
        if (error != ERROR_IO_PENDING || !pending) return false;
        if (pending->Wait(5000) != WAIT_OBJECT_0) {
            pending->Cancel();
            return false;
        }
        return pending->GetResult(&bytes, &error);
    }

    std::unique_ptr<IDeviceHandle> m_handle;
    std::uint32_t m_vendorNode;
    bool m_hasH264;
};

bool sameText(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    return true;
}

int usage() {
    std::fprintf(stderr, "usage: lumo-gadget LINEFILE [CAMERA-SECTION] [--controller PATH] [--verbose]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string lineFile, section, controller = "/dev/gadget/dummy_udc";
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--controller" && i + 1 < argc)
            controller = argv[++i];
        else if (a == "--verbose")
            verbose = true;
        else if (lineFile.empty())
            lineFile = a;
        else if (section.empty())
            section = a;
        else
            return usage();
    }
    if (lineFile.empty()) return usage();
    std::string error;
    auto world = emu::loadLineFile(lineFile, &error);
    if (!world) {
        std::fprintf(stderr, "lumo-gadget: %s\n", error.c_str());
        return 1;
    }
    std::size_t index = 0;
    if (!section.empty()) {
        auto found = world->findCamera(section);
        if (!found) {
            std::fprintf(stderr, "lumo-gadget: %s has no section [%s]\n", lineFile.c_str(), section.c_str());
            return 1;
        }
        index = *found;
    }
    if (index >= world->cameraCount()) {
        std::fprintf(stderr, "lumo-gadget: %s describes no camera\n", lineFile.c_str());
        return 1;
    }
    emu::EmuCamera& camera = world->camera(index);
    const emu::CameraConfig& cfg = camera.config();
    if (cfg.driver != emu::DriverMode::Class) {
        std::fprintf(stderr, "lumo-gadget: the camera must use the class driver\n");
        return 1;
    }

    // the vendor unit's node: the first device-specific node of the camera's topology
    std::uint32_t vendorNode = 0;
    {
        std::shared_ptr<IEnumMoniker> walk;
        if (world->CreateClassEnumerator(guids::kVideoInputDeviceCategory, &walk) != S_OK) return 1;
        std::shared_ptr<IMoniker> moniker;
        bool found = false;
        while (!found && walk->Next(&moniker) == S_OK) {
            std::shared_ptr<IPropertyBag> bag;
            std::wstring path;
            if (moniker->BindToStorage(&bag) != S_OK || bag->Read(L"DevicePath", path) != S_OK) continue;
            // the bag gives the path in the system's own letter case
            if (!sameText(path, camera.devicePath())) continue;
            std::shared_ptr<ICaptureFilter> filter;
            std::shared_ptr<ITopologyInfo> topology;
            if (moniker->BindToObject(&filter) != S_OK || filter->QueryTopologyInfo(&topology) != S_OK) return 1;
            std::uint32_t count = 0;
            topology->get_NumNodes(&count);
            for (std::uint32_t n = 0; n < count && !found; ++n) {
                Guid type;
                if (topology->get_NodeType(n, &type) == S_OK && type == guids::kNodeTypeDevSpecific) {
                    vendorNode = n;
                    found = true;
                }
            }
        }
        if (!found) {
            std::fprintf(stderr, "lumo-gadget: the camera shows no extension unit\n");
            return 1;
        }
    }
    std::uint32_t lastError = 0;
    auto handle = world->CreateFile(camera.devicePath(), 0xC0000000, 0, 0x40000080, &lastError);
    if (!handle) {
        std::fprintf(stderr, "lumo-gadget: cannot open the camera (error %u)\n", lastError);
        return 1;
    }
    EmulatedControls controls(std::move(handle), vendorNode, cfg.xu);
    if (std::getenv("LUMO_GADGET_SELFTEST")) {
        // exercise the camera without USB: header sets and gets on every sequence control
        for (int i = 0; i < 20000; ++i) {
            std::uint8_t block[35] = {0x04, 0xFF, 0xFF};
            const std::uint8_t sel = (i % 3 == 0) ? 0x07 : (i % 3 == 1) ? 0x08 : 0x06;
            if (!controls.set(false, sel, block, 35) || !controls.get(false, sel, block, 35)) {
                std::fprintf(stderr, "selftest: request %d failed\n", i);
                return 1;
            }
        }
        std::fprintf(stderr, "selftest: ok\n");
        return 0;
    }
    kerneltest::GadgetIdentity id;
    id.vid = cfg.vid;
    id.pid = cfg.pid;
    id.bcdDevice = cfg.rev;
    std::fprintf(stderr, "lumo-gadget: presenting %s (%04X:%04X) on %s\n", cfg.name.c_str(), cfg.vid, cfg.pid,
                 controller.c_str());
    return kerneltest::runGadget(controller, id, controls, verbose);
}
