#include "platform/OpenFileDialog.h"

#include "platform/TextConv.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

extern char** environ;

namespace lumo::os {
namespace {

std::mutex g_chooserMutex;
OpenFileChooser g_chooser;

std::string findInPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    std::string all(path);
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t end = all.find(':', start);
        if (end == std::string::npos) end = all.size();
        std::string dir = all.substr(start, end - start);
        if (!dir.empty()) {
            std::string candidate = dir + "/" + program;
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        start = end + 1;
    }
    return {};
}

// Runs a chooser program without a shell and returns its first output line when it exits 0.
bool runChooser(const std::string& program, const std::vector<std::string>& args, std::string* line) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return false;
    }
    std::string out;
    char buf[512];
    for (;;) {
        ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n > 0) {
            out.append(buf, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    std::size_t nl = out.find('\n');
    if (nl != std::string::npos) out.resize(nl);
    if (out.empty()) return false;
    *line = out;
    return true;
}

bool defaultChooser(const std::wstring& initialPath, const OpenFileName& ofn, std::wstring* chosen) {
    std::string initial = toUtf8(initialPath);
    std::string shown = "Bin";
    std::string pattern = "*.bin";
    if (!ofn.lpstrFilter.empty()) {
        shown = toUtf8(ofn.lpstrFilter.front().first);
        pattern = toUtf8(ofn.lpstrFilter.front().second);
    }
    std::string title = ofn.lpstrTitle ? toUtf8(ofn.lpstrTitle) : "Open";
    const bool desktop = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
    std::string line;
    if (desktop) {
        std::string zenity = findInPath("zenity");
        if (!zenity.empty()) {
            std::vector<std::string> args{"--file-selection", "--title=" + title,
                                          "--file-filter=" + shown + " | " + pattern};
            if (!initial.empty()) args.push_back("--filename=" + initial);
            if (!runChooser(zenity, args, &line)) return false;
            *chosen = fromUtf8(line);
            return true;
        }
        std::string kdialog = findInPath("kdialog");
        if (!kdialog.empty()) {
            std::vector<std::string> args{"--title", title, "--getopenfilename", initial.empty() ? "." : initial,
                                          pattern + "|" + shown};
            if (!runChooser(kdialog, args, &line)) return false;
            *chosen = fromUtf8(line);
            return true;
        }
    }
    if (::isatty(STDIN_FILENO)) {
        std::cerr << shown << " (" << pattern << ")";
        if (!initial.empty()) std::cerr << " [" << initial << "]";
        std::cerr << ": " << std::flush;
        if (!std::getline(std::cin, line)) return false;
        if (line.empty()) line = initial;
        if (line.empty()) return false;
        *chosen = fromUtf8(line);
        return true;
    }
    return false;
}

}  // namespace

void installOpenFileChooser(OpenFileChooser chooser) {
    std::lock_guard lock(g_chooserMutex);
    g_chooser = std::move(chooser);
}

bool GetOpenFileName(OpenFileName& ofn) {
    if (ofn.lpstrFile == nullptr || ofn.nMaxFile == 0) return false;
    std::wstring initial(ofn.lpstrFile, ::wcsnlen(ofn.lpstrFile, ofn.nMaxFile));
    OpenFileChooser chooser;
    {
        std::lock_guard lock(g_chooserMutex);
        chooser = g_chooser;
    }
    std::wstring chosen;
    const bool ok = chooser ? chooser(initial, ofn, &chosen) : defaultChooser(initial, ofn, &chosen);
    if (!ok || chosen.empty()) return false;
    // Like the desktop dialog, a path that does not fit the caller's buffer is a failure.
    if (chosen.size() + 1 > ofn.nMaxFile) return false;
    std::wmemcpy(ofn.lpstrFile, chosen.c_str(), chosen.size() + 1);
    return true;
}

}  // namespace lumo::os
