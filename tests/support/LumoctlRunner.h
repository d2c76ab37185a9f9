#pragma once
// Runs the lumoctl program (LUMOCTL_PATH, set by the test target) on an emulated line written
// into a scratch directory of the test's own: exit status, standard output and standard error.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace lumo::testsupport {

class LumoctlRunner : public ::testing::Test {
protected:
    // Makes the scratch directory (prefix, process and test name) with lineFile as line.ini.
    void makeLine(const std::string& prefix, const std::string& lineFile) {
        m_dir =
            std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        std::ofstream(m_dir / "line.ini") << lineFile;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    // Runs lumoctl with args; returns its exit status (-1 if it did not exit), stdout in *out.
    int run(const std::string& args, std::string* out) {
        const std::string cmd = "LUMO_WORLD=emu:" + (m_dir / "line.ini").string() + " " + LUMOCTL_PATH + " " + args +
                                " 2>" + (m_dir / "stderr.txt").string();
        FILE* p = ::popen(cmd.c_str(), "r");
        if (!p) return -1;
        out->clear();
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
        const int status = ::pclose(p);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Standard error of the last run.
    std::string err() const {
        std::ifstream f(m_dir / "stderr.txt");
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    std::filesystem::path m_dir;
};

}  // namespace lumo::testsupport
