// The Linux world's reader of a camera's raw USB descriptors: the first input byte is the
// VideoControl interface number, the rest the descriptors as sysfs shows them.
#include "fuzz/FuzzSupport.h"
#include "platform/linux/UvcDescriptorParser.h"

namespace lumo::fuzz::uvc_descriptor {

int lumoFuzzOne(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const int interfaceNumber = in.byte();
    const std::string_view rest = in.rest();
    // An exact copy, so a read one past the descriptors is caught.
    std::vector<std::uint8_t> bytes(rest.begin(), rest.end());
    const auto units = lumo::os::linuxworld::parseVideoControlUnits(bytes.data(), bytes.size(), interfaceNumber);
    // Every unit is one descriptor of at least 4 bytes.
    LUMO_FUZZ_CHECK(units.size() * 4 <= bytes.size());
    return 0;
}

}  // namespace lumo::fuzz::uvc_descriptor

LUMO_FUZZ_TARGET(uvc_descriptor)
