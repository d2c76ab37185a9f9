// The on-screen display commands: every one is an 18-byte block on XU_CTRL_OSD. A write
// carries its command code in byte 0 and its parameters from byte 1; a read writes the
// feature's read code (the feature bit with 0x80) to tell the camera what the following get
// returns, and the reply's record starts at byte 0.
#include <algorithm>
#include <array>
#include <cstdint>

#include "common/trace/DEdura.h"
#include "sdk/device/LumoDev.h"

namespace {

using OsdBlock = std::array<std::uint8_t, kOsdBlockSize>;

// Command codes, one bit a feature; a read code adds 0x80.
constexpr std::uint8_t kOsdEnable = 0x01;
constexpr std::uint8_t kOsdReset = 0x02;
constexpr std::uint8_t kOsdTime = 0x04;
constexpr std::uint8_t kOsdString = 0x08;
constexpr std::uint8_t kOsdWindow = 0x10;
constexpr std::uint8_t kOsdColour = 0x20;
constexpr std::uint8_t kOsdHdrWrite = 0x40;
constexpr std::uint8_t kOsdRead = 0x80;

constexpr std::size_t kTimeLen = 8;
constexpr std::size_t kStringLen = 16;
constexpr std::size_t kWindowLen = 9;  // the colour record has the same size

// The messages a failed read handshake leaves; window and colour share the string's.
struct HandshakeTexts {
    const char* setStep;
    const char* getStep;
};
constexpr HandshakeTexts kEnableTexts{"Get Enable Fail when set read mode XXXXXXXX",
                                      "Get Enable Fail when get read mode XXXXXXXX"};
constexpr HandshakeTexts kTimeTexts{"Get Time Fail when set read mode XXXXXXXX",
                                    "Get Time Fail when get read mode XXXXXXXX"};
constexpr HandshakeTexts kStringTexts{"Get String Fail when set read mode XXXXXXXX",
                                      "Get String Fail when get read mode XXXXXXXX"};

void traceBlock(const std::uint8_t* b) {
    XTRACE(1)
    ("Set OSD Data[0-16] =            %02X, %02X, %02X, %02X, %02X, %02X, %02X, %02X,"
     "            %02X, %02X, %02X, %02X, %02X, %02X, %02X, %02X,",
     b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
}

// Write one block built from a code and parameters at byte `at`; the rest stays zero.
std::int32_t writeFeature(CLumoDev& dev, const char* name, std::uint8_t code, const std::uint8_t* params = nullptr,
                          std::size_t length = 0, std::size_t at = 1) {
    XTRACE(1)("%s ===>", name);
    if (length != 0 && params == nullptr) {
        // No record to send: refused before any transfer rather than read through null.
        XTRACE(4)("%s: no record XXXXXXXXXX", name);
        XTRACE(1)("%s <===", name);
        return 0;
    }
    OsdBlock block{};
    block[0] = code;
    if (length != 0) std::copy_n(params, length, block.begin() + at);
    const std::int32_t ok = dev.XuSetOsdCtrl(block.data());
    XTRACE(1)("%s <===", name);
    return ok;
}

// The read handshake: select with the read code, then get the same control into `block`.
// The caller's record is filled by the caller only after both steps succeeded.
bool readFeature(CLumoDev& dev, const char* name, std::uint8_t readCode, std::uint8_t slot, const HandshakeTexts& texts,
                 OsdBlock& block, const void* out) {
    XTRACE(1)("%s ===>", name);
    if (out == nullptr) {
        XTRACE(4)("%s: no record XXXXXXXXXX", name);
        XTRACE(1)("%s <===", name);
        return false;
    }
    block.fill(0);
    block[0] = readCode;
    block[1] = slot;
    if (!dev.XuSetOsdCtrl(block.data())) {
        XTRACE(4)("%s", texts.setStep);
        XTRACE(1)("%s <===", name);
        return false;
    }
    if (!dev.XuGetOsdCtrl(block.data())) {
        XTRACE(4)("%s", texts.getStep);
        XTRACE(1)("%s <===", name);
        return false;
    }
    return true;
}

}  // namespace

std::int32_t CLumoDev::XuSetOsdCtrl(std::uint8_t* block18) {
    XTRACE(1)("%s ===>", "CLumoDev::XuSetOsdCtrl");
    if (!m_CtrlVer.HasXu()) {
        XTRACE(4)("the device can't support OSD XU command XXXXXXXXXX");
        XTRACE(1)("%s <===", "CLumoDev::XuSetOsdCtrl");
        return 0;
    }
    traceBlock(block18);
    std::uint32_t returned = 0;
    const std::int32_t ok = SetExtensionProperty(XU_CTRL_OSD, block18, kOsdBlockSize, &returned);
    XTRACE(1)("%s <===", "CLumoDev::XuSetOsdCtrl");
    return ok;
}

std::int32_t CLumoDev::XuGetOsdCtrl(std::uint8_t* block18) {
    XTRACE(1)("%s ===>", "CLumoDev::XuGetOsdCtrl");
    if (!m_CtrlVer.HasXu()) {
        XTRACE(1)("the device can't support OSD XU command XXXXXXXXXX");
        XTRACE(1)("%s <===", "CLumoDev::XuGetOsdCtrl");
        return 0;
    }
    std::uint32_t returned = 0;
    const std::int32_t ok = GetExtensionProperty(XU_CTRL_OSD, block18, kOsdBlockSize, &returned);
    traceBlock(block18);
    if (!ok) {
        XTRACE(4)("OSD can't not set XXXXXXXXXXXXXXXXXXXX");
    }
    XTRACE(1)("%s <===", "CLumoDev::XuGetOsdCtrl");
    return ok;
}

std::int32_t CLumoDev::XuOsdEnableSet(std::int32_t enable) {
    const std::uint8_t on = enable != 0 ? 1 : 0;
    return writeFeature(*this, "CLumoDev::XuOsdEnableSet", kOsdEnable, &on, 1);
}

std::int32_t CLumoDev::XuOsdReset() {
    return writeFeature(*this, "CLumoDev::XuOsdReset", kOsdReset);
}

std::int32_t CLumoDev::XuOsdTimeSyncSet(const std::uint8_t* time8) {
    return writeFeature(*this, "CLumoDev::XuOsdTimeSyncSet", kOsdTime, time8, kTimeLen);
}

std::int32_t CLumoDev::XuOsdStringSet(std::uint8_t slot, const std::uint8_t* string16) {
    // The record's leading 16-bit number is held least significant byte first and travels
    // most significant byte first. The exchange is made in the block: callers reuse records.
    if (string16 == nullptr)
        return writeFeature(*this, "CLumoDev::XuOsdStringSet", kOsdString, nullptr, 1 + kStringLen);
    std::array<std::uint8_t, 1 + kStringLen> params{};
    params[0] = slot;
    std::copy_n(string16, kStringLen, params.begin() + 1);
    std::swap(params[1], params[2]);
    return writeFeature(*this, "CLumoDev::XuOsdStringSet", kOsdString, params.data(), params.size());
}

std::int32_t CLumoDev::XuOsdWindowSet(const std::uint8_t* window9) {
    return writeFeature(*this, "CLumoDev::XuOsdWindowSet", kOsdWindow, window9, kWindowLen);
}

std::int32_t CLumoDev::XuOsdColorSet(const std::uint8_t* color9) {
    return writeFeature(*this, "CLumoDev::XuOsdColorSet", kOsdColour, color9, kWindowLen);
}

std::int32_t CLumoDev::XuOsdHdrWrite() {
    return writeFeature(*this, "CLumoDev::XuOsdHdrWrite", kOsdHdrWrite);
}

std::int32_t CLumoDev::XuOsdEnableGet(std::uint8_t* enable) {
    OsdBlock block{};
    if (!readFeature(*this, "CLumoDev::XuOsdEnableGet", kOsdRead | kOsdEnable, 0, kEnableTexts, block, enable))
        return 0;
    *enable = block[0];
    XTRACE(1)("%s <===", "CLumoDev::XuOsdEnableGet");
    return 1;
}

std::int32_t CLumoDev::XuOsdTimeSyncGet(std::uint8_t* time8) {
    OsdBlock block{};
    if (!readFeature(*this, "CLumoDev::XuOsdTimeSyncGet", kOsdRead | kOsdTime, 0, kTimeTexts, block, time8)) return 0;
    std::copy_n(block.begin(), kTimeLen, time8);
    XTRACE(1)("%s <===", "CLumoDev::XuOsdTimeSyncGet");
    return 1;
}

std::int32_t CLumoDev::XuOsdStringGet(std::uint8_t slot, std::uint8_t* string16) {
    OsdBlock block{};
    if (!readFeature(*this, "CLumoDev::XuOsdStringGet", kOsdRead | kOsdString, slot, kStringTexts, block, string16))
        return 0;
    std::copy_n(block.begin(), kStringLen, string16);
    std::swap(string16[0], string16[1]);  // back to the caller's order
    XTRACE(1)("%s <===", "CLumoDev::XuOsdStringGet");
    return 1;
}

std::int32_t CLumoDev::XuOsdWindowGet(std::uint8_t* window9) {
    OsdBlock block{};
    if (!readFeature(*this, "CLumoDev::XuOsdWindowGet", kOsdRead | kOsdWindow, 0, kStringTexts, block, window9))
        return 0;
    std::copy_n(block.begin(), kWindowLen, window9);
    XTRACE(1)("%s <===", "CLumoDev::XuOsdWindowGet");
    return 1;
}

std::int32_t CLumoDev::XuOsdColorGet(std::uint8_t* color9) {
    OsdBlock block{};
    if (!readFeature(*this, "CLumoDev::XuOsdColorGet", kOsdRead | kOsdColour, 0, kStringTexts, block, color9)) return 0;
    std::copy_n(block.begin(), kWindowLen, color9);
    XTRACE(1)("%s <===", "CLumoDev::XuOsdColorGet");
    return 1;
}
