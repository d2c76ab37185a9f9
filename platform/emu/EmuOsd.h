#pragma once
// The camera side of the on-screen display control (vendor unit, control 0x13, 18 bytes).
// A written block whose code has bit 0x80 only selects what the next read returns; any
// other code sets its feature from byte 1 on. A read carries the selected record from
// byte 0 on. The camera keeps everything it is told; the meaning of the records belongs to
// the firmware, so they are stored and returned byte for byte.
#include <array>
#include <cstdint>
#include <map>

namespace lumo::os::emu {

class EmuOsd {
public:
    static constexpr std::uint32_t kBlockLength = 18;
    static constexpr std::uint32_t kRecordLength = 9;  // window and colour
    static constexpr std::uint32_t kTimeLength = 8;
    static constexpr std::uint32_t kStringLength = 16;  // as it travels: number MSB first

    bool set(const std::uint8_t* data, std::uint32_t len);
    bool get(std::uint8_t* data, std::uint32_t len);

    // State for tests (and for a camera that wants to show it).
    std::uint8_t enable() const { return m_bEnable; }
    const std::array<std::uint8_t, kTimeLength>& time() const { return m_Time; }
    const std::array<std::uint8_t, kRecordLength>& window() const { return m_Window; }
    const std::array<std::uint8_t, kRecordLength>& colour() const { return m_Colour; }
    // The string of a slot as it was sent (block bytes 2 to 17); zeros for an unused slot.
    std::array<std::uint8_t, kStringLength> string(std::uint8_t slot) const;
    std::uint32_t resetCount() const { return m_dwResets; }
    std::uint32_t hdrWriteCount() const { return m_dwHdrWrites; }
    // The read code the next get answers (0: nothing selected yet) and its string slot.
    std::uint8_t selectedCode() const { return m_bReadCode; }
    std::uint8_t selectedSlot() const { return m_bReadSlot; }

private:
    void clear();

    std::uint8_t m_bEnable = 0;
    std::array<std::uint8_t, kTimeLength> m_Time{};
    std::array<std::uint8_t, kRecordLength> m_Window{};
    std::array<std::uint8_t, kRecordLength> m_Colour{};
    std::map<std::uint8_t, std::array<std::uint8_t, kStringLength>> m_Strings;
    std::uint32_t m_dwResets = 0;
    std::uint32_t m_dwHdrWrites = 0;
    std::uint8_t m_bReadCode = 0;
    std::uint8_t m_bReadSlot = 0;
};

}  // namespace lumo::os::emu
