// lumoctl on an emulated line: the program as scripts run it, output and exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/support/LumoctlRunner.h"

namespace {

class LumoctlRun : public lumo::testsupport::LumoctlRunner {
protected:
    void SetUp() override {
        makeLine("lumoctl-",
                 "[line]\nromdir = roms\n"
                 "[camera 1]\nchip = QT7421\nrom = spi:WINBOND W25X10CL\n"
                 "[camera 2]\nchip = other\n"
                 "[camera 3]\nchip = QT7421\nrom = eeprom:4096\n");
    }
};

TEST_F(LumoctlRun, ListsOurCamerasOnly) {
    std::string out;
    ASSERT_EQ(run("--json list", &out), 0) << err();
    EXPECT_EQ(out.rfind("{\"cameras\":[", 0), 0u) << out;
    EXPECT_NE(out.find("\"index\":1"), std::string::npos) << out;
    EXPECT_EQ(out.find("\"index\":2"), std::string::npos) << "another vendor's camera was listed: " << out;
    EXPECT_NE(out.find("\"vidPid\":\"2E1A:7421\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"romSize\":4096"), std::string::npos) << out;
}

TEST_F(LumoctlRun, RomWriteThenReadGivesTheFileBack) {
    std::vector<char> bytes(0x1800);
    std::mt19937 rng(3);
    for (auto& b : bytes) b = static_cast<char>(rng());
    std::ofstream(m_dir / "in.bin", std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::string out;
    ASSERT_EQ(run("rom protect off", &out), 0) << err();
    ASSERT_EQ(run("rom erase chip", &out), 0) << err();
    ASSERT_EQ(run("rom write 0x2000 " + (m_dir / "in.bin").string(), &out), 0) << err();
    EXPECT_NE(err().find("write"), std::string::npos) << "no progress for a long transfer";
    ASSERT_EQ(run("rom read 2000 1800 -o " + (m_dir / "out.bin").string(), &out), 0) << err();
    std::ifstream f(m_dir / "out.bin", std::ios::binary);
    const std::vector<char> back((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(back, bytes);
    ASSERT_EQ(run("rom protect on", &out), 0) << err();
}

// The write reads its bytes back. A protected flash answers every write request and keeps
// its bytes as they were: only the read-back tells, with the first address that differs.
TEST_F(LumoctlRun, RomWriteFailsWhenTheBytesDoNotLand) {
    makeLine("lumoctl-", "[line]\nromdir = roms\n[camera 1]\nchip = QT7421\n");
    std::vector<char> bytes(0x1800, '\x3C');
    std::ofstream(m_dir / "in.bin", std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const std::string write = "rom write 0x2000 " + (m_dir / "in.bin").string();
    std::string out;
    ASSERT_EQ(run("rom protect off", &out), 0) << err();
    ASSERT_EQ(run("rom erase chip", &out), 0) << err();
    ASSERT_EQ(run("rom protect on", &out), 0) << err();
    EXPECT_NE(run(write, &out), 0) << out;
    EXPECT_NE(err().find("rom verify failed at 0x2000"), std::string::npos) << err();
    EXPECT_EQ(out.find("ok"), std::string::npos) << out;
    // Without the read-back the same write passes: the requests themselves all succeed.
    EXPECT_EQ(run(write + " --no-verify", &out), 0) << err();

    // Once writable the bytes land and the read-back agrees.
    ASSERT_EQ(run("rom protect off", &out), 0) << err();
    EXPECT_EQ(run(write, &out), 0) << err();
    EXPECT_NE(err().find("verify"), std::string::npos) << "no progress for the read-back";
}

// A camera whose ROM could not be detected is not written.
TEST_F(LumoctlRun, RomWriteRefusesACameraWhoseRomWasNotDetected) {
    makeLine("lumoctl-", "[camera 1]\nchip = QT7421\nfail_selector = 0x03\n");
    std::ofstream(m_dir / "in.bin", std::ios::binary) << "abcdefgh";
    std::string out;
    EXPECT_NE(run("rom write 0x2000 " + (m_dir / "in.bin").string(), &out), 0) << out;
    EXPECT_NE(err().find("ROM not detected"), std::string::npos) << err();
}

TEST_F(LumoctlRun, FailuresGiveAReasonAndNonZeroStatus) {
    std::string out;
    EXPECT_NE(run("--index 5 reg read 0 4", &out), 0);
    EXPECT_NE(err().find("no camera at index 5"), std::string::npos) << err();
    EXPECT_NE(run("reg read xyz 4", &out), 0);
    EXPECT_NE(err().find("bad address"), std::string::npos) << err();
    std::ofstream(m_dir / "nine.txt") << "123456789";
    ASSERT_EQ(run("crc " + (m_dir / "nine.txt").string(), &out), 0) << err();
    EXPECT_EQ(out, "0xAEE7\n");
}

}  // namespace
