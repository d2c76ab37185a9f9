#include "platform/linux/UvcDescriptorParser.h"

namespace lumo::os::linuxworld {
namespace {

constexpr std::uint8_t kDescConfiguration = 0x02;
constexpr std::uint8_t kDescInterface = 0x04;
constexpr std::uint8_t kDescCsInterface = 0x24;
constexpr std::uint8_t kClassVideo = 0x0E;
constexpr std::uint8_t kSubclassVideoControl = 0x01;
constexpr std::uint8_t kVcSelectorUnit = 0x04;
constexpr std::uint8_t kVcProcessingUnit = 0x05;
constexpr std::uint8_t kVcExtensionUnit = 0x06;
constexpr std::uint8_t kVcEncodingUnit = 0x07;

// Extension unit: bLength, bDescriptorType, bDescriptorSubtype, bUnitID, guidExtensionCode[16],
// bNumControls, bNrInPins, baSourceID[p], bControlSize, bmControls[n], iExtension.
bool extensionUnit(const std::uint8_t* d, std::size_t len, UvcUnit* out) {
    if (len < 24) return false;
    const std::size_t p = d[21];
    if (len < 24 + p) return false;
    const std::size_t n = d[22 + p];
    if (len < 24 + p + n) return false;
    out->kind = UvcUnitKind::Extension;
    out->unitId = d[3];
    out->guidExtensionCode = Guid::fromBytes(d + 4);
    return true;
}

}  // namespace

std::vector<UvcUnit> parseVideoControlUnits(const std::uint8_t* bytes, std::size_t size, int interfaceNumber) {
    std::vector<UvcUnit> units;
    if (!bytes) return units;
    int configurations = 0;
    bool inTarget = false;
    std::size_t pos = 0;
    while (pos + 2 <= size) {
        const std::size_t len = bytes[pos];
        if (len < 2 || len > size - pos) break;  // zero or lying length: the rest cannot be trusted
        const std::uint8_t* d = bytes + pos;
        const std::uint8_t type = d[1];
        if (type == kDescConfiguration) {
            if (++configurations > 1) break;  // the camera runs its first configuration
            inTarget = false;
        } else if (type == kDescInterface) {
            inTarget = len >= 9 && d[2] == interfaceNumber && d[5] == kClassVideo && d[6] == kSubclassVideoControl;
        } else if (type == kDescCsInterface && inTarget && len >= 4) {
            UvcUnit unit;
            switch (d[2]) {
                case kVcExtensionUnit:
                    if (extensionUnit(d, len, &unit)) units.push_back(unit);
                    break;
                case kVcSelectorUnit:
                    units.push_back({UvcUnitKind::Selector, d[3], {}});
                    break;
                case kVcProcessingUnit:
                    units.push_back({UvcUnitKind::Processing, d[3], {}});
                    break;
                case kVcEncodingUnit:
                    units.push_back({UvcUnitKind::Encoding, d[3], {}});
                    break;
                default:
                    break;  // header and terminals are not units
            }
        }
        pos += len;
    }
    return units;
}

}  // namespace lumo::os::linuxworld
