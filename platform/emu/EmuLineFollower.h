#pragma once
// A world that follows its line file while a program runs: a camera section added to the file
// is a plug, a section removed is an unplug, each with its notices. The file is looked at a
// few times a second; a file that does not parse keeps the line as it was (with one message).
#include <memory>
#include <string>

#include "platform/DeviceWorld.h"
#include "platform/emu/EmuWorld.h"

namespace lumo::os::emu {

class EmuLineFollower final : public IDeviceWorld {
public:
    EmuLineFollower(std::shared_ptr<EmuWorld> world, std::string lineFile);
    ~EmuLineFollower() override;

    EmuWorld& world() { return *m_world; }
    // Looks at the file once (the watcher thread does this on its own).
    void poll();

    HRESULT CreateClassEnumerator(const Guid& category, std::shared_ptr<IEnumMoniker>* out) override;
    std::unique_ptr<IDeviceHandle> CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                                              std::uint32_t flagsAndAttributes, std::uint32_t* lastError) override;
    bool SetupDiClassGuidsFromName(const std::wstring& className, std::vector<Guid>* guids) override;
    bool SetupDiGetClassDevs(const Guid& classGuid, std::uint32_t flags, std::vector<SetupDevice>* devices) override;
    std::uint64_t RegisterDeviceNotification(DeviceNoticeCallback recipient, const DeviceInterfaceNotice& filter,
                                             std::uint32_t flags, std::uint32_t* lastError) override;
    bool UnregisterDeviceNotification(std::uint64_t handle, std::uint32_t* lastError) override;

private:
    struct Watcher;
    std::shared_ptr<EmuWorld> m_world;
    std::unique_ptr<Watcher> m_watcher;
};

}  // namespace lumo::os::emu
