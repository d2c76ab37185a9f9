#pragma once
// Opens the first candidate of an emulated world the way the enumeration does: property bag,
// capture filter, driver mode, I/O handles. Tests and benchmarks of the command layer start
// from a camera object opened this way. Unlike the enumeration it opens the handles even when
// the driver mode is not found (a camera without topology is then driven through the property
// set), so tests can drive such cameras too. False when there is no candidate or the open fails.
#include "platform/DeviceWorld.h"
#include "platform/emu/EmuWorld.h"
#include "sdk/uvc/UvcDev.h"

namespace lumo::test {

inline bool openFirstCandidate(lumo::os::emu::EmuWorld& world, CUvcDev& dev) {
    namespace os = lumo::os;
    std::shared_ptr<os::IEnumMoniker> walk;
    if (world.CreateClassEnumerator(os::guids::kVideoInputDeviceCategory, &walk) != os::S_OK || !walk) return false;
    std::shared_ptr<os::IMoniker> moniker;
    if (walk->Next(&moniker) != os::S_OK || !moniker) return false;
    std::shared_ptr<os::IPropertyBag> bag;
    if (moniker->BindToStorage(&bag) != os::S_OK || !dev.QueryPropBagParams(bag.get())) return false;
    if (moniker->BindToObject(&dev.m_pBaseFilter) != os::S_OK) return false;
    dev.QueryDriverType();
    return dev.AcquireIoHandle() != 0;
}

}  // namespace lumo::test
