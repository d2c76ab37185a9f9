#include "tests/tool/FakeSdk.h"

#include "tests/support/BitwiseCrc16.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace lumo::tool::fake {

Sdk& Sdk::get() {
    static Sdk sdk;
    return sdk;
}

void Sdk::reset() {
    std::lock_guard lock(mutex);
    devs.clear();
    attached.clear();
    log.clear();
    image.clear();
    loadOk = true;
    enumOk = true;
    recipient = nullptr;
    onEnum = nullptr;
    holdWrites = false;
}

void Sdk::addCamera(Camera c) {
    std::lock_guard lock(mutex);
    if (c.rom.empty()) c.rom.assign(c.romSize == 0xFFFFFFFF ? 0 : c.romSize, 0xFF);
    if (c.path.empty()) {
        wchar_t buf[160];
        std::swprintf(
            buf, 160,
            L"\\\\?\\USB#VID_%04X&PID_%04X&MI_00#7&%08X&0&0000#{65E8773D-8F56-11D0-A3B9-00A0C9223196}\\GLOBAL", c.vid,
            c.pid, unsigned(attached.size() + 1));
        c.path = buf;
    }
    attached.push_back(std::move(c));
}

void Sdk::removeCamera(std::size_t index) {
    std::lock_guard lock(mutex);
    if (index < attached.size()) attached.erase(attached.begin() + static_cast<long>(index));
}

std::vector<Call> Sdk::calls(const std::string& fn, int idx) {
    std::lock_guard lock(mutex);
    std::vector<Call> out;
    for (const auto& c : log)
        if ((fn.empty() || c.fn == fn) && (idx < 0 || c.idx == idx)) out.push_back(c);
    return out;
}

std::vector<Camera> Sdk::cameras() {
    std::lock_guard lock(mutex);
    return devs;
}

void Sdk::setImage(std::vector<std::uint8_t> img, bool ok) {
    std::lock_guard lock(mutex);
    image = std::move(img);
    loadOk = ok;
}

void Sdk::record(const std::string& fn, std::uint8_t idx, std::uint32_t a, std::uint32_t b) {
    log.push_back({fn, idx, a, b, ++seq});
}

void Sdk::notify(std::uint32_t eventType, const std::uint8_t classGuid[16], const std::wstring& name,
                 std::uint32_t deviceType) {
    TAVIX_NOTICE_RECIPIENT* r;
    {
        std::lock_guard lock(mutex);
        r = recipient;
    }
    if (!r) return;
    TAVIX_DEVICE_INTERFACE_NOTICE n{};
    n.dbcc_size = 32;
    n.dbcc_devicetype = deviceType;
    std::memcpy(n.dbcc_classguid, classGuid, 16);
    n.dbcc_name = name.c_str();
    r->callback(r->context, eventType, &n);
}

}  // namespace lumo::tool::fake

using lumo::tool::fake::Sdk;

namespace {
Sdk& S() {
    return Sdk::get();
}
bool valid(std::uint8_t idx) {
    return idx < S().devs.size();
}
}  // namespace

extern "C" {

int32_t TAVIX_LoadBinFileFromPath(uint8_t* buf, const wchar_t* path, int32_t skip) {
    std::lock_guard lock(S().mutex);
    S().record("LoadBinFileFromPath", 0, static_cast<uint32_t>(skip));
    if (!S().loadOk) return 0;
    std::copy(S().image.begin(), S().image.end(), buf);
    return 1;
}

int32_t TAVIX_GetBinFileSize(uint32_t* size) {
    std::lock_guard lock(S().mutex);
    *size = static_cast<uint32_t>(S().image.size());
    return S().devs.empty() ? 0 : 1;
}

int32_t TAVIX_EnumDevs(void) {
    std::function<void()> hook;
    {
        std::lock_guard lock(S().mutex);
        S().record("EnumDevs");
        hook = S().onEnum;
    }
    if (hook) hook();
    std::lock_guard lock(S().mutex);
    if (!S().enumOk) return 0;
    // New cameras join behind the registered ones; those already registered stay.
    for (const auto& c : S().attached) {
        const bool known =
            std::any_of(S().devs.begin(), S().devs.end(), [&](const auto& d) { return d.path == c.path; });
        if (!known) S().devs.push_back(c);
    }
    return S().devs.empty() ? 0 : 1;
}

int32_t TAVIX_FreeDevs(void) {
    std::lock_guard lock(S().mutex);
    S().record("FreeDevs");
    if (S().devs.empty()) return 0;
    S().devs.clear();
    return 1;
}

int32_t TAVIX_QueryExtRom(void) {
    std::lock_guard lock(S().mutex);
    S().record("QueryExtRom");
    return S().devs.empty() ? 0 : 1;
}

int32_t TAVIX_DeviceChangeRegister(TAVIX_NOTICE_RECIPIENT* r) {
    std::lock_guard lock(S().mutex);
    S().record("DeviceChangeRegister");
    S().recipient = r;
    return 1;
}

int32_t TAVIX_DeviceChangeUnregister(void) {
    std::lock_guard lock(S().mutex);
    S().record("DeviceChangeUnregister");
    S().recipient = nullptr;
    return 1;
}

int32_t TAVIX_DevsDelByPath(std::wstring& path) {
    std::lock_guard lock(S().mutex);
    S().record("DevsDelByPath");
    if (S().devs.empty()) return 0;
    for (auto& ch : path) ch = static_cast<wchar_t>(std::towupper(ch));
    path = path.substr(0, path.find(L'{'));
    for (auto it = S().devs.begin(); it != S().devs.end(); ++it) {
        std::wstring up = it->path;
        for (auto& ch : up) ch = static_cast<wchar_t>(std::towupper(ch));
        if (up.find(path) != std::wstring::npos) {
            S().devs.erase(it);
            break;
        }
    }
    return 1;
}

void TAVIX_GetDevCount(uint8_t* count) {
    std::lock_guard lock(S().mutex);
    *count = static_cast<uint8_t>(S().devs.size());
}

int32_t TAVIX_GetProductVersion(const wchar_t*, std::wstring& version) {
    version = L"v4.0.1000.0";
    return 1;
}

int32_t TAVIX_GetFlashSize(uint32_t* size, uint8_t idx) {
    std::lock_guard lock(S().mutex);
    S().record("GetFlashSize", idx);
    if (!valid(idx)) return 0;
    *size = S().devs[idx].romSize;
    return 1;
}

int32_t TAVIX_GetBcdDevice(uint16_t* bcd, uint8_t idx) {
    std::lock_guard lock(S().mutex);
    if (!valid(idx)) return 0;
    *bcd = S().devs[idx].bcd;
    return 1;
}

int32_t TAVIX_GetModuleInfo(uint16_t* ap, uint16_t* fw, uint8_t* setfile, uint8_t idx) {
    std::lock_guard lock(S().mutex);
    if (!valid(idx)) return 0;
    *ap = S().devs[idx].apId;
    *fw = S().devs[idx].extFwVer;
    std::memset(setfile, 0, 12);
    std::memcpy(setfile, S().devs[idx].setfileVer.data(), std::min<std::size_t>(12, S().devs[idx].setfileVer.size()));
    return 1;
}

int32_t TAVIX_GetBackendInfo(uint8_t* sig, uint8_t* part, uint8_t idx) {
    std::lock_guard lock(S().mutex);
    if (!valid(idx) || !S().devs[idx].backendOk) return 0;
    std::memset(sig, 0, 4);
    std::memset(part, 0, 8);
    std::memcpy(sig, S().devs[idx].sig.data(), std::min<std::size_t>(4, S().devs[idx].sig.size()));
    std::memcpy(part, S().devs[idx].partNo.data(), std::min<std::size_t>(8, S().devs[idx].partNo.size()));
    return 1;
}

int32_t TAVIX_GetPidVid(uint16_t* vid, uint16_t* pid, uint8_t idx) {
    std::lock_guard lock(S().mutex);
    if (!valid(idx)) return 0;
    *vid = S().devs[idx].vid;
    *pid = S().devs[idx].pid;
    return 1;
}

int32_t TAVIX_ExtRomWriteEnable(int32_t enable, uint8_t idx) {
    std::lock_guard lock(S().mutex);
    S().record("ExtRomWriteEnable", idx, static_cast<uint32_t>(enable));
    return valid(idx) && S().devs[idx].writeEnableOk ? 1 : 0;
}

int32_t TAVIX_EraseAll(uint8_t idx) {
    std::lock_guard lock(S().mutex);
    S().record("EraseAll", idx);
    if (!valid(idx)) return 0;
    std::fill(S().devs[idx].rom.begin(), S().devs[idx].rom.end(), 0xFF);
    return 1;
}

int32_t TAVIX_SpiCmdSectorEraseByAddr(uint16_t address, uint8_t idx) {
    std::lock_guard lock(S().mutex);
    S().record("SectorErase", idx, address);
    if (!valid(idx)) return 0;
    auto& rom = S().devs[idx].rom;
    for (uint32_t i = 0; i < 4096 && !rom.empty(); ++i) rom[(address + i) % rom.size()] = 0xFF;
    return 1;
}

int32_t TAVIX_SpiWaitBusReady(uint32_t timeoutMs, uint8_t idx) {
    std::lock_guard lock(S().mutex);
    S().record("SpiWaitBusReady", idx, timeoutMs);
    return valid(idx) ? 1 : 0;
}

int32_t TAVIX_ExtRomWrite(uint16_t address, uint32_t length, const uint8_t* buffer, uint8_t idx) {
    while (S().holdWrites) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    unsigned delay = 0;
    {
        std::lock_guard lock(S().mutex);
        S().record("ExtRomWrite", idx, address, length);
        if (!valid(idx)) return 0;
        auto& cam = S().devs[idx];
        if (cam.throwWriteAt == address) throw std::runtime_error("camera gone");
        if (cam.failWriteAt == address) return 0;
        // An EEPROM aliases: addresses wrap at its size.
        for (uint32_t i = 0; i < length && !cam.rom.empty(); ++i) {
            const uint32_t at = (address + i) % cam.rom.size();
            cam.rom[at] = static_cast<int>(at) == cam.corruptAt ? static_cast<uint8_t>(~buffer[i]) : buffer[i];
        }
        delay = cam.writeDelayUs;
    }
    if (delay) std::this_thread::sleep_for(std::chrono::microseconds(delay));
    return 1;
}

int32_t TAVIX_ExtRomRead(uint16_t address, uint32_t length, uint8_t* buffer, uint8_t idx) {
    std::lock_guard lock(S().mutex);
    S().record("ExtRomRead", idx, address, length);
    if (!valid(idx) || length == 0) return 0;
    const auto& cam = S().devs[idx];
    if (cam.failReadAt >= address && cam.failReadAt < static_cast<int>(address + length)) return 0;
    for (uint32_t i = 0; i < length; ++i) buffer[i] = cam.rom.empty() ? 0xFF : cam.rom[(address + i) % cam.rom.size()];
    return 1;
}

uint32_t TAVIX_CRC16Calculate(const uint8_t* data, uint32_t length) {
    return lumo::test::bitwiseCrc16(data, length);
}

void TAVIX_DeviceReset(uint8_t idx) {
    std::lock_guard lock(S().mutex);
    S().record("DeviceReset", idx);
}

}  // extern "C"
