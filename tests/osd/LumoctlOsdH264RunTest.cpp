// lumoctl's osd and h264 commands on an emulated line: output, exit status, refusals.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

class LumoctlOsdH264 : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("lumoctl-osd-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
        // Camera 0 has the extended command set (OSD, encoder); camera 1 has not.
        std::ofstream(m_dir / "line.ini") << "[line]\nromdir = roms\n"
                                             "[camera 1]\nchip = QT7421\nctrl = xu\nrom = spi:WINBOND W25X10CL\n"
                                             "[camera 2]\nchip = QT7421\nctrl = none\nrom = spi:WINBOND W25X10CL\n";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    int run(const std::string& args, std::string* out) {
        const std::string cmd = "LUMO_WORLD=emu:" + (m_dir / "line.ini").string() + " " + LUMOCTL_PATH + " " + args +
                                " 2>" + (m_dir / "stderr.txt").string();
        FILE* p = ::popen(cmd.c_str(), "r");
        if (!p) return -1;
        out->clear();
        char buf[1024];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
        const int status = ::pclose(p);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string err() {
        std::ifstream f(m_dir / "stderr.txt");
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    fs::path m_dir;
};

TEST_F(LumoctlOsdH264, GetsShowRecordsInHex) {
    std::string out;
    ASSERT_EQ(run("h264 version", &out), 0) << err();
    EXPECT_EQ(out, "0110\n");
    ASSERT_EQ(run("--json h264 qp get 2", &out), 0) << err();
    EXPECT_EQ(out, "{\"index\":0,\"qp\":\"00 00 02 0A 33 00\"}\n");
    ASSERT_EQ(run("osd enable get", &out), 0) << err();
    EXPECT_EQ(out, "00\n");
}

TEST_F(LumoctlOsdH264, SetsTakeHexRecordsOfTheirSize) {
    std::string out;
    EXPECT_EQ(run("osd enable set 1", &out), 0) << err();
    EXPECT_EQ(run("osd string set 2 3412 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E", &out), 0) << err();
    EXPECT_EQ(run("h264 bitrate set 0x02,0x01,00,00,33,22,11,00,66,55,44,00", &out), 0) << err();
    EXPECT_EQ(run("osd window set 01 02", &out), 1);
    EXPECT_NE(err().find("window: needs 9 bytes, got 2"), std::string::npos) << err();
    EXPECT_EQ(run("h264 ratectrl set 00 00 04 00", &out), 1);  // the encoder refuses mode 4
    EXPECT_NE(err().find("ratectrl failed"), std::string::npos) << err();
}

TEST_F(LumoctlOsdH264, ACameraWithoutTheExtendedSetRefuses) {
    std::string out;
    EXPECT_EQ(run("--index 1 osd enable get", &out), 1);
    EXPECT_EQ(run("--index 1 h264 version", &out), 1);
    EXPECT_EQ(out, "");
}

}  // namespace
