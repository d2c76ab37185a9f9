#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/emu/EmuCameraModel.h"

namespace lumo::os::emu {
namespace {

constexpr std::uint64_t kStuckFlashTimeoutUs = 3'000'000;  // the controller gives up on a flash that never gets ready
constexpr std::uint32_t kGatherLimit = 32;
constexpr int kSpiBus = 3;  // bytes of one ROM chunk

std::uint8_t eepromTypeCode(std::uint32_t bytes) {
    return static_cast<std::uint8_t>((bytes / 128) & 0xFF);
}

std::wstring widen(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

}  // namespace

std::uint32_t vendorControlLength(std::uint8_t selector) {
    switch (selector) {
        case 0x03:
        case 0x06:
        case 0x07:
        case 0x08:
        case 0x12:
            return 35;
        case 0x0A:
        case 0x0B:
        case 0x0E:
            return 1;
        case 0x0C:
            return 12;
        case 0x0D:
        case 0x16:
            return 11;
        case 0x13:
            return 18;
        default:
            return 0;
    }
}

EmuCamera::Impl::Impl(const CameraConfig& c, std::size_t idx, std::string* error) : cfg(c), index(idx) {
    if (cfg.instance.empty()) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "6&%08x&0&%04x", 0x1a2b3c00u + static_cast<unsigned>(idx), cfg.mi);
        instance = widen(buf);
    } else {
        instance = widen(cfg.instance);
    }
    chip = cfg.chip == "other" ? nullptr : findChipProfile(cfg.chip);
    timings = cfg.timings;
    faults = cfg.faults;
    latencyUs = cfg.latencyUs;
    const bool spi = cfg.rom == RomKind::SpiFlash;
    const std::uint32_t size = spi ? cfg.flashBytes : cfg.eepromBytes;
    if (cfg.romFile.empty())
        store = std::make_unique<EmuRomStore>(size, cfg.image, cfg.initialStatus);
    else
        store = std::make_unique<EmuRomStore>(cfg.romFile, size, cfg.image, cfg.initialStatus, error);
    if (spi) {
        flashChip = findFlashRow(cfg.flashName);
        flash = std::make_unique<EmuSpiFlash>(flashChip, *store, timings);
        flash->setBusyForever(faults.flashBusyForever);
    } else {
        eeprom = std::make_unique<EmuEeprom>(*store, timings.eepromWriteCycleUs);
    }
    regs.assign(0x10000, 0);
    mcu.assign(0x10000, 0);
    sensor.assign(0x10000, 0);
    code.assign(0x10000, 0);
    std::lock_guard lock(mu);
    powerOn();
    if (flash) flash->powerOn();
}

void EmuCamera::Impl::powerOn() {
    std::fill(regs.begin(), regs.end(), 0);
    std::fill(mcu.begin(), mcu.end(), 0);
    if (flash) {
        const auto set = (flashChip ? *flashChip : defaultFlashRow()).commandSet();
        std::copy(set.begin(), set.end(), regs.begin() + 0x0A27);
        romType = 0xFF;
    } else {
        romType = eepromTypeCode(store->size());
    }
    if (chip) {
        mcu[0x20] = chip->mcu20;
        mcu[0x28] = chip->mcu28;
    }
    mcu[0x21] = 0x01;  // firmware status: running from the external ROM
    wpControl = 1;
    selections = {};
    gather.clear();
    gatherAddress = 0;
    // the code memory is what the controller loaded from its ROM at boot
    for (std::size_t i = 0; i < code.size(); ++i) code[i] = store->bytes()[i % store->size()];
}

RequestOutcome EmuCamera::Impl::request(const IncomingRequest& in, std::uint8_t* data, std::uint32_t len) {
    if (const std::uint32_t lat = latencyUs.load()) std::this_thread::sleep_for(std::chrono::microseconds(lat));
    bool resetAsked = false;
    bool vanish = false;
    RequestOutcome outcome = RequestOutcome::Failed;
    {
        std::lock_guard lock(mu);
        if (!present || in.generation != generation) return RequestOutcome::NotConnected;
        RequestRecord rec = newRecord(in, data, len);

        const bool isVendor = in.unit == guids::kVendorXu;
        const bool isH264 = in.unit == guids::kH264Xu;
        std::vector<std::uint8_t> work(data, data + len);
        if (faults.vanishAtRequest == rec.number) {
            vanish = true;
            outcome = RequestOutcome::NotConnected;
        } else if (faults.failRequest == rec.number ||
                   (isVendor && faults.failSelector >= 0 &&
                    static_cast<std::uint32_t>(faults.failSelector) == in.selector)) {
            outcome = RequestOutcome::Failed;
        } else if (isVendor && hasVendorUnit() && in.selector <= 0xFF) {
            const std::uint32_t fixed = vendorControlLength(static_cast<std::uint8_t>(in.selector));
            if (fixed != len)
                outcome = fixed ? RequestOutcome::BadLength : RequestOutcome::NotFound;
            else
                outcome = vendor(in.set, static_cast<std::uint8_t>(in.selector), work.data(), len, &resetAsked)
                              ? RequestOutcome::Ok
                              : RequestOutcome::Failed;
        } else if (isH264 && cfg.xu && hasVendorUnit() && in.selector <= 0xFF) {
            const auto sel = static_cast<std::uint8_t>(in.selector);
            const bool ok = in.set ? h264.set(sel, work.data(), len) : h264.get(sel, work.data(), len);
            outcome = ok ? RequestOutcome::Ok : RequestOutcome::Failed;
        } else {
            outcome = RequestOutcome::NotFound;
        }
        rec.ok = outcome == RequestOutcome::Ok;
        if (rec.ok && !in.set) {
            std::copy(work.begin(), work.end(), data);
            rec.data = work;
        }
        log.push_back(std::move(rec));
        if (resetAsked || vanish) {
            present = false;
            ++generation;
        }
    }
    // the world hears of it after the answer, never from inside the request
    if (resetAsked && onReset) onReset();
    if (vanish && onVanish) onVanish();
    return outcome;
}

bool EmuCamera::Impl::vendor(bool set, std::uint8_t selector, std::uint8_t* data, std::uint32_t len, bool* resetAsked) {
    switch (selector) {
        case 0x03:
        case 0x06:
        case 0x07:
        case 0x08:
            return set ? sequenceSet(selector, data, resetAsked) : sequenceGet(selector, data);
        case 0x0A:
            if (set) return false;
            data[0] = cfg.hwVer;
            return true;
        case 0x0B:
            if (set)
                romType = data[0];
            else
                data[0] = romType;
            return true;
        case 0x0C:
            if (set) return false;
            std::fill_n(data, len, 0);
            std::copy_n(cfg.setfileVer.begin(), std::min<std::size_t>(cfg.setfileVer.size(), len), data);
            return true;
        case 0x0D: {
            if (set) return false;
            const std::string text = cfg.intFwVer.empty() ? defaultIntFwVer(*chip) : cfg.intFwVer;
            std::fill_n(data, len, 0);
            std::copy_n(text.begin(), std::min<std::size_t>(text.size(), len), data);
            return true;
        }
        case 0x0E:
            if (!set) {
                data[0] = wpControl;
                return true;
            }
            if (flash && !cfg.em) {
                // the controller forwards the request to the flash as write enable / disable;
                // an enable waits for a running program (it would be lost), a disable need not
                if (data[0] == 0 && !stallWhileRomBusy(kSpiBus)) return false;
                const std::uint64_t now = worldNowUs();
                if (data[0] == 0)
                    flash->writeEnable(now);
                else
                    flash->writeDisable(now);
            }
            wpControl = data[0];  // EM controllers: WP# level; EEPROM: its write-protect input
            return true;
        case 0x12:
            if (!set || !cfg.em) return false;
            if (flash) {
                if (!stallWhileRomBusy(kSpiBus)) return false;
                const std::uint64_t now = worldNowUs();
                flash->writeEnable(now);
                flash->writeStatus(data[3], wpHigh(), now);
            }
            return true;
        case 0x13:
            if (!cfg.xu) return false;
            return set ? osd.set(data, len) : osd.get(data, len);
        case 0x16: {
            if (set) return false;
            std::fill_n(data, len, 0);
            if (cfg.xu) {
                data[0] = 'X';
                data[1] = 'U';
                data[2] = static_cast<std::uint8_t>(cfg.xuVer & 0xFF);
                data[3] = static_cast<std::uint8_t>(cfg.xuVer >> 8);
            }
            if (cfg.em) {
                data[4] = 'E';
                data[5] = 'M';
                data[6] = static_cast<std::uint8_t>(cfg.emVer & 0xFF);
                data[7] = static_cast<std::uint8_t>(cfg.emVer >> 8);
            }
            return true;
        }
        default:
            return false;
    }
}

// Byte 0 of a sequence block: without "EM" the low four bits are the length (at most 8),
// 0x20 commits a gathered ROM chunk, 0x40 erases (0x03) or reads code memory (0x08); with
// "EM" the low six bits are the length (at most 32) and 0x40 keeps its meaning.
bool EmuCamera::Impl::sequenceSet(std::uint8_t selector, const std::uint8_t* block, bool* resetAsked) {
    const std::uint8_t b0 = block[0];
    const std::uint16_t address = static_cast<std::uint16_t>((block[1] << 8) | block[2]);
    const std::uint8_t lengthMask = cfg.em ? 0x3F : 0x0F;
    const std::uint8_t maxLength = cfg.em ? 32 : 8;
    const std::uint8_t length = b0 & lengthMask;
    const bool write = (b0 & 0x80) != 0;
    const bool flag40 = (b0 & 0x40) != 0;
    const bool flag20 = !cfg.em && (b0 & 0x20) != 0;
    if (length > maxLength) return false;
    if (!cfg.em && (b0 & 0x10)) return false;

    if (!write) {
        if (selector == 0x03 && flag40) {
            if (length != 0 || flag20) return false;
            return romErase();
        }
        if (flag20 || (flag40 && selector != 0x08)) return false;
        selections[selector] = {true, b0, address, length};
        return true;
    }
    if (flag40) return false;  // no write form of the code space or of the erase
    if (flag20 && selector != 0x03) return false;
    const std::uint8_t* piece = block + 3;
    switch (selector) {
        case 0x03:
            if (cfg.em) {
                return romProgram(address, piece, length);
            }
            // pieces sent to one address are gathered in order; the 0x20 piece commits them
            if (gather.empty() || gatherAddress != address) {
                gather.clear();
                gatherAddress = address;
            }
            if (gather.size() + length > kGatherLimit) {
                gather.clear();
                return false;
            }
            gather.insert(gather.end(), piece, piece + length);
            if (flag20) {
                std::vector<std::uint8_t> chunk;
                chunk.swap(gather);
                return romProgram(gatherAddress, chunk.data(), chunk.size());
            }
            return true;
        case 0x06:
            for (std::uint8_t i = 0; i < length; ++i)
                regWrite(static_cast<std::uint16_t>(address + i), piece[i], resetAsked);
            return true;
        case 0x07:
            for (std::uint8_t i = 0; i < length; ++i) sensor[static_cast<std::uint16_t>(address + i)] = piece[i];
            return true;
        case 0x08:
            for (std::uint8_t i = 0; i < length; ++i) mcu[static_cast<std::uint16_t>(address + i)] = piece[i];
            return true;
        default:
            return false;
    }
}

bool EmuCamera::Impl::sequenceGet(std::uint8_t selector, std::uint8_t* block) {
    const Selection& s = selections[selector];
    if (!s.valid) return false;  // nothing asked for
    std::fill_n(block, 35, 0);
    block[0] = s.b0;
    block[1] = static_cast<std::uint8_t>(s.address >> 8);
    block[2] = static_cast<std::uint8_t>(s.address & 0xFF);
    std::uint8_t* out = block + 3;
    switch (selector) {
        case 0x03:
            if (!romRead(s.address, out, s.length)) return false;
            break;
        case 0x06:
            for (std::uint8_t i = 0; i < s.length; ++i) out[i] = regRead(static_cast<std::uint16_t>(s.address + i));
            break;
        case 0x07:
            if (s.address == 0xFFFF) {  // the sensor application id and the external firmware version
                const std::uint8_t id[4] = {
                    static_cast<std::uint8_t>(cfg.sensorApId & 0xFF), static_cast<std::uint8_t>(cfg.sensorApId >> 8),
                    static_cast<std::uint8_t>(cfg.extFwVer & 0xFF), static_cast<std::uint8_t>(cfg.extFwVer >> 8)};
                for (std::uint8_t i = 0; i < s.length; ++i) out[i] = i < 4 ? id[i] : 0;
            } else {
                for (std::uint8_t i = 0; i < s.length; ++i) out[i] = sensor[static_cast<std::uint16_t>(s.address + i)];
            }
            break;
        case 0x08: {
            const auto& space = (s.b0 & 0x40) ? code : mcu;
            for (std::uint8_t i = 0; i < s.length; ++i) out[i] = space[static_cast<std::uint16_t>(s.address + i)];
            break;
        }
        default:
            return false;
    }
    return true;
}

std::uint8_t EmuCamera::Impl::regRead(std::uint16_t address) const {
    if (address == 0x0049) {
        const std::uint8_t v = regs[0x0049];
        // the engine finishes at once unless it is stuck
        return faults.spiEngineStuck && (v & 1) ? v : static_cast<std::uint8_t>(v & ~1u);
    }
    return regs[address];
}

void EmuCamera::Impl::regWrite(std::uint16_t address, std::uint8_t value, bool* resetAsked) {
    regs[address] = value;
    if (address == 0x0049 && (value == 0x35 || value == 0x37)) spiTransaction(value);
    if (address == 0x0026 && (value & 0x10)) *resetAsked = true;
}

void EmuCamera::Impl::spiTransaction(std::uint8_t control) {
    if (faults.spiEngineStuck) return;
    const std::size_t cmdLength = std::min<std::size_t>(regs[0x004A], 8);
    const std::size_t readLength = control == 0x37 ? std::min<std::size_t>(regs[0x0046], 8) : 0;
    std::vector<std::uint8_t> in(readLength, 0x00);  // no flash: nothing drives the line
    if (flash) {
        flash->setBusyForever(faults.flashBusyForever);
        in = flash->transact(&regs[0x0100], cmdLength, readLength, wpHigh(), worldNowUs());
    }
    std::copy(in.begin(), in.end(), regs.begin() + 0x0100);
}

int EmuCamera::Impl::romBus() const {
    switch (romType) {
        case 0xFF:
            return 3;
        case 0x04:
        case 0x08:
        case 0x10:
            return 1;
        case 0x20:
        case 0x40:
        case 0x80:
        case 0x00:
            return 2;
        default:
            return 0;
    }
}

// A request that needs the ROM waits until the ROM has finished its program or erase.
bool EmuCamera::Impl::stallWhileRomBusy(int bus) {
    if (bus < 0) bus = romBus();
    if (bus == 3 && flash) {
        flash->setBusyForever(faults.flashBusyForever);
        if (faults.flashBusyForever) {
            worldWaitUntilUs(worldNowUs() + kStuckFlashTimeoutUs);
            return false;
        }
        worldWaitUntilUs(flash->busyUntilUs());
    } else if ((bus == 1 || bus == 2) && eeprom) {
        worldWaitUntilUs(eeprom->busyUntilUs());
    }
    return true;
}

bool EmuCamera::Impl::romRead(std::uint16_t address, std::uint8_t* out, std::size_t length) {
    const int bus = romBus();
    if (!stallWhileRomBusy()) return false;
    if (bus == 3 && flash) {
        flash->read(address, out, length);
    } else if ((bus == 1 || bus == 2) && eeprom) {
        eeprom->read(bus, address, out, length);
    } else {
        std::fill_n(out, length, 0xFF);  // no device on that bus
    }
    return true;
}

bool EmuCamera::Impl::romProgram(std::uint16_t address, const std::uint8_t* data, std::size_t length) {
    const int bus = romBus();
    if (bus == 3 && flash) {
        // the controller splits at page boundaries; each program waits for the previous one
        std::size_t done = 0;
        while (done < length) {
            const std::uint32_t at = (address + done) & 0xFFFF;
            const std::size_t room = 0x100 - (at & 0xFF);
            const std::size_t n = std::min(room, length - done);
            if (!stallWhileRomBusy()) return false;
            const std::uint64_t now = worldNowUs();
            if (cfg.em) flash->writeEnable(now);
            flash->program(at, data + done, n, now);
            done += n;
        }
    } else if ((bus == 1 || bus == 2) && eeprom) {
        stallWhileRomBusy();
        eeprom->write(bus, address, data, length, wpControl != 0, worldNowUs());
    }
    // on a bus without a device the bytes are lost
    return true;
}

bool EmuCamera::Impl::romErase() {
    const int bus = romBus();
    if (bus == 3 && flash) {
        if (!stallWhileRomBusy()) return false;
        const std::uint64_t now = worldNowUs();
        if (cfg.em) flash->writeEnable(now);
        flash->chipErase(regs[0x0A28], now);  // the chip-erase opcode of the loaded command set
    } else if ((bus == 1 || bus == 2) && eeprom) {
        stallWhileRomBusy();
        eeprom->fill(0xFF, wpControl != 0, worldNowUs());
    }
    return true;
}

// ---- EmuCamera: the test-facing view ----

EmuCamera::EmuCamera(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
EmuCamera::~EmuCamera() = default;

const CameraConfig& EmuCamera::config() const {
    return m_impl->cfg;
}

std::wstring EmuCamera::devicePath() const {
    wchar_t buf[64];
    std::swprintf(buf, 64, L"\\\\?\\USB#VID_%04X&PID_%04X&MI_%02X#", m_impl->cfg.vid, m_impl->cfg.pid, m_impl->cfg.mi);
    std::wstring path = buf + m_impl->instance + L"#" + guids::kVideoCaptureInterfaceClass.toWString() + L"\\GLOBAL";
    for (auto& ch : path) ch = static_cast<wchar_t>(std::towupper(ch));
    return path;
}

std::wstring EmuCamera::instanceId() const {
    wchar_t buf[64];
    std::swprintf(buf, 64, L"USB\\VID_%04X&PID_%04X&MI_%02X\\", m_impl->cfg.vid, m_impl->cfg.pid, m_impl->cfg.mi);
    return buf + m_impl->instance;
}

bool EmuCamera::present() const {
    return m_impl->present;
}

std::vector<RequestRecord> EmuCamera::requests() const {
    std::lock_guard lock(m_impl->mu);
    return m_impl->log;
}

std::vector<RequestRecord> EmuCamera::vendorRequests(std::uint32_t selector) const {
    std::vector<RequestRecord> out;
    std::lock_guard lock(m_impl->mu);
    for (const auto& r : m_impl->log)
        if (r.isVendor() && r.selector == selector) out.push_back(r);
    return out;
}

void EmuCamera::clearLog() {
    std::lock_guard lock(m_impl->mu);
    m_impl->log.clear();
}

std::uint64_t EmuCamera::requestCount() const {
    std::lock_guard lock(m_impl->mu);
    return m_impl->requestNo;
}

std::vector<std::uint8_t> EmuCamera::rom() const {
    std::lock_guard lock(m_impl->mu);
    const auto* b = m_impl->store->bytes();
    return {b, b + m_impl->store->size()};
}

std::uint32_t EmuCamera::romSize() const {
    return m_impl->store->size();
}

void EmuCamera::writeRom(std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(m_impl->mu);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        m_impl->store->bytes()[(address + i) % m_impl->store->size()] = bytes[i];
}

void EmuCamera::fillRom(std::uint8_t value) {
    std::lock_guard lock(m_impl->mu);
    std::fill_n(m_impl->store->bytes(), m_impl->store->size(), value);
}

std::uint8_t EmuCamera::flashStatus() const {
    std::lock_guard lock(m_impl->mu);
    return m_impl->flash ? m_impl->flash->status(worldNowUs()) : 0;
}

void EmuCamera::setFlashStatus(std::uint8_t status) {
    std::lock_guard lock(m_impl->mu);
    if (m_impl->flash) m_impl->flash->setStatus(status);
}

bool EmuCamera::flashBusy() const {
    std::lock_guard lock(m_impl->mu);
    return m_impl->flash && m_impl->flash->busy(worldNowUs());
}

bool EmuCamera::writeProtectPinHigh() const {
    std::lock_guard lock(m_impl->mu);
    return m_impl->wpHigh();
}

bool EmuCamera::eepromWriteProtect() const {
    std::lock_guard lock(m_impl->mu);
    return m_impl->wpControl != 0;
}

std::uint8_t EmuCamera::romTypeCode() const {
    std::lock_guard lock(m_impl->mu);
    return m_impl->romType;
}

std::uint8_t EmuCamera::reg(std::uint16_t address) const {
    std::lock_guard lock(m_impl->mu);
    return m_impl->regs[address];
}

void EmuCamera::setReg(std::uint16_t address, std::uint8_t value) {
    std::lock_guard lock(m_impl->mu);
    m_impl->regs[address] = value;
}

std::uint8_t EmuCamera::mcuData(std::uint16_t address) const {
    std::lock_guard lock(m_impl->mu);
    return m_impl->mcu[address];
}

void EmuCamera::setMcuData(std::uint16_t address, std::uint8_t value) {
    std::lock_guard lock(m_impl->mu);
    m_impl->mcu[address] = value;
}

Faults EmuCamera::faults() const {
    std::lock_guard lock(m_impl->mu);
    return m_impl->faults;
}

void EmuCamera::setFaults(const Faults& faults) {
    std::lock_guard lock(m_impl->mu);
    m_impl->faults = faults;
    if (m_impl->flash) m_impl->flash->setBusyForever(faults.flashBusyForever);
}

void EmuCamera::setLatencyUs(std::uint32_t us) {
    m_impl->latencyUs = us;
}

void EmuCamera::setTimings(const Timings& timings) {
    std::lock_guard lock(m_impl->mu);
    m_impl->timings = timings;
}

EmuOsd& EmuCamera::osd() {
    return m_impl->osd;
}
EmuH264& EmuCamera::h264() {
    return m_impl->h264;
}

}  // namespace lumo::os::emu
