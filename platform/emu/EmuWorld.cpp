#include "platform/emu/EmuWorld.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <cwctype>
#include <map>
#include <mutex>
#include <thread>

#include "platform/CandidatePropertyBag.h"
#include "platform/NodeListTopology.h"
#include "platform/emu/EmuCameraModel.h"

namespace lumo::os::emu {
namespace {

// interface classes a camera shows besides video capture
constexpr Guid kVideoInterfaceClass{0x6994AD05, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
constexpr Guid kCameraInterfaceClass{0xE5323777, 0xF976, 0x4F5B, {0x9B, 0x55, 0xB9, 0x46, 0x99, 0xC4, 0x6E, 0x44}};
// topology node types that are not device specific
constexpr Guid kNodeVideoProcessing{0xDFF229E5, 0xF70F, 0x11D0, {0xB9, 0x17, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
constexpr Guid kNodeVideoSelector{0xDFF229E6, 0xF70F, 0x11D0, {0xB9, 0x17, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
// the extension unit of another maker's camera
constexpr Guid kForeignXu{0x0F3F95DC, 0x2632, 0x4C4E, {0x92, 0xC9, 0xA0, 0x47, 0x82, 0xF4, 0x3B, 0xC8}};
constexpr std::uint32_t ERROR_IO_INCOMPLETE_ = 996;

std::wstring upper(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towupper(c));
    return s;
}
std::wstring lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

std::vector<VideoControl> defaultProcAmp() {
    return {{0, -64, 64, 1, 0, 2, 0},
            {1, 0, 95, 1, 32, 2, 32},
            {2, -2000, 2000, 1, 0, 2, 0},
            {3, 0, 100, 1, 64, 2, 64},
            {4, 0, 7, 1, 3, 2, 3},
            {5, 100, 300, 1, 100, 2, 100},
            {7, 2800, 6500, 10, 4600, 1, 4600},
            {8, 0, 2, 1, 1, 2, 1},
            {9, 0, 100, 1, 0, 2, 0},
            {13, 0, 2, 1, 1, 2, 1}};
}
std::vector<VideoControl> defaultCameraControl() {
    return {
        {3, 100, 400, 1, 100, 2, 100}, {4, -13, -1, 1, -6, 1, -6}, {6, 0, 1023, 1, 68, 1, 68}, {19, 0, 1, 1, 0, 2, 0}};
}

}  // namespace

struct EmuWorld::Impl {
    enum class Kind { Arrival, Removal, ResetBack };
    struct Event {
        std::uint64_t dueUs;
        std::uint64_t seq;
        Kind kind;
        std::size_t camera;
    };
    struct Registration {
        DeviceNoticeCallback recipient;
        Guid classGuid;
        bool all;
    };

    std::mutex mu;
    std::condition_variable cv;      // wakes the monitor
    std::condition_variable idleCv;  // the monitor went quiet or delivered
    std::vector<std::unique_ptr<EmuCamera>> cameras;
    std::vector<Event> events;
    std::uint64_t nextSeq = 1;
    std::map<std::uint64_t, Registration> registrations;
    std::uint64_t nextRegistration = 1;
    bool delivering = false;
    bool stop = false;
    std::thread monitor;

    EmuCamera::Impl& cam(std::size_t i) { return cameras.at(i)->impl(); }

    void queue(Kind kind, std::size_t camera, std::uint64_t dueUs) {
        events.push_back({dueUs, nextSeq++, kind, camera});
        std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
            return a.dueUs != b.dueUs ? a.dueUs < b.dueUs : a.seq < b.seq;
        });
        cv.notify_all();
    }

    std::vector<Guid> interfaces(const EmuCamera::Impl& c) const {
        std::vector<Guid> all{guids::kVideoCaptureInterfaceClass};
        const auto& others = c.cfg.otherInterfaces.empty()
                                 ? std::vector<Guid>{kVideoInterfaceClass, kCameraInterfaceClass}
                                 : c.cfg.otherInterfaces;
        all.insert(all.end(), others.begin(), others.end());
        return all;
    }

    std::wstring interfaceName(const EmuCamera::Impl& c, const Guid& cls) const {
        wchar_t buf[64];
        std::swprintf(buf, 64, L"\\\\?\\USB#VID_%04X&PID_%04X&MI_%02X#", c.cfg.vid, c.cfg.pid, c.cfg.mi);
        return buf + c.instance + L"#" + lower(cls.toWString()) + L"\\global";
    }

    // Drops the current handles of a camera that left the bus.
    void leave(EmuCamera::Impl& c) {
        c.present = false;
        c.openCount = 0;
        c.openExclusive = false;
    }

    void run() {
        std::unique_lock lk(mu);
        std::uint64_t lastNow = 0;
        auto lastMove = std::chrono::steady_clock::now();
        while (!stop) {
            if (events.empty()) {
                idleCv.notify_all();
                cv.wait_for(lk, std::chrono::milliseconds(50));
                continue;
            }
            const std::uint64_t now = worldNowUs();
            const Event ev = events.front();
            if (ev.dueUs > now) {
                // on a virtual clock nobody may move time while a test waits for a notice:
                // when time stood still for a while, jump to the next timer
                auto* vc = dynamic_cast<VirtualClock*>(&clock());
                if (now != lastNow) {
                    lastNow = now;
                    lastMove = std::chrono::steady_clock::now();
                } else if (vc && std::chrono::steady_clock::now() - lastMove > std::chrono::milliseconds(20)) {
                    vc->advanceToUs(ev.dueUs);
                    continue;
                }
                cv.wait_for(lk, std::chrono::milliseconds(2));
                continue;
            }
            events.erase(events.begin());
            EmuCamera::Impl& c = cam(ev.camera);
            std::uint32_t type = DBT_DEVICEARRIVAL;
            if (ev.kind == Kind::ResetBack) {
                {
                    std::lock_guard cl(c.mu);
                    c.powerOn();
                }
                c.present = true;
            }
            if (ev.kind == Kind::Removal) type = DBT_DEVICEREMOVECOMPLETE;
            std::vector<DeviceInterfaceNotice> notices;
            for (const Guid& cls : interfaces(c)) {
                DeviceInterfaceNotice n;
                n.classGuid = cls;
                n.name = interfaceName(c, cls);
                n.size = static_cast<std::uint32_t>(28 + 2 * (n.name.size() + 1));
                n.deviceType = DBT_DEVTYP_DEVICEINTERFACE;
                notices.push_back(std::move(n));
            }
            std::vector<Registration> recipients;
            for (const auto& [h, r] : registrations) recipients.push_back(r);
            delivering = true;
            lk.unlock();
            for (const auto& n : notices)
                for (const auto& r : recipients)
                    if (r.all || r.classGuid == n.classGuid) r.recipient(type, n);
            lk.lock();
            delivering = false;
            idleCv.notify_all();
        }
    }
};

// ---- transport objects ----
namespace {

class EmuPropertySet final : public IKsPropertySet {
public:
    EmuPropertySet(std::shared_ptr<EmuWorld> keep, EmuCamera::Impl& cam, std::uint64_t gen)
        : m_keep(std::move(keep)), m_cam(cam), m_gen(gen) {}

    HRESULT Set(const Guid& propSet, std::uint32_t id, const void* instanceData, std::uint32_t instanceLength,
                const void* propertyData, std::uint32_t dataLength) override {
        return carry(true, propSet, id, instanceLength, const_cast<void*>(propertyData), dataLength, nullptr);
    }
    HRESULT Get(const Guid& propSet, std::uint32_t id, const void* instanceData, std::uint32_t instanceLength,
                void* propertyData, std::uint32_t dataLength, std::uint32_t* bytesReturned) override {
        return carry(false, propSet, id, instanceLength, propertyData, dataLength, bytesReturned);
    }

private:
    // The maker's driver reads the control data from block offset 24: 32 bytes in a 56-byte
    // block, or (property length - 24) bytes in a longer one; a get's reply goes there too.
    HRESULT carry(bool set, const Guid& propSet, std::uint32_t id, std::uint32_t instanceLength, void* property,
                  std::uint32_t dataLength, std::uint32_t* bytesReturned) {
        if (!property || dataLength < 56) return E_INVALIDARG;
        auto* block = static_cast<std::uint8_t*>(property);
        IncomingRequest in;
        in.route = Route::PropertySet;
        in.unit = propSet;
        in.selector = id;
        in.flags = le32(block + 20);
        in.instanceLength = instanceLength;
        in.propertyLength = dataLength;
        in.set = set;
        in.generation = m_gen;
        if (m_cam.cfg.driver == DriverMode::Class) {
            // the class driver does not carry extension-unit controls through the filter's set
            log(in, block + 24, set ? 32 : 0);
            return E_PROP_ID_UNSUPPORTED;
        }
        std::uint32_t len = dataLength == 56 ? 32 : dataLength - 24;
        // a control shorter than the data area carries its fixed length
        if (dataLength == 56 && propSet == guids::kVendorXu) len = fixedOrArea(id);
        if (dataLength == 56 && propSet == guids::kH264Xu && id <= 0xFF &&
            EmuH264::controlLength(static_cast<std::uint8_t>(id)))
            len = EmuH264::controlLength(static_cast<std::uint8_t>(id));
        const auto r = m_cam.request(in, block + 24, len);
        if (r == RequestOutcome::Ok) {
            if (bytesReturned) *bytesReturned = dataLength;
            return S_OK;
        }
        if (r == RequestOutcome::NotConnected) return hresultFromError(ERROR_DEVICE_NOT_CONNECTED);
        if (r == RequestOutcome::NotFound) return E_PROP_ID_UNSUPPORTED;
        return hresultFromError(ERROR_GEN_FAILURE);
    }

    static std::uint32_t fixedOrArea(std::uint32_t id) {
        // sequence controls need 35 bytes: a 56-byte block is too short and carries its 32
        const std::uint32_t fixed = id <= 0xFF ? vendorControlLength(static_cast<std::uint8_t>(id)) : 0;
        return fixed != 0 && fixed < 32 ? fixed : 32;
    }

    void log(const IncomingRequest& in, const std::uint8_t* data, std::uint32_t len) {
        std::lock_guard lock(m_cam.mu);
        if (!m_cam.present || in.generation != m_cam.generation) return;
        m_cam.log.push_back(m_cam.newRecord(in, data, len));
    }

    std::shared_ptr<EmuWorld> m_keep;
    EmuCamera::Impl& m_cam;
    std::uint64_t m_gen;
};

class EmuVideoControls final : public IVideoControlValues {
public:
    EmuVideoControls(std::shared_ptr<EmuWorld> keep, std::vector<VideoControl> controls)
        : m_keep(std::move(keep)), m_controls(std::move(controls)) {}
    HRESULT GetRange(std::int32_t property, std::int32_t* min, std::int32_t* max, std::int32_t* step,
                     std::int32_t* defaultValue, std::int32_t* flags) override {
        const VideoControl* c = find(property);
        if (!c) return E_PROP_ID_UNSUPPORTED;
        if (!min || !max || !step || !defaultValue || !flags) return E_POINTER;
        *min = c->min, *max = c->max, *step = c->step, *defaultValue = c->defaultValue, *flags = c->flags;
        return S_OK;
    }
    HRESULT Get(std::int32_t property, std::int32_t* value, std::int32_t* flags) override {
        const VideoControl* c = find(property);
        if (!c) return E_PROP_ID_UNSUPPORTED;
        if (!value || !flags) return E_POINTER;
        *value = c->value, *flags = c->flags;
        return S_OK;
    }

private:
    const VideoControl* find(std::int32_t property) const {
        for (const auto& c : m_controls)
            if (c.property == property) return &c;
        return nullptr;
    }
    std::shared_ptr<EmuWorld> m_keep;
    std::vector<VideoControl> m_controls;
};

class EmuFilter final : public ICaptureFilter {
public:
    EmuFilter(std::shared_ptr<EmuWorld> keep, EmuCamera::Impl& cam)
        : m_keep(std::move(keep)), m_cam(cam), m_gen(cam.generation) {}

    HRESULT QueryTopologyInfo(std::shared_ptr<ITopologyInfo>* out) override {
        if (!out) return E_POINTER;
        out->reset();
        if (m_cam.cfg.driver == DriverMode::None) return E_NOINTERFACE;
        std::vector<Guid> nodes;
        if (m_cam.cfg.driver == DriverMode::Maker) {
            nodes = {kNodeVideoProcessing, kNodeVideoSelector};
        } else if (!m_cam.hasVendorUnit()) {
            nodes = {kNodeVideoProcessing, guids::kNodeTypeDevSpecific, kNodeVideoSelector};  // another maker's unit
        } else if (m_cam.cfg.xu) {
            nodes = {guids::kNodeTypeDevSpecific, guids::kNodeTypeDevSpecific, kNodeVideoProcessing,
                     kNodeVideoSelector};
        } else {
            nodes = {kNodeVideoProcessing, kNodeVideoSelector, guids::kNodeTypeDevSpecific};
        }
        *out = std::make_shared<NodeListTopology>(std::move(nodes));
        return S_OK;
    }
    HRESULT QueryPropertySet(std::shared_ptr<IKsPropertySet>* out) override {
        if (!out) return E_POINTER;
        *out = std::make_shared<EmuPropertySet>(m_keep, m_cam, m_gen);
        return S_OK;
    }
    HRESULT QueryVideoProcAmp(std::shared_ptr<IVideoProcAmp>* out) override {
        if (!out) return E_POINTER;
        *out = std::make_shared<EmuVideoControls>(m_keep,
                                                  m_cam.cfg.procAmp.empty() ? defaultProcAmp() : m_cam.cfg.procAmp);
        return S_OK;
    }
    HRESULT QueryCameraControl(std::shared_ptr<ICameraControl>* out) override {
        if (!out) return E_POINTER;
        *out = std::make_shared<EmuVideoControls>(
            m_keep, m_cam.cfg.cameraControl.empty() ? defaultCameraControl() : m_cam.cfg.cameraControl);
        return S_OK;
    }

private:
    std::shared_ptr<EmuWorld> m_keep;
    EmuCamera::Impl& m_cam;
    std::uint64_t m_gen;
};

class EmuMoniker final : public IMoniker {
public:
    EmuMoniker(std::shared_ptr<EmuWorld> keep, EmuCamera::Impl& cam, std::wstring path)
        : m_keep(std::move(keep)), m_cam(cam), m_gen(cam.generation), m_path(std::move(path)) {}
    HRESULT BindToStorage(std::shared_ptr<IPropertyBag>* out) override {
        if (!out) return E_POINTER;
        *out = std::make_shared<CandidatePropertyBag>(m_cam.cfg.friendlyName, m_cam.cfg.clsid, m_path);
        return S_OK;
    }
    HRESULT BindToObject(std::shared_ptr<ICaptureFilter>* out) override {
        if (!out) return E_POINTER;
        out->reset();
        if (!m_cam.present || m_cam.generation != m_gen) return hresultFromError(ERROR_DEVICE_NOT_CONNECTED);
        *out = std::make_shared<EmuFilter>(m_keep, m_cam);
        return S_OK;
    }

private:
    std::shared_ptr<EmuWorld> m_keep;
    EmuCamera::Impl& m_cam;
    std::uint64_t m_gen;
    std::wstring m_path;
};

class EmuEnum final : public IEnumMoniker {
public:
    explicit EmuEnum(std::vector<std::shared_ptr<IMoniker>> items) : m_items(std::move(items)) {}
    HRESULT Reset() override {
        m_next = 0;
        return S_OK;
    }
    HRESULT Next(std::shared_ptr<IMoniker>* out) override {
        if (!out) return E_POINTER;
        if (m_next >= m_items.size()) {
            out->reset();
            return S_FALSE;
        }
        *out = m_items[m_next++];
        return S_OK;
    }

private:
    std::vector<std::shared_ptr<IMoniker>> m_items;
    std::size_t m_next = 0;
};

class EmuPending final : public IPendingIo {
public:
    // done: completed with the given result; otherwise it stays pending until cancelled
    EmuPending(bool done, bool ok, std::uint32_t bytes, std::uint32_t error)
        : m_done(done), m_ok(ok), m_bytes(bytes), m_error(error) {}
    std::uint32_t Wait(std::uint32_t ms) override {
        if (m_done) return WAIT_OBJECT_0;
        worldWaitUntilUs(worldNowUs() + std::uint64_t{ms} * 1000);
        return WAIT_TIMEOUT;
    }
    bool GetResult(std::uint32_t* bytesReturned, std::uint32_t* lastError) override {
        if (!m_done) {
            if (lastError) *lastError = m_cancelled ? ERROR_OPERATION_ABORTED : ERROR_IO_INCOMPLETE_;
            return false;
        }
        if (bytesReturned) *bytesReturned = m_bytes;
        if (!m_ok && lastError) *lastError = m_error;
        return m_ok;
    }
    void Cancel() override { m_cancelled = true; }

private:
    bool m_done, m_ok;
    std::uint32_t m_bytes, m_error;
    bool m_cancelled = false;
};

class EmuHandle final : public IDeviceHandle {
public:
    EmuHandle(std::shared_ptr<EmuWorld> keep, EmuWorld::Impl& world, EmuCamera::Impl& cam, bool exclusive,
              std::uint32_t traceValue)
        : m_keep(std::move(keep)),
          m_world(world),
          m_cam(cam),
          m_gen(cam.generation),
          m_exclusive(exclusive),
          m_trace(traceValue) {}
    ~EmuHandle() override {
        std::lock_guard lock(m_world.mu);
        if (m_cam.generation == m_gen && m_cam.openCount > 0) {
            --m_cam.openCount;
            if (m_exclusive) m_cam.openExclusive = false;
        }
    }

    bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inLength, void* out, std::uint32_t outLength,
                         std::uint32_t* bytesReturned, std::unique_ptr<IPendingIo>* pending,
                         std::uint32_t* lastError) override {
        auto fail = [&](std::uint32_t e) {
            if (lastError) *lastError = e;
            return false;
        };
        if (code != IOCTL_KS_PROPERTY) return fail(ERROR_NOT_SUPPORTED);
        if (!in || inLength < 32) return fail(ERROR_INVALID_PARAMETER);
        if (!m_cam.present || m_cam.generation != m_gen) return fail(ERROR_DEVICE_NOT_CONNECTED);
        const auto* req = static_cast<const std::uint8_t*>(in);
        IncomingRequest r;
        r.route = Route::DevicePath;
        r.unit = Guid::fromBytes(req);
        r.selector = le32(req + 16);
        r.flags = le32(req + 20);
        r.nodeId = le32(req + 24);
        r.instanceLength = inLength;
        r.propertyLength = outLength;
        r.set = (r.flags & 0x3) == 0x2;
        r.generation = m_gen;

        const bool hang = nextRequestHangs();
        RequestOutcome outcome;
        std::vector<std::uint8_t> scratch(static_cast<const std::uint8_t*>(out ? out : in),
                                          static_cast<const std::uint8_t*>(out ? out : in) + (out ? outLength : 0));
        // only node requests of a unit at its own node reach the camera's firmware
        const bool topology = (r.flags & 0x10000000u) != 0 && (r.flags & 0x3) != 0 && (r.flags & 0x3) != 0x3;
        const bool atNode = (r.unit == guids::kVendorXu && r.nodeId == m_cam.vendorNode()) ||
                            (r.unit == guids::kH264Xu && m_cam.cfg.xu && r.nodeId == kH264Node);
        if (m_cam.cfg.driver != DriverMode::Class || !topology || !atNode || !m_cam.hasVendorUnit() ||
            (!out && outLength)) {
            logRefused(r, scratch);
            outcome = RequestOutcome::NotFound;
        } else {
            outcome = m_cam.request(r, scratch.data(), outLength);
        }
        std::uint32_t error = ERROR_SUCCESS;
        switch (outcome) {
            case RequestOutcome::Ok:
                break;
            case RequestOutcome::NotConnected:
                error = ERROR_DEVICE_NOT_CONNECTED;
                break;
            case RequestOutcome::NotFound:
                error = ERROR_NOT_FOUND_;
                break;
            case RequestOutcome::BadLength:
                error = ERROR_INVALID_PARAMETER;
                break;
            case RequestOutcome::Failed:
                error = ERROR_GEN_FAILURE;
                break;
        }
        const bool ok = outcome == RequestOutcome::Ok;
        if (hang) {
            // the firmware took the request and never answers
            if (pending) *pending = std::make_unique<EmuPending>(false, false, 0, 0);
            return fail(ERROR_IO_PENDING);
        }
        if (ok && !r.set && out) std::memcpy(out, scratch.data(), outLength);
        const std::uint32_t bytes = ok && !r.set ? outLength : 0;
        if (m_cam.cfg.asyncIo && pending) {
            *pending = std::make_unique<EmuPending>(true, ok, bytes, error);
            return fail(ERROR_IO_PENDING);
        }
        if (!ok) return fail(error);
        if (bytesReturned) *bytesReturned = bytes;
        return true;
    }

    std::uint32_t TraceValue() const override { return m_trace; }

private:
    bool nextRequestHangs() {
        std::lock_guard lock(m_cam.mu);
        return m_cam.faults.hangRequest != 0 && m_cam.faults.hangRequest == m_cam.requestNo + 1;
    }
    void logRefused(const IncomingRequest& in, const std::vector<std::uint8_t>& data) {
        std::lock_guard lock(m_cam.mu);
        m_cam.log.push_back(m_cam.newRecord(in, data.data(), data.size()));
    }

    std::shared_ptr<EmuWorld> m_keep;
    EmuWorld::Impl& m_world;
    EmuCamera::Impl& m_cam;
    std::uint64_t m_gen;
    bool m_exclusive;
    std::uint32_t m_trace;
};

std::atomic<std::uint32_t> g_nextHandleValue{0x100};

}  // namespace

// ---- EmuWorld ----

EmuWorld::EmuWorld() : m_impl(std::make_unique<Impl>()) {
    m_impl->monitor = std::thread([this] { m_impl->run(); });
}

EmuWorld::~EmuWorld() {
    {
        std::lock_guard lock(m_impl->mu);
        m_impl->stop = true;
    }
    m_impl->cv.notify_all();
    if (m_impl->monitor.joinable()) m_impl->monitor.join();
}

std::size_t EmuWorld::addCamera(const CameraConfig& config, bool plugged) {
    std::string error;
    std::unique_lock lock(m_impl->mu);
    const std::size_t index = m_impl->cameras.size();
    auto impl = std::make_unique<EmuCamera::Impl>(config, index, &error);
    Impl* world = m_impl.get();
    impl->onReset = [world, index] {
        std::lock_guard l(world->mu);
        EmuCamera::Impl& c = world->cam(index);
        world->leave(c);
        const std::uint64_t gone = worldNowUs() + std::uint64_t{c.timings.resetRemovalMs} * 1000;
        world->queue(Impl::Kind::Removal, index, gone);
        world->queue(Impl::Kind::ResetBack, index, gone + std::uint64_t{c.timings.resetArrivalMs} * 1000);
    };
    impl->onVanish = [world, index] {
        std::lock_guard l(world->mu);
        world->leave(world->cam(index));
        world->queue(Impl::Kind::Removal, index, worldNowUs());
    };
    m_impl->cameras.push_back(std::make_unique<EmuCamera>(std::move(impl)));
    lock.unlock();
    if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
    if (plugged) plug(index);
    return index;
}

std::size_t EmuWorld::cameraCount() const {
    std::lock_guard lock(m_impl->mu);
    return m_impl->cameras.size();
}

EmuCamera& EmuWorld::camera(std::size_t index) {
    std::lock_guard lock(m_impl->mu);
    return *m_impl->cameras.at(index);
}

std::optional<std::size_t> EmuWorld::findCamera(const std::string& name) const {
    std::lock_guard lock(m_impl->mu);
    for (std::size_t i = 0; i < m_impl->cameras.size(); ++i)
        if (m_impl->cameras[i]->config().name == name) return i;
    return std::nullopt;
}

void EmuWorld::plug(std::size_t index) {
    std::lock_guard lock(m_impl->mu);
    EmuCamera::Impl& c = m_impl->cam(index);
    if (c.present) return;
    {
        std::lock_guard cl(c.mu);
        ++c.generation;
        c.powerOn();
        if (c.flash) c.flash->powerOn();
    }
    c.openCount = 0;
    c.openExclusive = false;
    c.present = true;
    m_impl->queue(Impl::Kind::Arrival, index, worldNowUs());
}

void EmuWorld::unplug(std::size_t index) {
    std::lock_guard lock(m_impl->mu);
    EmuCamera::Impl& c = m_impl->cam(index);
    if (!c.present) return;
    {
        std::lock_guard cl(c.mu);
        ++c.generation;
    }
    m_impl->leave(c);
    m_impl->queue(Impl::Kind::Removal, index, worldNowUs());
}

void EmuWorld::holdPath(std::size_t index, bool held) {
    std::lock_guard lock(m_impl->mu);
    m_impl->cam(index).held = held;
}

void EmuWorld::settle() {
    std::unique_lock lock(m_impl->mu);
    while (!m_impl->events.empty() || m_impl->delivering) {
        if (!m_impl->events.empty())
            if (auto* vc = dynamic_cast<VirtualClock*>(&clock())) vc->advanceToUs(m_impl->events.front().dueUs);
        m_impl->cv.notify_all();
        m_impl->idleCv.wait_for(lock, std::chrono::milliseconds(2));
    }
}

HRESULT EmuWorld::CreateClassEnumerator(const Guid& category, std::shared_ptr<IEnumMoniker>* out) {
    if (!out) return E_POINTER;
    out->reset();
    if (!(category == guids::kVideoInputDeviceCategory)) return S_FALSE;
    std::vector<std::shared_ptr<IMoniker>> items;
    auto keep = weak_from_this().lock();
    std::lock_guard lock(m_impl->mu);
    for (auto& camera : m_impl->cameras) {
        EmuCamera::Impl& c = camera->impl();
        if (!c.present) continue;
        items.push_back(std::make_shared<EmuMoniker>(keep, c, lower(camera->devicePath())));
    }
    if (items.empty()) return S_FALSE;
    *out = std::make_shared<EmuEnum>(std::move(items));
    return S_OK;
}

std::unique_ptr<IDeviceHandle> EmuWorld::CreateFile(const std::wstring& path, std::uint32_t, std::uint32_t share,
                                                    std::uint32_t, std::uint32_t* lastError) {
    auto fail = [&](std::uint32_t e) -> std::unique_ptr<IDeviceHandle> {
        if (lastError) *lastError = e;
        return nullptr;
    };
    const std::wstring wanted = upper(path);
    auto keep = weak_from_this().lock();
    std::lock_guard lock(m_impl->mu);
    for (auto& camera : m_impl->cameras) {
        EmuCamera::Impl& c = camera->impl();
        if (!c.present || upper(camera->devicePath()) != wanted) continue;
        if (c.held || c.openExclusive || (share == 0 && c.openCount > 0)) return fail(ERROR_SHARING_VIOLATION);
        ++c.openCount;
        c.openExclusive = share == 0;
        return std::make_unique<EmuHandle>(keep, *m_impl, c, share == 0, g_nextHandleValue.fetch_add(4));
    }
    return fail(ERROR_FILE_NOT_FOUND);
}

bool EmuWorld::SetupDiClassGuidsFromName(const std::wstring& className, std::vector<Guid>* guidsOut) {
    if (!guidsOut) return false;
    guidsOut->clear();
    if (upper(className) == L"IMAGE") guidsOut->push_back(guids::kImageSetupClass);
    return true;
}

bool EmuWorld::SetupDiGetClassDevs(const Guid& classGuid, std::uint32_t, std::vector<SetupDevice>* devices) {
    if (!devices) return false;
    devices->clear();
    if (!(classGuid == guids::kImageSetupClass)) return true;
    std::lock_guard lock(m_impl->mu);
    for (auto& camera : m_impl->cameras) {
        const EmuCamera::Impl& c = camera->impl();
        if (!c.present) continue;
        SetupDevice d;
        d.instanceId = camera->instanceId();
        wchar_t buf[96];
        std::swprintf(buf, 96, L"USB\\VID_%04X&PID_%04X&REV_%04X&MI_%02X", c.cfg.vid, c.cfg.pid, c.cfg.rev, c.cfg.mi);
        d.hardwareIds.push_back(buf);
        std::swprintf(buf, 96, L"USB\\VID_%04X&PID_%04X&MI_%02X", c.cfg.vid, c.cfg.pid, c.cfg.mi);
        d.hardwareIds.push_back(buf);
        devices->push_back(std::move(d));
    }
    return true;
}

std::uint64_t EmuWorld::RegisterDeviceNotification(DeviceNoticeCallback recipient, const DeviceInterfaceNotice& filter,
                                                   std::uint32_t flags, std::uint32_t* lastError) {
    if (!recipient || filter.deviceType != DBT_DEVTYP_DEVICEINTERFACE) {
        if (lastError) *lastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    std::lock_guard lock(m_impl->mu);
    const std::uint64_t h = m_impl->nextRegistration++;
    m_impl->registrations[h] = {std::move(recipient), filter.classGuid,
                                (flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0};
    return h;
}

bool EmuWorld::UnregisterDeviceNotification(std::uint64_t handle, std::uint32_t* lastError) {
    std::unique_lock lock(m_impl->mu);
    if (m_impl->registrations.erase(handle) == 0) {
        if (lastError) *lastError = ERROR_INVALID_HANDLE;
        return false;
    }
    // once this returns the recipient is not called again (unless asked from inside a call)
    if (std::this_thread::get_id() != m_impl->monitor.get_id())
        m_impl->idleCv.wait(lock, [&] { return !m_impl->delivering; });
    return true;
}

}  // namespace lumo::os::emu
