// A camera that answers anything: the command layer's identification, parameter reads, ROM
// detection and the OSD and H.264 reads run against a device world whose every reply comes
// from the input: whether a request completes at once, fails, stays pending, completes late
// or times out, how many bytes come back and which. Past the input's end every request fails.
// One set-up bit puts the Linux world's own device-path handle in between, so the camera's
// answers arrive as the kernel's extension-unit ioctl results instead.
// Whatever the replies, the host must stay inside its buffers, never leave a request running
// on a buffer it gave up, and finish.
#include <linux/uvcvideo.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "common/trace/DEdura.h"
#include "common/trace/DEduraInternal.h"
#include "fuzz/CameraSequence.h"
#include "fuzz/FuzzSupport.h"
#include "platform/DeviceWorld.h"
#include "platform/NodeListTopology.h"
#include "platform/emu/VirtualClock.h"
#include "platform/linux/LinuxDeviceHandle.h"
#include "platform/linux/UvcXuChannel.h"
#include "sdk/device/LumoDev.h"

namespace lumo::fuzz::camera_replies {
namespace {

using namespace lumo::os;

constexpr const wchar_t* kDevicePath =
    L"\\\\?\\USB#VID_2E1A&PID_7421&MI_00#6&1A2B3C4D&0&0000#{65E8773D-8F56-11D0-A3B9-00A0C9223196}\\GLOBAL";

struct Camera {
    explicit Camera(ByteReader r) : in(r) {}
    ByteReader in;
    int livePending = 0;  // pending requests neither completed nor cancelled
};

// Up to n reply bytes from the input into out (never more than room).
std::uint32_t fill(Camera& cam, std::uint8_t* out, std::uint32_t room) {
    const auto n = std::min<std::uint32_t>(cam.in.byte(), room);
    const auto bytes = cam.in.bytes(n);
    std::memcpy(out, bytes.data(), bytes.size());
    return static_cast<std::uint32_t>(bytes.size());
}

class Pending final : public IPendingIo {
public:
    Pending(Camera& cam, std::uint8_t* out, std::uint32_t outLength, std::uint8_t how)
        : m_cam(cam), m_out(out), m_outLength(outLength), m_how(how) {
        ++m_cam.livePending;
    }
    ~Pending() override {
        // A request that outlives its record would write into a buffer the host gave up.
        LUMO_FUZZ_CHECK(!m_live);
    }
    std::uint32_t Wait(std::uint32_t) override {
        LUMO_FUZZ_CHECK(m_live);
        switch (m_how) {
            case 0:  // completes now with a reply
                m_returned = fill(m_cam, m_out, m_outLength);
                if (m_cam.in.byte() & 1) m_returned = m_cam.in.le32();  // a count that lies
                finish();
                return WAIT_OBJECT_0;
            case 1:  // completes with a failure
                finish();
                m_failed = true;
                return WAIT_OBJECT_0;
            case 2:
                return WAIT_TIMEOUT;
            default:
                return WAIT_FAILED;
        }
    }
    bool GetResult(std::uint32_t* bytesReturned, std::uint32_t* lastError) override {
        LUMO_FUZZ_CHECK(!m_live);  // only a completed request has a result
        if (m_failed) {
            *lastError = ERROR_GEN_FAILURE;
            return false;
        }
        *bytesReturned = m_returned;
        return true;
    }
    void Cancel() override {
        if (m_live) finish();
    }

private:
    void finish() {
        m_live = false;
        --m_cam.livePending;
    }
    Camera& m_cam;
    std::uint8_t* m_out;
    std::uint32_t m_outLength;
    std::uint8_t m_how;
    bool m_live = true;
    bool m_failed = false;
    std::uint32_t m_returned = 0;
};

class Handle final : public IDeviceHandle {
public:
    explicit Handle(Camera& cam) : m_cam(cam) {}
    bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inLength, void* out, std::uint32_t outLength,
                         std::uint32_t* bytesReturned, std::unique_ptr<IPendingIo>* pending,
                         std::uint32_t* lastError) override {
        LUMO_FUZZ_CHECK(code == IOCTL_KS_PROPERTY && in != nullptr && inLength == 32);
        LUMO_FUZZ_CHECK(outLength == 0 || out != nullptr);
        auto* o = static_cast<std::uint8_t*>(out);
        if (outLength) (void)*(volatile std::uint8_t*)(o + outLength - 1);  // the whole buffer is the host's
        if (m_cam.in.empty()) {
            *lastError = ERROR_DEVICE_NOT_CONNECTED;
            return false;
        }
        const std::uint8_t op = m_cam.in.byte();
        switch (op & 7) {
            case 0:
            case 1:
            case 2:
                *bytesReturned = fill(m_cam, o, outLength);
                if (op & 0x08) *bytesReturned = m_cam.in.le32();
                return true;
            case 3:  // fails at once; "pending" without a pending record is a failure too
                *lastError = (op & 0x08) ? ERROR_IO_PENDING : ERROR_GEN_FAILURE;
                return false;
            default:
                *pending = std::make_unique<Pending>(m_cam, o, outLength, static_cast<std::uint8_t>((op & 7) - 4));
                *lastError = ERROR_IO_PENDING;
                return false;
        }
    }
    std::uint32_t TraceValue() const override { return 0x44; }

private:
    Camera& m_cam;
};

// The kernel under the Linux world: each extension-unit query (GET_CUR, SET_CUR, GET_LEN)
// succeeds with bytes from the input or fails with one of the driver's errors.
class KernelIo final : public linuxworld::IVideoDeviceIo {
public:
    explicit KernelIo(Camera& cam) : m_cam(cam) {}
    int Open(const std::string&, int) override { return -ENOENT; }
    int Ioctl(int, unsigned long request, void* arg) override {
        LUMO_FUZZ_CHECK(request == UVCIOC_CTRL_QUERY && arg != nullptr);
        auto* q = static_cast<uvc_xu_control_query*>(arg);
        LUMO_FUZZ_CHECK(q->size == 0 || q->data != nullptr);
        if (q->size) (void)*(volatile std::uint8_t*)(q->data + q->size - 1);  // the whole buffer is the host's
        if (m_cam.in.empty()) return -ENODEV;
        const std::uint8_t op = m_cam.in.byte();
        if ((op & 3) != 3) {
            fill(m_cam, q->data, q->size);
            return 0;
        }
        static constexpr int kErrors[] = {EIO, ENOBUFS, EOVERFLOW, EPIPE, ENODEV, ENOENT, EINVAL, ETIMEDOUT};
        return -kErrors[(op >> 2) % std::size(kErrors)];
    }
    int Flock(int, int) override { return 0; }
    void Close(int) override {}

private:
    Camera& m_cam;
};

// The maker's driver: the property block's data area starts at 24.
class PropertySet final : public IKsPropertySet {
public:
    explicit PropertySet(Camera& cam) : m_cam(cam) {}
    HRESULT Set(const Guid&, std::uint32_t, const void* instanceData, std::uint32_t instanceLength,
                const void* propertyData, std::uint32_t dataLength) override {
        LUMO_FUZZ_CHECK(instanceData != nullptr && propertyData != nullptr && dataLength >= 24);
        touch(instanceData, instanceLength);
        touch(propertyData, dataLength);
        return result(m_cam.in.byte());
    }
    HRESULT Get(const Guid&, std::uint32_t, const void* instanceData, std::uint32_t instanceLength, void* propertyData,
                std::uint32_t dataLength, std::uint32_t* bytesReturned) override {
        LUMO_FUZZ_CHECK(instanceData != nullptr && propertyData != nullptr && dataLength >= 24 && bytesReturned);
        touch(instanceData, instanceLength);
        const std::uint8_t op = m_cam.in.byte();
        auto* p = static_cast<std::uint8_t*>(propertyData);
        const std::uint32_t at = (op & 0x10) ? 0 : 24;
        *bytesReturned = at + fill(m_cam, p + at, dataLength - at);
        if (op & 0x08) *bytesReturned = m_cam.in.le32();
        return result(op);
    }

private:
    HRESULT result(std::uint8_t op) const {
        if (m_cam.in.empty() && op == 0) return E_FAIL;
        switch (op & 3) {
            case 0:
            case 1:
                return S_OK;
            case 2:
                return S_FALSE;
            default:
                return E_FAIL;
        }
    }
    static void touch(const void* p, std::uint32_t n) {
        if (n) (void)*(static_cast<const volatile std::uint8_t*>(p) + n - 1);
    }
    Camera& m_cam;
};

class Filter final : public ICaptureFilter {
public:
    HRESULT QueryTopologyInfo(std::shared_ptr<ITopologyInfo>* out) override {
        *out = topology;
        return topology ? S_OK : E_NOINTERFACE;
    }
    HRESULT QueryPropertySet(std::shared_ptr<IKsPropertySet>* out) override {
        *out = propertySet;
        return propertySet ? S_OK : E_NOINTERFACE;
    }
    HRESULT QueryVideoProcAmp(std::shared_ptr<IVideoProcAmp>*) override { return E_NOINTERFACE; }
    HRESULT QueryCameraControl(std::shared_ptr<ICameraControl>*) override { return E_NOINTERFACE; }
    std::shared_ptr<ITopologyInfo> topology;
    std::shared_ptr<IKsPropertySet> propertySet;
};

class Bag final : public IPropertyBag {
public:
    HRESULT Read(const std::wstring& name, std::wstring& value) override {
        if (name == L"FriendlyName")
            value = L"Lumo USB Camera";
        else if (name == L"CLSID")
            value = L"{17CCA71B-ECD7-11D0-B908-00A0C9223196}";
        else if (name == L"DevicePath")
            value = kDevicePath;
        else
            return E_INVALIDARG;
        return S_OK;
    }
};

class World final : public IDeviceWorld {
public:
    World(Camera& cam, std::wstring hardwareIds, bool linuxHandle)
        : m_cam(cam), m_hardwareIds(std::move(hardwareIds)), m_linux(linuxHandle) {}
    HRESULT CreateClassEnumerator(const Guid&, std::shared_ptr<IEnumMoniker>*) override { return S_FALSE; }
    std::unique_ptr<IDeviceHandle> CreateFile(const std::wstring& path, std::uint32_t, std::uint32_t, std::uint32_t,
                                              std::uint32_t* lastError) override {
        if (path != kDevicePath) {
            *lastError = ERROR_FILE_NOT_FOUND;
            return nullptr;
        }
        if (!m_linux) return std::make_unique<Handle>(m_cam);
        // The vendor unit and the H.264 unit as the descriptors name them.
        auto channel = std::make_shared<linuxworld::CUvcXuChannel>(
            std::vector<linuxworld::UvcUnit>{{linuxworld::UvcUnitKind::Extension, 3, guids::kVendorXu},
                                             {linuxworld::UvcUnitKind::Extension, 4, guids::kH264Xu}});
        return std::make_unique<linuxworld::CLinuxDeviceHandle>(
            linuxworld::CVideoFd(std::make_shared<KernelIo>(m_cam), 3), std::move(channel));
    }
    bool SetupDiClassGuidsFromName(const std::wstring&, std::vector<Guid>* guids) override {
        *guids = {guids::kImageSetupClass};
        return true;
    }
    bool SetupDiGetClassDevs(const Guid&, std::uint32_t, std::vector<SetupDevice>* devices) override {
        SetupDevice d;
        d.instanceId = L"USB\\VID_2E1A&PID_7421&MI_00\\6&1A2B3C4D&0&0000";
        // The hardware IDs as NUL-separated texts, from the input.
        std::wstring id;
        for (wchar_t c : m_hardwareIds) {
            if (c == L'\0') {
                d.hardwareIds.push_back(id);
                id.clear();
            } else {
                id.push_back(c);
            }
        }
        if (!id.empty()) d.hardwareIds.push_back(id);
        *devices = {d};
        return true;
    }
    std::uint64_t RegisterDeviceNotification(DeviceNoticeCallback, const DeviceInterfaceNotice&, std::uint32_t,
                                             std::uint32_t* lastError) override {
        *lastError = ERROR_NOT_SUPPORTED;
        return 0;
    }
    bool UnregisterDeviceNotification(std::uint64_t, std::uint32_t*) override { return false; }

private:
    Camera& m_cam;
    std::wstring m_hardwareIds;
    bool m_linux;
};

// Every trace record is formatted (camera texts go into records), then dropped.
void traceIntoTheVoid() {
    if (lumo::trace::switches().file != 0 && lumo::trace::logFilePath() == "/dev/null") return;
    ::setenv("XDG_CONFIG_HOME", (scratchDir() + "/no-config").c_str(), 1);  // no per-user switches
    writeScratchFile("TvDbgCfg.ini", "[OUTPUT]\nFILE=1\nVIEW=0\n");
    lumo::trace::initializeIn(scratchDir() + "/", L"TvDbgCfg.ini");
    lumo::trace::setLogFilePath("/dev/null");
}

}  // namespace

int lumoFuzzOne(const std::uint8_t* data, std::size_t size) {
    traceIntoTheVoid();
    ByteReader in(data, size);
    // The set-up: driver mode (topology with or without the vendor node, or none), whether the
    // filter has a property set, whether device-path requests go through the Linux world's
    // handle, and the hardware IDs the setup registry reports.
    const std::uint8_t setup = in.byte();
    std::vector<Guid> nodes;
    for (std::uint8_t i = 0, n = setup & 7; i < n; ++i)
        nodes.push_back((in.byte() & 1) ? guids::kNodeTypeDevSpecific : guids::kVendorXu);
    const std::string_view idText = in.bytes(in.byte() & 0x3F);
    const std::wstring hardwareIds(idText.begin(), idText.end());

    Camera cam(in);
    auto filter = std::make_shared<Filter>();
    if (!(setup & 0x08)) filter->topology = std::make_shared<NodeListTopology>(nodes);
    if (!(setup & 0x10)) filter->propertySet = std::make_shared<PropertySet>(cam);
    installDeviceWorld(std::make_shared<World>(cam, hardwareIds, (setup & 0x20) != 0));
    emu::VirtualClock::install();
    {
        CLumoDev dev;
        Bag bag;
        dev.QueryPropBagParams(&bag);
        dev.m_pBaseFilter = filter;
        dev.GetBcdDevice();
        dev.QueryDriverType();
        if (dev.AcquireIoHandle()) {
            driveCamera(dev);
        }
        dev.ReleaseIoHandle();
    }
    LUMO_FUZZ_CHECK(cam.livePending == 0);
    installDeviceWorld(nullptr);
    installClock(nullptr);
    return 0;
}

}  // namespace lumo::fuzz::camera_replies

LUMO_FUZZ_TARGET(camera_replies)
