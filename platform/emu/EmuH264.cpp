#include "platform/emu/EmuH264.h"

#include <algorithm>

namespace {

// QP limits a frame type reports before the host sets any.
constexpr std::uint8_t kDefaultMinQp = 10;
constexpr std::uint8_t kDefaultMaxQp = 51;

// Rate-control modes the encoder knows: CBR, VBR, constant QP.
bool validRateMode(std::uint8_t mode) {
    return mode >= 1 && mode <= 3;
}

}  // namespace

namespace lumo::os::emu {

std::uint32_t EmuH264::controlLength(std::uint8_t selector) {
    switch (selector) {
        case kRateControlMode:
            return 4;
        case kPictureType:
            return 4;
        case kVersion:
            return 2;
        case kEncoderReset:
            return 2;
        case kBitrateLayers:
            return 10;
        case kQpStepsLayers:
            return 6;
        default:
            return 0;
    }
}

bool EmuH264::set(std::uint8_t selector, const std::uint8_t* data, std::uint32_t len) {
    if (data == nullptr || len == 0 || len != controlLength(selector)) return false;
    switch (selector) {
        case kRateControlMode:
            if (!validRateMode(data[2])) return false;
            std::copy_n(data, m_RateControl.size(), m_RateControl.begin());
            return true;
        case kPictureType:
            std::copy_n(data, m_NextFrame.size(), m_NextFrame.begin());
            ++m_dwNextFrameRequests;
            return true;
        case kEncoderReset:
            m_wResetLayer = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
            ++m_dwResets;
            return true;
        case kBitrateLayers:
            std::copy_n(data, m_Bitrate.size(), m_Bitrate.begin());
            return true;
        case kQpStepsLayers: {
            const std::uint8_t type = data[2];
            const std::uint8_t minQp = data[3];
            const std::uint8_t maxQp = data[4];
            // Minimum and maximum both 0 only select the frame type the next get reports.
            if (minQp != 0 || maxQp != 0) {
                if (minQp > maxQp) return false;
                auto& rec = m_Qp[type];
                std::copy_n(data, rec.size(), rec.begin());
            }
            m_bQpFrameType = type;
            return true;
        }
        default:
            return false;  // the version is read-only
    }
}

bool EmuH264::get(std::uint8_t selector, std::uint8_t* data, std::uint32_t len) {
    if (data == nullptr || len == 0 || len != controlLength(selector)) return false;
    switch (selector) {
        case kRateControlMode:
            std::copy(m_RateControl.begin(), m_RateControl.end(), data);
            return true;
        case kVersion:
            // The version travels most significant byte first.
            data[0] = static_cast<std::uint8_t>(m_wVersion >> 8);
            data[1] = static_cast<std::uint8_t>(m_wVersion & 0xFF);
            return true;
        case kBitrateLayers:
            std::copy(m_Bitrate.begin(), m_Bitrate.end(), data);
            return true;
        case kQpStepsLayers: {
            const auto rec = qpSteps(m_bQpFrameType);
            std::copy(rec.begin(), rec.end(), data);
            return true;
        }
        default:
            return false;  // picture type and reset are set-only
    }
}

std::array<std::uint8_t, 6> EmuH264::qpSteps(std::uint8_t frameType) const {
    const auto it = m_Qp.find(frameType);
    if (it != m_Qp.end()) return it->second;
    return {0x00, 0x00, frameType, kDefaultMinQp, kDefaultMaxQp, 0x00};
}

}  // namespace lumo::os::emu
