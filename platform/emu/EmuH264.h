#pragma once
// The camera side of the H.264 extension unit: rate-control mode, bit-rate layers, QP
// steps per frame type, the unit's version, encoder reset and the next frame type. Each
// control has its fixed length; a request with another length, or a direction the control
// lacks, fails as the firmware would stall it.
#include <array>
#include <cstdint>
#include <map>

namespace lumo::os::emu {

class EmuH264 {
public:
    static constexpr std::uint8_t kRateControlMode = 0x03;  // 4 bytes, get and set
    static constexpr std::uint8_t kPictureType = 0x09;      // 4 bytes, set
    static constexpr std::uint8_t kVersion = 0x0A;          // 2 bytes, get
    static constexpr std::uint8_t kEncoderReset = 0x0B;     // 2 bytes, set
    static constexpr std::uint8_t kBitrateLayers = 0x0E;    // 10 bytes, get and set
    static constexpr std::uint8_t kQpStepsLayers = 0x0F;    // 6 bytes, get and set

    bool set(std::uint8_t selector, const std::uint8_t* data, std::uint32_t len);
    bool get(std::uint8_t selector, std::uint8_t* data, std::uint32_t len);

    // The fixed length of a control of this unit, 0 for a selector the unit lacks.
    static std::uint32_t controlLength(std::uint8_t selector);

    // Camera configuration and state for tests.
    void setVersion(std::uint16_t version) { m_wVersion = version; }
    std::uint16_t version() const { return m_wVersion; }
    const std::array<std::uint8_t, 4>& rateControl() const { return m_RateControl; }
    const std::array<std::uint8_t, 10>& bitrateBlock() const { return m_Bitrate; }
    // QP record of a frame type as the next get would report it (defaults if never set).
    std::array<std::uint8_t, 6> qpSteps(std::uint8_t frameType) const;
    std::uint8_t selectedFrameType() const { return m_bQpFrameType; }
    const std::array<std::uint8_t, 4>& nextFrameType() const { return m_NextFrame; }
    std::uint32_t nextFrameRequests() const { return m_dwNextFrameRequests; }
    std::uint32_t resetCount() const { return m_dwResets; }
    std::uint16_t lastResetLayer() const { return m_wResetLayer; }

private:
    std::uint16_t m_wVersion = 0x0110;
    std::array<std::uint8_t, 4> m_RateControl{0x00, 0x00, 0x01, 0x00};  // layer 0, CBR
    std::array<std::uint8_t, 10> m_Bitrate{};
    std::map<std::uint8_t, std::array<std::uint8_t, 6>> m_Qp;  // by frame type
    std::uint8_t m_bQpFrameType = 0;
    std::array<std::uint8_t, 4> m_NextFrame{};
    std::uint32_t m_dwNextFrameRequests = 0;
    std::uint32_t m_dwResets = 0;
    std::uint16_t m_wResetLayer = 0;
};

}  // namespace lumo::os::emu
