#include "platform/ExePath.h"

#include <unistd.h>

#include <vector>

namespace lumo::os {

std::string GetModuleFileName() {
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return {};
    return std::string(buf.data(), static_cast<std::size_t>(n));
}

std::string GetModuleDirectory() {
    const std::string path = GetModuleFileName();
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return path.substr(0, slash + 1);
}

}  // namespace lumo::os
