#include "platform/emu/EmuOsd.h"

#include <algorithm>
#include <cstring>

namespace {

// Feature bits of the command code; a read code is the feature's bit with 0x80 added.
constexpr std::uint8_t kEnable = 0x01;
constexpr std::uint8_t kReset = 0x02;
constexpr std::uint8_t kTime = 0x04;
constexpr std::uint8_t kString = 0x08;
constexpr std::uint8_t kWindow = 0x10;
constexpr std::uint8_t kColour = 0x20;
constexpr std::uint8_t kHdrWrite = 0x40;
constexpr std::uint8_t kRead = 0x80;

}  // namespace

namespace lumo::os::emu {

bool EmuOsd::set(const std::uint8_t* data, std::uint32_t len) {
    if (data == nullptr || len != kBlockLength) return false;
    const std::uint8_t code = data[0];
    if ((code & kRead) != 0) {
        // Only the readable features answer; 0xA0 is the colour read, not a colour write.
        switch (code & ~kRead) {
            case kEnable:
            case kTime:
            case kString:
            case kWindow:
            case kColour:
                m_bReadCode = code;
                m_bReadSlot = data[1];
                return true;
            default:
                return false;
        }
    }
    switch (code) {
        case kEnable:
            m_bEnable = data[1];
            return true;
        case kReset:
            clear();
            ++m_dwResets;
            return true;
        case kTime:
            std::copy_n(data + 1, kTimeLength, m_Time.begin());
            return true;
        case kString: {
            auto& s = m_Strings[data[1]];
            std::copy_n(data + 2, kStringLength, s.begin());
            return true;
        }
        case kWindow:
            std::copy_n(data + 1, kRecordLength, m_Window.begin());
            return true;
        case kColour:
            std::copy_n(data + 1, kRecordLength, m_Colour.begin());
            return true;
        case kHdrWrite:
            ++m_dwHdrWrites;
            return true;
        default:
            // No code, or several features at once: the firmware stalls the request.
            return false;
    }
}

bool EmuOsd::get(std::uint8_t* data, std::uint32_t len) {
    if (data == nullptr || len != kBlockLength) return false;
    std::memset(data, 0, len);
    switch (m_bReadCode & ~kRead) {
        case kEnable:
            data[0] = m_bEnable;
            break;
        case kTime:
            std::copy(m_Time.begin(), m_Time.end(), data);
            break;
        case kString: {
            const auto s = string(m_bReadSlot);
            std::copy(s.begin(), s.end(), data);
            break;
        }
        case kWindow:
            std::copy(m_Window.begin(), m_Window.end(), data);
            break;
        case kColour:
            std::copy(m_Colour.begin(), m_Colour.end(), data);
            break;
        default:
            break;  // nothing selected yet: an all-zero block
    }
    return true;
}

std::array<std::uint8_t, EmuOsd::kStringLength> EmuOsd::string(std::uint8_t slot) const {
    const auto it = m_Strings.find(slot);
    return it == m_Strings.end() ? std::array<std::uint8_t, kStringLength>{} : it->second;
}

void EmuOsd::clear() {
    m_bEnable = 0;
    m_Time.fill(0);
    m_Window.fill(0);
    m_Colour.fill(0);
    m_Strings.clear();
    m_bReadCode = 0;
    m_bReadSlot = 0;
}

}  // namespace lumo::os::emu
