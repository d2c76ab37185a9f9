#pragma once
// The camera's on-screen display control (vendor selector 0x13), answered on "XU" cameras.
#include <cstdint>

namespace lumo::os::emu {

class EmuOsd {
public:
    bool set(const std::uint8_t* data, std::uint32_t len);
    bool get(std::uint8_t* data, std::uint32_t len);
};

}  // namespace lumo::os::emu
