// The H.264 encoder commands: each one get or one set of one control of the H.264 unit.
// Records travel byte for byte as the caller holds them (16-bit fields least significant
// byte first), except the bit-rate record, whose layer travels most significant byte first
// in a 10-byte block.
#include <algorithm>
#include <array>
#include <cstdint>

#include "common/trace/DEdura.h"
#include "sdk/device/LumoDev.h"

namespace {

constexpr std::uint32_t kRateCtrlLen = 4;
constexpr std::uint32_t kPictureTypeLen = 4;
constexpr std::uint32_t kResetLen = 2;
constexpr std::uint32_t kBitrateBlockLen = 10;
constexpr std::uint32_t kQpLen = 6;

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void putLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Entry, refusal of a missing record, and the failure/exit records every operation shares.
class H264Call {
public:
    explicit H264Call(const char* name) : m_name(name) { XTRACE(0)("%s ===>", m_name); }
    ~H264Call() { XTRACE(0)("%s <===", m_name); }
    H264Call(const H264Call&) = delete;
    H264Call& operator=(const H264Call&) = delete;

    std::int32_t fail(const char* text) const {
        XTRACE(4)("%s", text);
        return 0;
    }

private:
    const char* m_name;
};

}  // namespace

std::int32_t CLumoDev::XuH264RateCtrlModeGet(std::uint8_t* rateCtrl4) {
    H264Call call("CLumoDev::XuH264RateCtrlModeGet");
    std::uint32_t returned = 0;
    if (rateCtrl4 == nullptr || !GetH264ExtensionProperty(UVCX_RATE_CONTROL_MODE, rateCtrl4, kRateCtrlLen, &returned))
        return call.fail("XuGetH264RateCtrlMode FAILED.XXXXXXXXXX");
    XTRACE(0)("*pH264 Rate Ctrl layer = %02X", le16(rateCtrl4));
    XTRACE(0)("*pH264 Rate Ctrl Mode = %02X , 1:CBR mode, 2:VBR mode, 3:Constant QP mode", rateCtrl4[2]);
    return 1;
}

std::int32_t CLumoDev::XuH264RateCtrlModeSet(const std::uint8_t* rateCtrl4) {
    H264Call call("CLumoDev::XuH264RateCtrlModeSet");
    if (rateCtrl4 == nullptr) return call.fail("XuSetH264RateCtrlMode FAILED.XXXXXXXXXX");
    std::array<std::uint8_t, kRateCtrlLen> data{};
    std::copy_n(rateCtrl4, data.size(), data.begin());
    std::uint32_t returned = 0;
    if (!SetH264ExtensionProperty(UVCX_RATE_CONTROL_MODE, data.data(), kRateCtrlLen, &returned))
        return call.fail("XuSetH264RateCtrlMode FAILED.XXXXXXXXXX");
    XTRACE(0)("*pH264 Rate Ctrl layer = %02X", le16(rateCtrl4));
    XTRACE(0)("*pH264 Rate Ctrl Mode = %02X, 1:CBR mode, 2:VBR mode, 3:Constant QP mode", rateCtrl4[2]);
    return 1;
}

std::int32_t CLumoDev::XuH264BitRateTargetGet(std::uint8_t* bitRate12) {
    H264Call call("CLumoDev::XuH264BitRateTargetGet");
    if (bitRate12 == nullptr) return call.fail("XuGetH264BitRateTarget FAILED.XXXXXXXXXX");
    // Read into a block of our own, so a failed get leaves the caller's record as it was.
    std::array<std::uint8_t, kBitrateBlockLen> block{};
    std::uint32_t returned = 0;
    if (!GetH264ExtensionProperty(UVCX_BITRATE_LAYERS, block.data(), kBitrateBlockLen, &returned))
        return call.fail("XuGetH264BitRateTarget FAILED.XXXXXXXXXX");
    // Layer MSB first on the wire, LSB first in the record; bytes 2 and 3 are not ours.
    bitRate12[0] = block[1];
    bitRate12[1] = block[0];
    const std::uint32_t peak = le32(block.data() + 2);
    const std::uint32_t average = le32(block.data() + 6);
    putLe32(bitRate12 + 4, peak);
    putLe32(bitRate12 + 8, average);
    XTRACE(0)("*dwAverageBitrate = 0x%04X", average);
    XTRACE(0)("*dwPeakBitrate = 0x%04X", peak);
    return 1;
}

std::int32_t CLumoDev::XuH264BitRateTargetSet(const std::uint8_t* bitRate12) {
    H264Call call("CLumoDev::XuH264BitRateTargetSet");
    if (bitRate12 == nullptr) return call.fail("XuSetH264BitRateTarget FAILED.XXXXXXXXXX");
    std::array<std::uint8_t, kBitrateBlockLen> block{};
    const std::uint16_t layer = le16(bitRate12);
    block[0] = static_cast<std::uint8_t>(layer >> 8);
    block[1] = static_cast<std::uint8_t>(layer & 0xFF);
    putLe32(block.data() + 2, le32(bitRate12 + 4));
    putLe32(block.data() + 6, le32(bitRate12 + 8));
    std::uint32_t returned = 0;
    if (!SetH264ExtensionProperty(UVCX_BITRATE_LAYERS, block.data(), kBitrateBlockLen, &returned))
        return call.fail("XuSetH264BitRateTarget FAILED.XXXXXXXXXX");
    return 1;
}

std::int32_t CLumoDev::XuH264QpStepsGet(std::uint8_t* qpSteps6) {
    H264Call call("CLumoDev::XuH264QpStepsGet");
    std::uint32_t returned = 0;
    if (qpSteps6 == nullptr || !GetH264ExtensionProperty(UVCX_QP_STEPS_LAYERS, qpSteps6, kQpLen, &returned))
        return call.fail("XuGetH264QpSteps FAILED.XXXXXXXXXX");
    XTRACE(0)("Qp-> Min=%2X, Max=%2X, Type=%2X ", qpSteps6[3], qpSteps6[4], qpSteps6[2]);
    return 1;
}

std::int32_t CLumoDev::XuH264QpStepsSet(const std::uint8_t* qpSteps6) {
    H264Call call("CLumoDev::XuH264QpStepsSet");
    if (qpSteps6 == nullptr) return call.fail("XuSetH264QpSteps FAILED.XXXXXXXXXX");
    std::array<std::uint8_t, kQpLen> data{};
    std::copy_n(qpSteps6, data.size(), data.begin());
    std::uint32_t returned = 0;
    if (!SetH264ExtensionProperty(UVCX_QP_STEPS_LAYERS, data.data(), kQpLen, &returned))
        return call.fail("XuSetH264QpSteps FAILED.XXXXXXXXXX");
    XTRACE(0)("Qp-> Min=%2X, Max=%2X, Type=%2X ", data[3], data[4], data[2]);
    return 1;
}

std::int32_t CLumoDev::XuH264NextFrameTypeSet(const std::uint8_t* frameType4) {
    H264Call call("CLumoDev::XuH264NextFrameTypeSet");
    if (frameType4 == nullptr) return call.fail("XuSetH264NextFrameType FAILED.XXXXXXXXXX");
    std::array<std::uint8_t, kPictureTypeLen> data{};
    std::copy_n(frameType4, data.size(), data.begin());
    std::uint32_t returned = 0;
    if (!SetH264ExtensionProperty(UVCX_PICTURE_TYPE_CONTROL, data.data(), kPictureTypeLen, &returned))
        return call.fail("XuSetH264NextFrameType FAILED.XXXXXXXXXX");
    XTRACE(0)("Frame type = %2X", le16(data.data() + 2));
    return 1;
}

std::int32_t CLumoDev::XuH264Reset(const std::uint8_t* reset2) {
    H264Call call("CLumoDev::XuH264Reset");
    if (reset2 == nullptr) return call.fail("XuSetH264Reset FAILED.XXXXXXXXXX");
    std::array<std::uint8_t, kResetLen> data{};
    std::copy_n(reset2, data.size(), data.begin());
    std::uint32_t returned = 0;
    if (!SetH264ExtensionProperty(UVCX_ENCODER_RESET, data.data(), kResetLen, &returned))
        return call.fail("XuSetH264Reset FAILED.XXXXXXXXXX");
    return 1;
}
