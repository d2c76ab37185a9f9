#include "platform/MessageBox.h"

#include <atomic>

#include "platform/DebugOutput.h"
#include "platform/TextConv.h"

namespace lumo::os {
namespace {

std::int32_t stderrBox(std::uint64_t, const std::wstring& text, const std::wstring& caption, std::uint32_t type) {
    const std::string line = "[" + toUtf8(caption) + "] " + toUtf8(text) + "\n";
    OutputDebugStringA(line.c_str());
    return (type & 0x0F) == MB_YESNO ? IDYES : IDOK;
}

std::atomic<MessageBoxFn> g_box{nullptr};

}  // namespace

void installMessageBox(MessageBoxFn fn) {
    g_box.store(fn, std::memory_order_release);
}

std::int32_t MessageBox(std::uint64_t owner, const std::wstring& text, const std::wstring& caption,
                        std::uint32_t type) {
    MessageBoxFn fn = g_box.load(std::memory_order_acquire);
    return fn ? fn(owner, text, caption, type) : stderrBox(owner, text, caption, type);
}

}  // namespace lumo::os
