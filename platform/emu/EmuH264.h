#pragma once
// The H.264 extension unit of a camera with an encoder (node 1 of its topology).
#include <cstdint>

namespace lumo::os::emu {

class EmuH264 {
public:
    bool set(std::uint8_t selector, const std::uint8_t* data, std::uint32_t len);
    bool get(std::uint8_t selector, std::uint8_t* data, std::uint32_t len);
};

}  // namespace lumo::os::emu
