#pragma once
// Message boxes. Each module (the library, the tool) links its own copy of this service and
// may install its own presenter; the default one writes caption and text to standard error
// and answers OK.
#include <cstdint>
#include <string>

namespace lumo::os {

inline constexpr std::uint32_t MB_OK = 0x00000000;
inline constexpr std::uint32_t MB_OKCANCEL = 0x00000001;
inline constexpr std::uint32_t MB_YESNO = 0x00000004;
inline constexpr std::uint32_t MB_ICONSTOP = 0x00000010;
inline constexpr std::uint32_t MB_ICONQUESTION = 0x00000020;
inline constexpr std::uint32_t MB_ICONWARNING = 0x00000030;
inline constexpr std::uint32_t MB_ICONINFORMATION = 0x00000040;

inline constexpr std::int32_t IDOK = 1;
inline constexpr std::int32_t IDCANCEL = 2;
inline constexpr std::int32_t IDYES = 6;
inline constexpr std::int32_t IDNO = 7;

// owner: the window handle of the caller's dialog layer, 0 for none.
using MessageBoxFn = std::int32_t (*)(std::uint64_t owner, const std::wstring& text, const std::wstring& caption,
                                      std::uint32_t type);

// Installs a presenter for this module; null restores the default.
void installMessageBox(MessageBoxFn fn);
std::int32_t MessageBox(std::uint64_t owner, const std::wstring& text, const std::wstring& caption, std::uint32_t type);

}  // namespace lumo::os
