// Line files of the emulated world. The line file sits in a folder of its own; its romdir
// may name any folder, so the program is linked with mkdir wrapped (-Wl,--wrap=mkdir): folders
// are made only inside that folder and removed after each input, everything else is refused
// the way a read-only system would (existing folders report that they exist).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/emu/EmuWorld.h"

extern "C" int __real_mkdir(const char* path, mode_t mode);

namespace lumo::fuzz::line_file {
namespace {

std::string& sandbox() {
    static std::string dir;
    return dir;
}
std::vector<std::string>& made() {
    static std::vector<std::string> dirs;
    return dirs;
}

bool insideSandbox(const std::string& path) {
    const std::string& root = sandbox();
    if (root.empty() || path.compare(0, root.size() + 1, root + "/") != 0) return false;
    return path.find("/..") == std::string::npos;
}

}  // namespace

int lumoFuzzOne(const std::uint8_t* data, std::size_t size) {
    if (sandbox().empty()) {
        sandbox() = scratchDir() + "/line";
        std::filesystem::create_directories(sandbox());
    }
    ByteReader in(data, size);
    const std::string path = writeScratchFile("line/line.ini", in.rest());
    lumo::os::emu::LineDescription line;
    std::string error;
    const bool ok = lumo::os::emu::parseLineFile(path, &line, &error);
    LUMO_FUZZ_CHECK(ok ? error.empty() : !error.empty());
    for (auto it = made().rbegin(); it != made().rend(); ++it) ::rmdir(it->c_str());
    made().clear();
    return 0;
}

}  // namespace lumo::fuzz::line_file

extern "C" int __wrap_mkdir(const char* path, mode_t mode) {
    using namespace lumo::fuzz::line_file;
    std::string p(path ? path : "");
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    if (!insideSandbox(p)) {
        struct stat st {};
        errno = ::stat(p.c_str(), &st) == 0 ? EEXIST : EACCES;
        return -1;
    }
    const int r = __real_mkdir(path, mode);
    if (r == 0) made().push_back(p);
    return r;
}

LUMO_FUZZ_TARGET(line_file)
