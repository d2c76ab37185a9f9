#include "tool/LumoMPDlg.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "common/trace/DEdura.h"
#include "platform/Clock.h"
#include "platform/Guid.h"
#include "platform/MessageBox.h"
#include "platform/ProfileFile.h"
#include "platform/TextConv.h"
#include "tool/ControlIds.h"

namespace lumo::tool {
namespace {

constexpr const wchar_t* kSection = L"SETTING";
constexpr std::size_t kPathChars = 260;

// The settings' integers are unsigned (a negative value reads as its two's complement); a
// missing or empty key reads as 0.
std::uint32_t settingInt(const wchar_t* key, const std::wstring& ini, std::int32_t byDefault = 0) {
    return static_cast<std::uint32_t>(os::GetPrivateProfileIntW(kSection, key, byDefault, ini));
}

// The window that device-change notices go to. The library calls the recipient from its
// monitor thread; a window that is being destroyed stops taking notices here first.
std::mutex g_noticeMutex;
CLumoMPDlg* g_noticeTarget = nullptr;

// The window that the tool's message boxes go to (any thread may ask for one).
std::mutex g_boxMutex;
CLumoMPDlg* g_boxTarget = nullptr;

struct PathParts {
    std::wstring drive, dir, name, ext;
};

// Splits like the platform's path splitter: "X:" drive, directory up to the last separator
// (either slash), name, and extension from the name's last dot.
PathParts splitPath(const std::wstring& path) {
    PathParts parts;
    std::wstring rest = path;
    if (rest.size() >= 2 && rest[1] == L':') {
        parts.drive = rest.substr(0, 2);
        rest = rest.substr(2);
    }
    const auto sep = rest.find_last_of(L"/\\");
    if (sep != std::wstring::npos) {
        parts.dir = rest.substr(0, sep + 1);
        rest = rest.substr(sep + 1);
    }
    const auto dot = rest.find_last_of(L'.');
    if (dot != std::wstring::npos) {
        parts.name = rest.substr(0, dot);
        parts.ext = rest.substr(dot);
    } else {
        parts.name = rest;
    }
    return parts;
}

// Text of a fixed-size byte field from the camera, up to its first NUL, one byte a character.
std::wstring ansiToWide(const std::uint8_t* bytes, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i < size && bytes[i] != 0; ++i) text.push_back(static_cast<wchar_t>(bytes[i]));
    return text;
}

std::wstring format(const wchar_t* fmt, unsigned a, unsigned b = 0) {
    wchar_t buf[64];
    std::swprintf(buf, 64, fmt, a, b);
    return buf;
}

}  // namespace

CLumoMPDlg::CLumoMPDlg(IDialogLayer& layer) : m_layer(layer) {
    m_abBinBuf.fill(0xFF);
    xtracing_initialize(L"TvDbgCfg.ini");
}

CLumoMPDlg::~CLumoMPDlg() {
    XTRACE(0)("=== CLumoMPDlg::~CLumoMPDlg ====>");
    {
        std::lock_guard lock(g_noticeMutex);
        if (g_noticeTarget == this) g_noticeTarget = nullptr;
    }
    {
        std::lock_guard lock(g_boxMutex);
        if (g_boxTarget == this) {
            g_boxTarget = nullptr;
            lumo::os::installMessageBox(nullptr);
        }
    }
    *m_alive = false;
    // Closing during a run waits for its end: no camera is freed under a worker.
    WaitForRunEnd();
    JoinRunThreads();
    if (m_bNoticesRegistered) TAVIX_DeviceChangeUnregister();
    TAVIX_FreeDevs();
    XTRACE(0)("=== CLumoMPDlg::~CLumoMPDlg <====");
}

void CLumoMPDlg::SetRunEndedHandler(std::function<void(const MP_RUN_SUMMARY&)> handler) {
    m_onRunEnded = std::move(handler);
}

bool CLumoMPDlg::IsRunIdle() const {
    return m_hIdleEvent.IsSet() && m_lLiveThreads.load(std::memory_order_acquire) == 0;
}

void CLumoMPDlg::WaitForRunEnd() {
    if (IsRunIdle()) return;
    m_layer.ServeCallsUntil([this] { return IsRunIdle(); });
}

std::optional<MP_RUN_SUMMARY> CLumoMPDlg::LastRun() const {
    std::lock_guard lock(m_resultsMutex);
    return m_lastRun;
}

std::int32_t CLumoMPDlg::OperatorMessageBox(std::uint64_t, const std::wstring& text, const std::wstring& caption,
                                            std::uint32_t type) {
    const std::int32_t answer = (type & 0x0F) == lumo::os::MB_YESNO ? lumo::os::IDYES : lumo::os::IDOK;
    std::lock_guard lock(g_boxMutex);
    CLumoMPDlg* dlg = g_boxTarget;
    if (!dlg) return answer;
    // The caller may be a worker that the window thread waits for: the box is queued, never
    // waited for, and one at a time (a full disk fails every trace record).
    if (dlg->m_bBoxPending.exchange(true)) return answer;
    const MsgIcon icon = (type & 0xF0) == lumo::os::MB_ICONSTOP ? MsgIcon::Stop : MsgIcon::Exclamation;
    dlg->m_layer.PostToWindowThread([dlg, alive = dlg->m_alive, text, caption, icon] {
        if (!*alive) return;
        dlg->m_bBoxPending.store(false);
        dlg->m_layer.MessageBox(text, caption, icon);
    });
    return answer;
}

std::wstring CLumoMPDlg::BinFileText() const {
    if (!m_bBinLoaded) return m_szBinFile;
    return m_szBinFile + format(L"  CRC16 0x%04X", m_image.wCrc16);
}

void CLumoMPDlg::JoinRunThreads() {
    for (auto& t : m_runThreads)
        if (t.joinable()) t.join();
    m_runThreads.clear();
}

void CLumoMPDlg::SetStatus(const wchar_t* text) {
    m_layer.SetDlgItemText(IDC_STATIC_STATUS, text);
}

void CLumoMPDlg::MessageBoxOwned(const std::wstring& text, MsgIcon icon) {
    m_layer.MessageBox(text, m_szModuleName, icon);
}

void CLumoMPDlg::ShowDevCount() {
    TAVIX_GetDevCount(&m_bDevCount);
    m_layer.SetDlgItemText(IDC_STATIC_DEVNUM, format(L"%X", m_bDevCount));
}

// Enumerates, detects every camera's ROM and shows camera 0 ready when its ROM size is known;
// otherwise the run controls stay off (and, if asked, a failed enumeration clears the display).
void CLumoMPDlg::EnumerateAndShow(bool clearOnEnumFailure) {
    if (TAVIX_EnumDevs() == 0) {
        if (clearOnEnumFailure) DeleteInformation();
        DisableRunControls();
        return;
    }
    TAVIX_QueryExtRom();
    if (TAVIX_GetFlashSize(&m_dwFlashSize, 0) != 0) {
        LumoMPEnableUICtrl(true);
        SetStatus(kStatusReady);
        ShowInformation();
    } else {
        DisableRunControls();
    }
}

void CLumoMPDlg::DisableRunControls() {
    m_layer.EnableDlgItem(IDC_BUTTON_UPGRADE_FW, false);
    m_layer.EnableDlgItem(IDC_CHECK_SPEC_SECTOR, false);
}

void CLumoMPDlg::NoticeCallback(void* context, std::uint32_t eventType, const TAVIX_DEVICE_INTERFACE_NOTICE* notice) {
    if (!notice) return;
    // The record lives only during this call: hand a copy to the window thread.
    TAVIX_DEVICE_INTERFACE_NOTICE copy = *notice;
    auto name = std::make_shared<std::wstring>(notice->dbcc_name ? notice->dbcc_name : L"");
    std::lock_guard lock(g_noticeMutex);
    auto* dlg = static_cast<CLumoMPDlg*>(context);
    if (g_noticeTarget != dlg || !dlg) return;
    dlg->m_layer.PostToWindowThread([dlg, eventType, copy, name]() mutable {
        {
            std::lock_guard again(g_noticeMutex);
            if (g_noticeTarget != dlg) return;
        }
        copy.dbcc_name = name->c_str();
        dlg->OnDeviceChange(eventType, &copy);
    });
}

bool CLumoMPDlg::OnInitDialog() {
    XTRACE(0)(XTRACE_LINE_STAR);
    XTRACE(0)("%s ===>", "CLumoMPDlg::OnInitDialog");

    m_recipient.callback = &CLumoMPDlg::NoticeCallback;
    m_recipient.context = this;
    {
        std::lock_guard lock(g_noticeMutex);
        g_noticeTarget = this;
    }
    m_bNoticesRegistered = TAVIX_DeviceChangeRegister(&m_recipient) != 0;
    {
        std::lock_guard lock(g_boxMutex);
        g_boxTarget = this;
        lumo::os::installMessageBox(&CLumoMPDlg::OperatorMessageBox);
    }

    SetStatus(kStatusEnumerating);
    m_layer.SetItemFont(IDC_STATIC_STATUS, L"Consolas", 300);
    m_layer.SetProgressRange(0, 99);

    std::wstring module = m_layer.GetModuleFileName();
    if (module.size() >= kPathChars) module.resize(kPathChars - 1);
    const PathParts self = splitPath(module);
    m_szModulePath = self.drive + self.dir + self.name + self.ext;
    m_szModuleName = self.name;
    m_szIniPath = self.drive + self.dir + self.name + L".ini";
    m_report.SetPath(lumo::os::toUtf8(self.drive + self.dir) + CRunReport::kFileName);

    m_szBinFile = os::GetPrivateProfileStringW(kSection, L"BinFile", L"0", m_szIniPath, kPathChars);
    const PathParts bin = splitPath(m_szBinFile);
    m_szBinPath = self.drive + self.dir + bin.name + bin.ext;

    m_dwReset = settingInt(L"Reset", m_szIniPath);
    m_dwFlashSectorFeature = settingInt(L"FlashSectorFeature", m_szIniPath);
    m_bDevSelect = static_cast<std::uint8_t>(settingInt(L"DevSelect", m_szIniPath));
    m_dwVerify = settingInt(L"Verify", m_szIniPath, 1);
    m_dwExpectedCount = settingInt(L"ExpectedCount", m_szIniPath);

    if (m_dwFlashSectorFeature == 1) m_layer.CheckDlgButton(IDC_CHECK_SPEC_SECTOR, true);
    OnBnClickedCheckSpecSector();

    std::wstring version;
    TAVIX_GetProductVersion(m_szModulePath.c_str(), version);
    m_layer.SetWindowText(L"LumoMP " + version);

    EnumerateAndShow(false);
    ShowDevCount();

    XTRACE(0)("%s <===", "CLumoMPDlg::OnInitDialog");
    XTRACE(0)(XTRACE_LINE_STAR);
    return true;
}

bool CLumoMPDlg::OnDeviceChange(std::uint32_t eventType, const TAVIX_DEVICE_INTERFACE_NOTICE* data) {
    if (!data) return true;
    const bool arrival = eventType == TAVIX_DBT_DEVICEARRIVAL;
    if (!arrival && eventType != TAVIX_DBT_DEVICEREMOVECOMPLETE) return true;
    if (data->dbcc_devicetype != TAVIX_DBT_DEVTYP_DEVICEINTERFACE) return true;
    if (!arrival) {
        const std::wstring name = data->dbcc_name ? data->dbcc_name : L"";
        m_strRemovedPath = name.size() > 6 ? name.substr(6) : std::wstring();
    }
    const auto videoClass = lumo::os::guids::kVideoCaptureInterfaceClass.toBytes();
    if (!std::equal(videoClass.begin(), videoClass.end(), data->dbcc_classguid)) return true;

    const char* what = arrival ? "OnDeviceChange DEVICE ARRIVAL" : "OnDeviceChange DEVICE REMOVE COMPLETE";
    XTRACE(0)(XTRACE_LINE_STAR);
    XTRACE(0)("%s ===>", what);

    // No registry change while any worker of a run still uses a camera; the run's window
    // calls are served meanwhile.
    WaitForRunEnd();
    JoinRunThreads();

    SetStatus(kStatusEnumerating);
    m_wProgressPos.store(0, std::memory_order_relaxed);
    m_wProgressMax.store(0, std::memory_order_relaxed);
    // The bar of the last run goes too: a full bar beside "MPtool Ready" reads as a good run.
    m_layer.SetProgressPos(0);

    if (arrival) {
        EnumerateAndShow(true);
    } else {
        std::uint8_t count = 0;
        if (TAVIX_DevsDelByPath(m_strRemovedPath) != 0) TAVIX_GetDevCount(&count);
        if (count > 0) {
            // The camera now at index 0 may be another one: show its own ROM size.
            TAVIX_GetFlashSize(&m_dwFlashSize, 0);
            LumoMPEnableUICtrl(true);
            SetStatus(kStatusReady);
            ShowInformation();
        } else {
            DeleteInformation();
            DisableRunControls();
        }
    }
    ShowDevCount();

    XTRACE(0)("%s <===", what);
    XTRACE(0)(XTRACE_LINE_STAR);
    return true;
}

void CLumoMPDlg::LumoMPEnableUICtrl(bool enable) {
    XTRACE(2)("%s ===>", "CLumoMPDlg::LumoMPEnableUICtrl");
    m_layer.EnableDlgItem(IDC_BUTTON_UPGRADE_FW, enable);
    m_layer.EnableDlgItem(IDC_CHECK_SPEC_SECTOR, enable);
    m_layer.EnableSystemMenuClose(enable);
    XTRACE(2)("%s <===", "CLumoMPDlg::LumoMPEnableUICtrl");
}

void CLumoMPDlg::ShowInformation() {
    XTRACE(2)("%s ===>", "CLumoMPDlg::ShowInformation");
    m_szSetfileVer.fill(0);
    m_szBackendPartNo.fill(0);
    if (TAVIX_GetBcdDevice(&m_wBcdDevice, 0) != 0)
        m_layer.SetDlgItemText(IDC_STATIC_BCD, format(L"%04X", m_wBcdDevice));
    if (TAVIX_GetModuleInfo(&m_wExtSensorApId, &m_wExtFwVer, m_szSetfileVer.data(), 0) != 0) {
        m_layer.SetDlgItemText(IDC_STATIC_EXTFW, format(L"%04X%04X", m_wExtSensorApId, m_wExtFwVer));
        m_layer.SetDlgItemText(IDC_STATIC_SETFILE, ansiToWide(m_szSetfileVer.data(), m_szSetfileVer.size()));
    }
    if (TAVIX_GetBackendInfo(m_szBackendSig.data(), m_szBackendPartNo.data(), 0) != 0)
        m_layer.SetDlgItemText(IDC_COMBO_BACKEND_TYPE, ansiToWide(m_szBackendPartNo.data(), m_szBackendPartNo.size()));
    else
        m_layer.SetDlgItemText(IDC_COMBO_BACKEND_TYPE, kNoDevice);
    const wchar_t* romType = m_dwFlashSize == 65536 ? L"SPI" : m_dwFlashSize == 0 ? kNoDevice : L"I2C";
    m_layer.SetDlgItemText(IDC_COMBO_EEPROM_TYPE, romType);
    m_layer.SetDlgItemText(IDC_EDIT_BINFILE, BinFileText());
    XTRACE(2)("%s <===", "CLumoMPDlg::ShowInformation");
}

void CLumoMPDlg::DeleteInformation() {
    XTRACE(2)("%s ===>", "CLumoMPDlg::DeleteInformation");
    m_layer.SetDlgItemText(IDC_STATIC_BCD, L"");
    m_layer.SetDlgItemText(IDC_STATIC_EXTFW, L"");
    m_layer.SetDlgItemText(IDC_STATIC_SETFILE, L"");
    m_layer.SetDlgItemText(IDC_COMBO_BACKEND_TYPE, kNoDevice);
    m_layer.SetDlgItemText(IDC_COMBO_EEPROM_TYPE, kNoDevice);
    m_wProgressPos.store(0, std::memory_order_relaxed);
    XTRACE(2)("%s <===", "CLumoMPDlg::DeleteInformation");
}

void CLumoMPDlg::OnBnClickedCheckSpecSector() {
    XTRACE(2)("%s ===>", "CLumoMPDlg::OnBnClickedCheckSpecSector");
    m_wSpecificSector = static_cast<std::uint16_t>(settingInt(L"SpecificSector", m_szIniPath));
    if (m_layer.IsDlgButtonChecked(IDC_CHECK_SPEC_SECTOR)) {
        if (m_wSpecificSector > 15) {
            MessageBoxOwned(kMsgSectorInvalid, MsgIcon::Stop);
            m_layer.CheckDlgButton(IDC_CHECK_SPEC_SECTOR, false);
            // The mode is off: do not leave an earlier sector on show.
            m_layer.SetDlgItemText(IDC_STATIC_SECTOR, L"");
            m_dwSpecSectorOn = 0;
        } else {
            m_wSectorAddr = static_cast<std::uint16_t>(m_wSpecificSector * 4096u);
            m_layer.SetDlgItemText(IDC_STATIC_SECTOR, format(L"Sector %d", m_wSpecificSector));
            m_dwSpecSectorOn = 1;
        }
    } else {
        m_layer.SetDlgItemText(IDC_STATIC_SECTOR, L"");
        m_dwSpecSectorOn = 0;
    }
    XTRACE(2)("%s <===", "CLumoMPDlg::OnBnClickedCheckSpecSector");
}

}  // namespace lumo::tool
