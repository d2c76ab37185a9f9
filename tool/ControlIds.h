#pragma once
// Control ids and template texts of the LumoMP window (template 102). Every front end builds
// the same window from these, so tests and operators see one layout.
namespace lumo::tool {

inline constexpr int IDD_LUMOMP_DIALOG = 102;

inline constexpr int IDC_PROGRESS = 1001;           // progress bar, range 0..99
inline constexpr int IDC_BUTTON_UPGRADE_FW = 1000;  // "Upgrade FW"
inline constexpr int IDC_GROUP_DEVICE_INFO = 1002;  // "Device Info"
inline constexpr int IDC_STATIC_STATUS = 1003;      // status line, 30-point font
inline constexpr int IDC_STATIC_BCD_LABEL = 1005;   // "BCD Ver:"
inline constexpr int IDC_STATIC_BCD = 1006;
inline constexpr int IDC_STATIC_EXTFW_LABEL = 1007;  // "External FW Ver:"
inline constexpr int IDC_STATIC_EXTFW = 1008;
inline constexpr int IDC_STATIC_SETFILE_LABEL = 1009;  // "Set File Ver:"
inline constexpr int IDC_STATIC_SETFILE = 1010;
inline constexpr int IDC_EDIT_BINFILE = 1011;          // "BinFile" as written
inline constexpr int IDC_COMBO_EEPROM_TYPE = 1014;     // ROM type of camera 0
inline constexpr int IDC_COMBO_BACKEND_TYPE = 1015;    // chip part number of camera 0
inline constexpr int IDC_CHECK_SPEC_SECTOR = 1016;     // "Specific Sector:"
inline constexpr int IDC_STATIC_SECTOR = 1017;         // "Sector %d" while the mode is on
inline constexpr int IDC_STATIC_BACKEND_LABEL = 1018;  // "BACKEND TYPE"
inline constexpr int IDC_STATIC_EEPROM_LABEL = 1019;   // "EEPROM TYPE"
inline constexpr int IDC_STATIC_DEVNUM_LABEL = 1020;   // "Device Number:"
inline constexpr int IDC_STATIC_DEVNUM = 1021;         // camera count, "%X"

// One control of the template: id, kind, text, position and size in dialog units.
enum class ControlKind { GroupBox, Static, Progress, Button, CheckBox, Edit, Combo };

struct ControlTemplate {
    int id;
    ControlKind kind;
    const wchar_t* text;
    int x, y, cx, cy;
    bool enabled;  // as the template creates it
};

inline constexpr ControlTemplate kControls[] = {
    {IDC_GROUP_DEVICE_INFO, ControlKind::GroupBox, L"Device Info", 4, 4, 292, 92, true},
    {IDC_STATIC_STATUS, ControlKind::Static, L"------", 16, 22, 192, 36, true},
    {IDC_PROGRESS, ControlKind::Progress, L"", 12, 66, 196, 22, true},
    {IDC_BUTTON_UPGRADE_FW, ControlKind::Button, L"Upgrade FW", 216, 19, 71, 70, true},
    {IDC_CHECK_SPEC_SECTOR, ControlKind::CheckBox, L"Specific Sector:", 12, 100, 76, 10, true},
    {IDC_STATIC_SECTOR, ControlKind::Static, L"", 90, 100, 42, 10, true},
    {IDC_STATIC_DEVNUM_LABEL, ControlKind::Static, L"Device Number:", 148, 101, 57, 8, true},
    {IDC_STATIC_DEVNUM, ControlKind::Static, L"", 208, 101, 8, 8, true},
    {IDC_EDIT_BINFILE, ControlKind::Edit, L"", 12, 114, 266, 14, false},
    {IDC_STATIC_EEPROM_LABEL, ControlKind::Static, L"EEPROM TYPE", 12, 138, 45, 8, true},
    {IDC_COMBO_EEPROM_TYPE, ControlKind::Combo, L"", 64, 136, 72, 30, false},
    {IDC_STATIC_BACKEND_LABEL, ControlKind::Static, L"BACKEND TYPE", 153, 136, 50, 12, true},
    {IDC_COMBO_BACKEND_TYPE, ControlKind::Combo, L"", 207, 136, 72, 30, false},
    {IDC_STATIC_BCD_LABEL, ControlKind::Static, L"BCD Ver:", 11, 168, 34, 8, true},
    {IDC_STATIC_BCD, ControlKind::Static, L"", 44, 168, 17, 8, true},
    {IDC_STATIC_EXTFW_LABEL, ControlKind::Static, L"External FW Ver:", 73, 168, 65, 8, true},
    {IDC_STATIC_EXTFW, ControlKind::Static, L"", 139, 168, 45, 8, true},
    {IDC_STATIC_SETFILE_LABEL, ControlKind::Static, L"Set File Ver:", 185, 168, 53, 8, true},
    {IDC_STATIC_SETFILE, ControlKind::Static, L"", 240, 168, 51, 8, true},
};

// Window template: caption (replaced at start-up), size in dialog units, font.
inline constexpr const wchar_t* kTemplateCaption = L"LumoMP";
inline constexpr int kDialogWidth = 302;
inline constexpr int kDialogHeight = 193;
inline constexpr const wchar_t* kDialogFont = L"Consolas";
inline constexpr int kDialogFontPoints = 9;

// Status line texts.
inline constexpr const wchar_t* kStatusTemplate = L"------";
inline constexpr const wchar_t* kStatusEnumerating = L"----";
inline constexpr const wchar_t* kStatusReady = L"MPtool Ready";
inline constexpr const wchar_t* kStatusUpgrading = L"Upgrade FW";
inline constexpr const wchar_t* kStatusFailed = L"Upgrade FW Fail";

// Message box texts.
inline constexpr const wchar_t* kMsgSourceFileError = L"Firmware source file error !";
inline constexpr const wchar_t* kMsgSignatureMismatch = L"BIN file Header Signature is not match !";
inline constexpr const wchar_t* kMsgSectorInvalid = L"FlashSector is not valid";
inline constexpr const wchar_t* kMsgNoCamera = L"No camera to upgrade !";
// Formats: expected and registered camera counts; image length, sector and ROM end.
inline constexpr const wchar_t* kMsgCountMismatch = L"ExpectedCount is %u, but %u cameras are registered !";
inline constexpr const wchar_t* kMsgSectorFit = L"BIN file of %u bytes does not fit above Sector %u (ROM ends at %u) !";

inline constexpr const wchar_t* kNoDevice = L"No Device";

}  // namespace lumo::tool
