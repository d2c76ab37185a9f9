#pragma once
// A USB UVC camera presented through gadgetfs: the descriptors of a camera with a vendor
// extension unit and an H.264 extension unit, and the class requests answered by a handler.
#include <cstdint>
#include <string>
#include <vector>

namespace lumo::kerneltest {

// What answers the extension-unit controls (the emulated camera behind the gadget).
class IUnitControls {
public:
    virtual ~IUnitControls() = default;
    // Length of a control, 0 when the unit has no such control.
    virtual std::uint16_t length(bool h264Unit, std::uint8_t selector) = 0;
    virtual bool set(bool h264Unit, std::uint8_t selector, const std::uint8_t* data, std::uint16_t len) = 0;
    virtual bool get(bool h264Unit, std::uint8_t selector, std::uint8_t* data, std::uint16_t len) = 0;
};

struct GadgetIdentity {
    std::uint16_t vid = 0x0C45;
    std::uint16_t pid = 0x6366;
    std::uint16_t bcdDevice = 0x0100;
};

// Unit ids in the VideoControl interface.
inline constexpr std::uint8_t kInputTerminalId = 1;
inline constexpr std::uint8_t kVendorUnitId = 2;
inline constexpr std::uint8_t kH264UnitId = 3;
inline constexpr std::uint8_t kOutputTerminalId = 4;

// The configuration descriptor (configuration, association, VideoControl and VideoStreaming
// interfaces with their class descriptors, one bulk endpoint) for one bus speed.
std::vector<std::uint8_t> buildConfigDescriptor(bool highSpeed);
std::vector<std::uint8_t> buildDeviceDescriptor(const GadgetIdentity& id);

// Runs the gadget on a gadgetfs controller file (e.g. /dev/gadget/dummy_udc), answering setup
// requests with the handler, until the controller file fails. Returns non-zero then.
int runGadget(const std::string& controllerPath, const GadgetIdentity& id, IUnitControls& controls, bool verbose);

}  // namespace lumo::kerneltest
