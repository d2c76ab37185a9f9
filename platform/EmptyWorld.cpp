#include "platform/EmptyWorld.h"

namespace lumo::os {
namespace {

class EmptyWorld final : public IDeviceWorld {
public:
    HRESULT CreateClassEnumerator(const Guid&, std::shared_ptr<IEnumMoniker>* out) override {
        if (out) out->reset();
        return S_FALSE;
    }
    std::unique_ptr<IDeviceHandle> CreateFile(const std::wstring&, std::uint32_t, std::uint32_t, std::uint32_t,
                                              std::uint32_t* lastError) override {
        if (lastError) *lastError = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    bool SetupDiClassGuidsFromName(const std::wstring&, std::vector<Guid>* guids) override {
        if (guids) guids->assign(1, guids::kImageSetupClass);
        return true;
    }
    bool SetupDiGetClassDevs(const Guid&, std::uint32_t, std::vector<SetupDevice>* devices) override {
        if (devices) devices->clear();
        return true;
    }
    std::uint64_t RegisterDeviceNotification(DeviceNoticeCallback, const DeviceInterfaceNotice&, std::uint32_t,
                                             std::uint32_t*) override {
        return ++m_next;
    }
    bool UnregisterDeviceNotification(std::uint64_t, std::uint32_t*) override { return true; }

private:
    std::uint64_t m_next = 0;
};

}  // namespace

std::shared_ptr<IDeviceWorld> makeEmptyWorld() {
    return std::make_shared<EmptyWorld>();
}

}  // namespace lumo::os
