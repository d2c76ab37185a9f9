#pragma once
// The open-file dialog of the OS layer. The desktop's chooser when one is installed (zenity
// or kdialog, with a display), else a prompt on the terminal when standard input is one, else
// the dialog is cancelled. Tests and hosts may install their own chooser.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace lumo::os {

inline constexpr std::uint32_t kMaxPath = 260;

// The open-file-name record, wide-character form: what the caller asks for, and where the
// chosen path goes. lpstrFile holds the initial file name on entry and the chosen path on a
// successful return, terminated, within nMaxFile characters.
struct OpenFileName {
    std::uint32_t lStructSize = 0;
    // filter entries: shown name and pattern, e.g. {L"Bin", L"*.bin"}
    std::vector<std::pair<std::wstring, std::wstring>> lpstrFilter;
    std::uint32_t nFilterIndex = 0;
    wchar_t* lpstrFile = nullptr;
    std::uint32_t nMaxFile = 0;
    const wchar_t* lpstrTitle = nullptr;
    std::uint32_t Flags = 0;
};

// Shows the dialog. True when the user chose a file (its path is in lpstrFile); false when
// cancelled, when no chooser is available or when the path does not fit in nMaxFile.
bool GetOpenFileName(OpenFileName& ofn);

// A chooser that replaces the desktop's: gets the initial file name and the filter, returns
// true with the chosen path. Null restores the default.
using OpenFileChooser =
    std::function<bool(const std::wstring& initialPath, const OpenFileName& ofn, std::wstring* chosenPath)>;
void installOpenFileChooser(OpenFileChooser chooser);

}  // namespace lumo::os
