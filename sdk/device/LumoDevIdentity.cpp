// CLumoDev: chip identification, device parameters, parameter dump, firmware status,
// reset and the release number.
#include <cstring>
#include <string>
#include <string_view>

#include "sdk/device/LumoDev.h"
#include "sdk/device/TraceScope.h"
#include "sdk/uvc/UvcIdentity.h"

namespace {

// A fixed-size text field as zero-terminated text that never runs past the field.
template <std::size_t N>
std::string_view fieldText(const std::array<char, N>& f) {
    std::size_t end = 0;
    while (end < N && f[end] != 0) ++end;
    return {f.data(), end};
}

template <std::size_t N>
std::string fieldString(const std::array<char, N>& f) {
    return std::string(fieldText(f));
}

}  // namespace

std::int32_t CLumoDev::XuGetH264CtrlVer(std::uint16_t* pH264CtrlVer) {
    XTRACE(0)("%s ===>", "CLumoDev::XuGetH264CtrlVer");
    std::uint8_t reply[2] = {};
    std::uint32_t returned = 0;
    if (!GetH264ExtensionProperty(UVCX_VERSION, reply, 2, &returned)) {
        XTRACE(4)("XuGetH264CtrlVer FAILED.XXXXXXXXXX");
        XTRACE(0)("%s <===", "CLumoDev::XuGetH264CtrlVer");
        return 0;
    }
    // The unit sends its version most significant byte first.
    *pH264CtrlVer = static_cast<std::uint16_t>((reply[0] << 8) | reply[1]);
    XTRACE(0)("*pH264CtrlVer = 0x%04X", *pH264CtrlVer);
    XTRACE(0)("%s <===", "CLumoDev::XuGetH264CtrlVer");
    return 1;
}

std::int32_t CLumoDev::GetPartNo(bool* pRequestFailed) {
    LUMO_TRACE_SCOPE(0, "CLumoDev::GetPartNo");
    if (pRequestFailed) *pRequestFailed = false;
    bool allPassed = true;
    for (int i = 0; i < 2; ++i) {
        const std::uint8_t addr = m_Backend.abProbeAddr[i];
        if (addr == 0) continue;
        std::uint8_t value = 0;
        const std::int32_t ok = (addr & 0x80) ? XuMcuDataRead(addr & 0x7F, 1, &value) : XuRegRead(addr, 1, &value);
        if (!ok) {
            XTRACE(4)("GetPartNo FAILED.XXXXXXXXXX");
            if (pRequestFailed) *pRequestFailed = true;
            return 0;
        }
        if ((value & m_Backend.abProbeMask[i]) != m_Backend.abProbeValue[i]) allPassed = false;
    }
    if (!allPassed) {
        XTRACE(4)("Not have match PartNo.XXXXXXXXXX");
        return 0;
    }
    XTRACE(4)("GetPartNo Success!");
    return 1;
}

std::int32_t CLumoDev::DevQueryBackendInfo() {
    XTRACE(0)(XTRACE_LINE_DASH);
    XTRACE(0)("%s ===>", "CLumoDev::DevQueryBackendInfo");
    auto leave = [](std::int32_t result) {
        XTRACE(0)("%s <===", "CLumoDev::DevQueryBackendInfo");
        if (result) {
            XTRACE(0)(XTRACE_LINE_DASH);
        }
        return result;
    };

    std::uint8_t fw[11] = {};
    if (!XuGetIntFwVer(fw)) {
        XTRACE(4)("XuGetIntFwVer FAILED.XXXXXXXXXX");
        return leave(0);
    }
    std::memcpy(m_szIntFwVer.data(), fw, sizeof fw);

    std::uint8_t ver[CtrlVerRecord::kWireSize] = {};
    if (!XuGetCtrlVer(ver)) {
        XTRACE(4)("XuGetCtrlVer FAILED.XXXXXXXXXX");
        return leave(0);
    }
    std::memcpy(m_CtrlVer.bytes.data(), ver, sizeof ver);

    if (m_CtrlVer.HasXu()) {
        m_bH264Support = 1;
        if (!XuGetH264CtrlVer(&m_wH264CtrlVer)) {
            XTRACE(4)("XuGetH264CtrlVer FAILED.XXXXXXXXXX");
            m_bH264Support = 0;
        }
    } else {
        m_bH264Support = 0;
    }
    m_bSeqChunkLen = m_CtrlVer.HasEm() ? 32 : 8;
    m_bBackendValid = 0;

    const std::string_view fwText = fieldText(m_szIntFwVer);
    for (const IcListRow& row : IcList()) {
        if (fwText.find(fieldText(row.szSignature)) == std::string_view::npos) continue;
        m_Backend = row;
        bool requestFailed = false;
        if (!GetPartNo(&requestFailed)) {
            if (!requestFailed) continue;
            // A probe byte that never arrived says nothing about this row, and a later row
            // of the same signature would then be chosen for the wrong chip. The camera is
            // not identified: back to the "N/A" row, which admission refuses.
            m_Backend = IcList()[0];
            XTRACE(4)("DevQueryBackendInfo FAILED.XXXXXXXXXX");
            return leave(0);
        }
        XTRACE(0)("ID = %d", static_cast<int>(m_Backend.dwId));
        XTRACE(0)("Family = %d", static_cast<int>(m_Backend.dwFamily));
        XTRACE(0)("Signature = %s", fieldString(m_Backend.szSignature).c_str());
        XTRACE(0)("PartNo = %s", fieldString(m_Backend.szPartNo).c_str());
        m_bBackendValid = 1;
        XTRACE(0)("%s <===", "CLumoDev::DevQueryBackendInfo");
        XTRACE(0)(XTRACE_LINE_DASH);
        return 1;
    }
    XTRACE(4)("Can not match the SIGNATURE with IC list.XXXXXXXXXX");
    XTRACE(0)("%s <===", "CLumoDev::DevQueryBackendInfo");
    XTRACE(0)(XTRACE_LINE_DASH);
    return 0;
}

std::int32_t CLumoDev::DevQueryExtFwVer() {
    std::uint8_t b[4] = {};
    if (!XuSeqContext(XU_CTRL_SENSOR_REG, 0x00, 0xFFFF, 4, b)) {
        XTRACE(4)("XuGetSeqContext(XU_CTRL_SENSOR_REG) FAILED.XXXXXXXXXX");
        return 0;
    }
    m_wExtSensorApId = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    m_wExtFwVer = static_cast<std::uint16_t>(b[2] | (b[3] << 8));
    XTRACE(0)("m_wExtSensorApId = 0x%04X", m_wExtSensorApId);
    XTRACE(0)("m_wExtFwVer = 0x%04X", m_wExtFwVer);
    return 1;
}

std::int32_t CLumoDev::DevQueryLumoParams() {
    XTRACE(0)(XTRACE_LINE_DASH);
    XTRACE(0)("%s ===>", "CLumoDev::DevQueryLumoParams");
    bool ok = false;
    std::uint8_t setfile[12] = {};
    if (!XuGetHwVer(&m_bHwVer)) {
        XTRACE(4)("XuGetHwVer FAILED.XXXXXXXXXX");
    } else if (!XuGetSetfileVer(setfile)) {
        XTRACE(4)("XuGetSetfileVer FAILED.XXXXXXXXXX");
    } else {
        std::memcpy(m_szSetfileVer.data(), setfile, sizeof setfile);
        if (!DevQueryExtFwVer()) {
            XTRACE(4)("DevQueryExtFwVer FAILED.XXXXXXXXXX");
        } else {
            ok = true;
        }
    }
    if (!ok) {
        XTRACE(4)("DevQueryLumoParams FAILED.XXXXXXXXXX");
        XTRACE(0)("%s <===", "CLumoDev::DevQueryLumoParams");
        return 0;
    }
    XTRACE(0)("%s <===", "CLumoDev::DevQueryLumoParams");
    XTRACE(0)(XTRACE_LINE_DASH);
    return 1;
}

void CLumoDev::DevPrintLumoParams() {
    XTRACE(0)(XTRACE_LINE_DASH);
    XTRACE(0)("%s ===>", "CLumoDev::DevPrintLumoParams");
    XTRACE(0)("=== LUMO: Basic Information ====");
    XTRACE(0)("    m_szDevPath = %ws", m_szDevPath.c_str());
    XTRACE(0)("    m_szFriendlyName = %ws", m_szFriendlyName.c_str());
    XTRACE(0)("    m_dwXuNodeId = 0x%08X", m_dwXuNodeId);
    XTRACE(0)("=== LUMO: Driver Information ====");
    switch (m_eDriver) {
        case DRIVER_NA:
            XTRACE(0)("    m_eDriver = N/A");
            break;
        case INBOX_UVC:
            XTRACE(0)("    m_eDriver = INBOX_UVC");
            break;
        case TAVIX_AVStream:
            XTRACE(0)("    m_eDriver = TAVIX_AVStream");
            break;
        default:
            break;
    }
    XTRACE(0)("=== LUMO: Backend Information ====");
    XTRACE(0)("    m_Backend.szSignature = %s", fieldString(m_Backend.szSignature).c_str());
    XTRACE(0)("    m_Backend.szPartNo = %s", fieldString(m_Backend.szPartNo).c_str());
    XTRACE(0)("    m_bHwVer = 0x%02X", m_bHwVer);
    XTRACE(0)("    m_szIntFwVer = %s", fieldString(m_szIntFwVer).c_str());
    XTRACE(0)("    m_wH264CtrlVer = %04X", m_wH264CtrlVer);
    XTRACE(0)("=== LUMO: Module Information ====");
    XTRACE(0)("    m_wExtSensorApId = 0x%04X", m_wExtSensorApId);
    XTRACE(0)("    m_wExtFwVer = 0x%04X", m_wExtFwVer);
    XTRACE(0)("    m_szSetfileVer = %s", fieldString(m_szSetfileVer).c_str());
    XTRACE(0)("%s <===", "CLumoDev::DevPrintLumoParams");
    XTRACE(0)(XTRACE_LINE_DASH);
}

std::int32_t CLumoDev::DevGetFwStatus() {
    LUMO_TRACE_SCOPE(0, "CLumoDev::DevGetFwStatus");
    std::uint8_t status = 0;
    XuMcuDataRead(0x21, 1, &status);  // informational only; its outcome is not the result
    return 1;
}

std::int32_t CLumoDev::DevReset() {
    LUMO_TRACE_SCOPE(3, "CLumoDev::DevReset");
    std::uint8_t reg = 0;
    if (!XuRegRead(0x26, 1, &reg)) return 0;
    reg |= 0x10;
    return XuRegWrite(0x26, 1, &reg);
}

std::int32_t CLumoDev::GetBcdDevice() {
    XTRACE(0)(XTRACE_LINE_DASH);
    XTRACE(0)("%s ===>", "CLumoDev::GetBcdDevice");
    std::wstring hardwareIds;
    if (!SetupDiGetDevice(&hardwareIds)) {
        XTRACE(4)("GetBcdDevice FAILED.XXXXXXXXXX");
        XTRACE(0)("%s <===", "CLumoDev::GetBcdDevice");
        XTRACE(0)(XTRACE_LINE_DASH);
        return 0;
    }
    if (const auto bcd = lumo::uvc::ParseBcdDevice(hardwareIds)) {
        m_wBcdDevice = *bcd;
        XTRACE(0)("BcdDevice(REV):0x%04X ", m_wBcdDevice);
    }
    XTRACE(0)("%s <===", "CLumoDev::GetBcdDevice");
    XTRACE(0)(XTRACE_LINE_DASH);
    return 1;
}
