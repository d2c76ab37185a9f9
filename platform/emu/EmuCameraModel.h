#pragma once
// Inside of a virtual camera: the controller model behind EmuCamera. Used by the world's
// transport objects (handles, property sets) and by EmuCamera's accessors.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/emu/EmuChipProfile.h"
#include "platform/emu/EmuEeprom.h"
#include "platform/emu/EmuFlashTable.h"
#include "platform/emu/EmuH264.h"
#include "platform/emu/EmuOsd.h"
#include "platform/emu/EmuRomStore.h"
#include "platform/emu/EmuSpiFlash.h"
#include "platform/emu/EmuWorld.h"

namespace lumo::os::emu {

inline constexpr std::uint32_t kVendorNodeWithEncoder = 0;
inline constexpr std::uint32_t kVendorNodePlain = 2;
inline constexpr std::uint32_t kH264Node = 1;
inline constexpr std::uint32_t ERROR_NOT_FOUND_ = 1168;
inline constexpr HRESULT E_PROP_ID_UNSUPPORTED = 0x80070490;
inline constexpr HRESULT E_PROP_SET_UNSUPPORTED = 0x80070492;

// One request as the transport hands it over.
struct IncomingRequest {
    Route route = Route::DevicePath;
    Guid unit;
    std::uint32_t selector = 0;
    std::uint32_t flags = 0;
    std::uint32_t nodeId = 0;
    std::uint32_t instanceLength = 0;
    std::uint32_t propertyLength = 0;
    bool set = false;
    std::uint64_t generation = 0;  // of the handle or filter that carries it
};

enum class RequestOutcome { Ok, Failed, NotConnected, NotFound, BadLength };

struct EmuCamera::Impl {
    Impl(const CameraConfig& cfg, std::size_t index, std::string* error);

    // Carries one request; data holds len bytes (sent for a set, reply for a get).
    RequestOutcome request(const IncomingRequest& in, std::uint8_t* data, std::uint32_t len);

    void powerOn();  // volatile state to power-on values (caller holds mu)
    std::uint32_t vendorNode() const { return cfg.xu ? kVendorNodeWithEncoder : kVendorNodePlain; }
    bool hasVendorUnit() const { return chip != nullptr; }
    bool wpHigh() const { return cfg.em ? (wpControl == 0) : (regs[0x0020] & 1) != 0; }
    // The next log record for a request (caller holds mu): numbered, with the data of a set.
    RequestRecord newRecord(const IncomingRequest& in, const std::uint8_t* data, std::size_t len) {
        RequestRecord rec;
        rec.number = ++requestNo;
        rec.route = in.route;
        rec.unit = in.unit;
        rec.selector = in.selector;
        rec.flags = in.flags;
        rec.nodeId = in.nodeId;
        rec.instanceLength = in.instanceLength;
        rec.propertyLength = in.propertyLength;
        rec.set = in.set;
        if (in.set && data) rec.data.assign(data, data + len);
        return rec;
    }

    // Set by the world: called (without mu held) when the camera asks to reset or vanish.
    std::function<void()> onReset;
    std::function<void()> onVanish;

    CameraConfig cfg;
    std::size_t index;
    std::wstring instance;
    const ChipProfile* chip = nullptr;
    const FlashChipRow* flashChip = nullptr;

    std::atomic<bool> present{false};
    std::atomic<std::uint64_t> generation{1};
    std::atomic<bool> held{false};
    int openCount = 0;  // handles of the current generation (world mutex)
    bool openExclusive = false;

    mutable std::mutex mu;  // the controller state below
    std::unique_ptr<EmuRomStore> store;
    std::unique_ptr<EmuSpiFlash> flash;
    std::unique_ptr<EmuEeprom> eeprom;
    std::vector<std::uint8_t> regs, mcu, sensor, code;
    std::uint8_t romType = 0xFF;
    std::uint8_t wpControl = 1;
    struct Selection {
        bool valid = false;
        std::uint8_t b0 = 0;
        std::uint16_t address = 0;
        std::uint8_t length = 0;
    };
    std::array<Selection, 9> selections{};
    std::vector<std::uint8_t> gather;
    std::uint16_t gatherAddress = 0;
    std::vector<RequestRecord> log;
    std::uint64_t requestNo = 0;
    Faults faults;
    std::atomic<std::uint32_t> latencyUs{0};
    Timings timings;
    EmuOsd osd;
    EmuH264 h264;

private:
    bool vendor(bool set, std::uint8_t selector, std::uint8_t* data, std::uint32_t len, bool* resetAsked);
    bool sequenceSet(std::uint8_t selector, const std::uint8_t* block, bool* resetAsked);
    bool sequenceGet(std::uint8_t selector, std::uint8_t* block);
    void regWrite(std::uint16_t address, std::uint8_t value, bool* resetAsked);
    std::uint8_t regRead(std::uint16_t address) const;
    void spiTransaction(std::uint8_t control);
    // the ROM bus chosen by the type code: 0 none, 1 and 2 I2C modes, 3 SPI
    int romBus() const;
    bool stallWhileRomBusy(int bus = -1);  // bus -1: the one the type code chooses
    // false when the ROM never got ready (the request fails)
    bool romRead(std::uint16_t address, std::uint8_t* out, std::size_t length);
    bool romProgram(std::uint16_t address, const std::uint8_t* data, std::size_t length);
    bool romErase();
};

}  // namespace lumo::os::emu
