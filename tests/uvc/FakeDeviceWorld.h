#pragma once
// A small hand-driven device world for the transport cases that need precise control:
// requests that complete at once, stay pending or fail; paths held open elsewhere; chosen
// topologies; missing interfaces. Everything the transport hands down is recorded.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/DeviceWorld.h"
#include "platform/NodeListTopology.h"

namespace fake {

using namespace lumo::os;

// Records every pause; time moves only by them.
class RecordingClock final : public IClock {
public:
    void Sleep(std::uint32_t ms) override {
        sleeps.push_back(ms);
        nowMs += ms;
    }
    std::uint32_t GetTickCount() override { return nowMs; }
    std::int64_t QueryPerformanceCounter() override { return static_cast<std::int64_t>(nowMs) * 1000; }
    std::int64_t QueryPerformanceFrequency() override { return 1'000'000; }
    std::vector<std::uint32_t> sleeps;
    std::uint32_t nowMs = 1000;
};

// How the next device-path request behaves.
enum class IoMode { CompleteAtOnce, FailAtOnce, PendingCompletes, PendingFails, PendingTimesOut };

struct IoRecord {
    std::uint32_t code = 0;
    std::vector<std::uint8_t> in;
    std::vector<std::uint8_t> outAtCall;  // the output buffer as handed down
    std::uint32_t outLength = 0;
};

struct IoState {
    IoMode mode = IoMode::CompleteAtOnce;
    std::vector<std::uint8_t> reply;  // written to the output buffer on completion
    std::vector<IoRecord> requests;
    int waits = 0;
    std::uint32_t lastWaitMs = 0;
    int cancels = 0;
    bool pendingAlive = false;  // a pending request not yet completed or cancelled
    int openHandles = 0;
};

class FakePendingIo final : public IPendingIo {
public:
    FakePendingIo(std::shared_ptr<IoState> s, std::uint8_t* out, std::uint32_t outLength)
        : m_s(std::move(s)), m_out(out), m_outLength(outLength) {
        m_s->pendingAlive = true;
    }
    ~FakePendingIo() override {
        // A request still running when its record goes away would write into freed buffers.
        if (m_s->pendingAlive) {
            m_s->pendingAlive = false;
            ++leakedCount();
        }
    }
    std::uint32_t Wait(std::uint32_t ms) override {
        ++m_s->waits;
        m_s->lastWaitMs = ms;
        if (m_s->mode == IoMode::PendingTimesOut) return WAIT_TIMEOUT;
        if (m_s->mode == IoMode::PendingCompletes) {
            const auto n = std::min<std::size_t>(m_s->reply.size(), m_outLength);
            for (std::size_t i = 0; i < n; ++i) m_out[i] = m_s->reply[i];
            m_returned = static_cast<std::uint32_t>(n);
        }
        m_s->pendingAlive = false;
        return WAIT_OBJECT_0;
    }
    bool GetResult(std::uint32_t* bytesReturned, std::uint32_t* lastError) override {
        if (m_s->mode == IoMode::PendingFails) {
            *lastError = ERROR_GEN_FAILURE;
            return false;
        }
        *bytesReturned = m_returned;
        return true;
    }
    void Cancel() override {
        ++m_s->cancels;
        m_s->pendingAlive = false;
    }
    static int& leakedCount() {
        static int n = 0;
        return n;
    }

private:
    std::shared_ptr<IoState> m_s;
    std::uint8_t* m_out;
    std::uint32_t m_outLength;
    std::uint32_t m_returned = 0;
};

class FakeHandle final : public IDeviceHandle {
public:
    FakeHandle(std::shared_ptr<IoState> s, std::uint32_t id) : m_s(std::move(s)), m_id(id) { ++m_s->openHandles; }
    ~FakeHandle() override { --m_s->openHandles; }
    bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inLength, void* out, std::uint32_t outLength,
                         std::uint32_t* bytesReturned, std::unique_ptr<IPendingIo>* pending,
                         std::uint32_t* lastError) override {
        IoRecord r;
        r.code = code;
        auto* i = static_cast<const std::uint8_t*>(in);
        r.in.assign(i, i + inLength);
        auto* o = static_cast<std::uint8_t*>(out);
        r.outAtCall.assign(o, o + outLength);
        r.outLength = outLength;
        m_s->requests.push_back(r);
        switch (m_s->mode) {
            case IoMode::CompleteAtOnce: {
                const auto n = std::min<std::size_t>(m_s->reply.size(), outLength);
                for (std::size_t k = 0; k < n; ++k) o[k] = m_s->reply[k];
                *bytesReturned = static_cast<std::uint32_t>(n);
                return true;
            }
            case IoMode::FailAtOnce:
                *lastError = ERROR_GEN_FAILURE;
                return false;
            default:
                *pending = std::make_unique<FakePendingIo>(m_s, o, outLength);
                *lastError = ERROR_IO_PENDING;
                return false;
        }
    }
    std::uint32_t TraceValue() const override { return m_id; }

private:
    std::shared_ptr<IoState> m_s;
    std::uint32_t m_id;
};

struct PropSetCall {
    bool set = false;
    Guid propSet;
    std::uint32_t id = 0;
    std::vector<std::uint8_t> instance;
    std::vector<std::uint8_t> property;
    bool instanceInsideProperty = false;  // instance data points into the property block
    std::ptrdiff_t instanceOffset = -1;
};

class FakePropertySet final : public IKsPropertySet {
public:
    HRESULT Set(const Guid& propSet, std::uint32_t id, const void* instanceData, std::uint32_t instanceLength,
                const void* propertyData, std::uint32_t dataLength) override {
        record(true, propSet, id, instanceData, instanceLength, propertyData, dataLength);
        return result;
    }
    HRESULT Get(const Guid& propSet, std::uint32_t id, const void* instanceData, std::uint32_t instanceLength,
                void* propertyData, std::uint32_t dataLength, std::uint32_t* bytesReturned) override {
        record(false, propSet, id, instanceData, instanceLength, propertyData, dataLength);
        auto* p = static_cast<std::uint8_t*>(propertyData);
        // The maker's driver answers in the data area at offset 24.
        for (std::size_t k = 0; k < reply.size() && 24 + k < dataLength; ++k) p[24 + k] = reply[k];
        *bytesReturned = dataLength;
        return result;
    }
    HRESULT result = S_OK;
    std::vector<std::uint8_t> reply;
    std::vector<PropSetCall> calls;

private:
    void record(bool set, const Guid& g, std::uint32_t id, const void* inst, std::uint32_t instLen, const void* prop,
                std::uint32_t propLen) {
        PropSetCall c;
        c.set = set;
        c.propSet = g;
        c.id = id;
        auto* i = static_cast<const std::uint8_t*>(inst);
        auto* p = static_cast<const std::uint8_t*>(prop);
        c.instance.assign(i, i + instLen);
        c.property.assign(p, p + propLen);
        c.instanceOffset = i - p;
        c.instanceInsideProperty = i >= p && i + instLen <= p + propLen;
        calls.push_back(std::move(c));
    }
};

using FakeTopology = NodeListTopology;

// Standard video controls: a range and a value per property id; records every query.
class FakeControls final : public IVideoControlValues {
public:
    struct Control {
        std::int32_t min, max, step, def, capsFlags, val, curFlags;
        HRESULT getResult = S_OK;
    };
    HRESULT GetRange(std::int32_t property, std::int32_t* min, std::int32_t* max, std::int32_t* step,
                     std::int32_t* defaultValue, std::int32_t* flags) override {
        rangeQueries.push_back(property);
        auto it = controls.find(property);
        if (it == controls.end()) return E_INVALIDARG;
        *min = it->second.min, *max = it->second.max, *step = it->second.step, *defaultValue = it->second.def;
        *flags = it->second.capsFlags;
        return S_OK;
    }
    HRESULT Get(std::int32_t property, std::int32_t* value, std::int32_t* flags) override {
        getQueries.push_back(property);
        auto it = controls.find(property);
        if (it == controls.end()) return E_INVALIDARG;
        if (it->second.getResult != S_OK) return it->second.getResult;
        *value = it->second.val;
        *flags = it->second.curFlags;
        return S_OK;
    }
    std::map<std::int32_t, Control> controls;
    std::vector<std::int32_t> rangeQueries, getQueries;
};

class FakeFilter final : public ICaptureFilter {
public:
    HRESULT QueryTopologyInfo(std::shared_ptr<ITopologyInfo>* out) override {
        *out = topology;
        return topology ? S_OK : E_NOINTERFACE;
    }
    HRESULT QueryPropertySet(std::shared_ptr<IKsPropertySet>* out) override {
        *out = propertySet;
        return propertySet ? S_OK : E_NOINTERFACE;
    }
    HRESULT QueryVideoProcAmp(std::shared_ptr<IVideoProcAmp>* out) override {
        *out = procAmp;
        return procAmp ? S_OK : E_NOINTERFACE;
    }
    HRESULT QueryCameraControl(std::shared_ptr<ICameraControl>* out) override {
        *out = cameraControl;
        return cameraControl ? S_OK : E_NOINTERFACE;
    }
    std::shared_ptr<ITopologyInfo> topology;
    std::shared_ptr<FakePropertySet> propertySet;
    std::shared_ptr<FakeControls> procAmp;
    std::shared_ptr<FakeControls> cameraControl;
};

struct OpenCall {
    std::wstring path;
    std::uint32_t access, share, flags;
};

class FakeWorld final : public IDeviceWorld {
public:
    HRESULT CreateClassEnumerator(const Guid&, std::shared_ptr<IEnumMoniker>*) override { return S_FALSE; }
    std::unique_ptr<IDeviceHandle> CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                                              std::uint32_t flags, std::uint32_t* lastError) override {
        opens.push_back({path, access, share, flags});
        if (heldPaths.count(path)) {
            *lastError = ERROR_SHARING_VIOLATION;
            return nullptr;
        }
        if (!knownPaths.count(path)) {
            *lastError = ERROR_FILE_NOT_FOUND;
            return nullptr;
        }
        return std::make_unique<FakeHandle>(io, ++nextHandle);
    }
    bool SetupDiClassGuidsFromName(const std::wstring& name, std::vector<Guid>* out) override {
        if (name != L"Image" || imageClasses.empty()) return false;
        *out = imageClasses;
        return true;
    }
    bool SetupDiGetClassDevs(const Guid& cls, std::uint32_t flags, std::vector<SetupDevice>* out) override {
        classDevsFlags.push_back(flags);
        auto it = devices.find(cls.toString());
        if (it == devices.end()) return false;
        *out = it->second;
        return true;
    }
    std::uint64_t RegisterDeviceNotification(DeviceNoticeCallback, const DeviceInterfaceNotice&, std::uint32_t,
                                             std::uint32_t* lastError) override {
        *lastError = ERROR_NOT_SUPPORTED;
        return 0;
    }
    bool UnregisterDeviceNotification(std::uint64_t, std::uint32_t*) override { return false; }

    std::shared_ptr<IoState> io = std::make_shared<IoState>();
    std::map<std::wstring, int> knownPaths, heldPaths;
    std::vector<OpenCall> opens;
    std::uint32_t nextHandle = 0x40;
    std::vector<Guid> imageClasses;
    std::map<std::string, std::vector<SetupDevice>> devices;  // by class GUID text
    std::vector<std::uint32_t> classDevsFlags;
};

}  // namespace fake
