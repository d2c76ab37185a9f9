#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/ExePath.h"
#include "platform/VersionResource.h"

namespace fs = std::filesystem;
using lumo::os::VerQueryFileValue;

namespace {

const char* const kQuery = "\\StringFileInfo\\040403b6\\ProductVersion";

std::string self() {
    return lumo::os::GetModuleFileName();
}

std::string slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class VersionFixture : public ::testing::Test {
protected:
    void SetUp() override { m_path = fs::temp_directory_path() / ("lumo-ver-" + std::to_string(::getpid())); }
    void TearDown() override { fs::remove(m_path); }
    bool query(const std::string& bytes, std::string& v) {
        std::ofstream(m_path, std::ios::binary | std::ios::trunc) << bytes;
        return VerQueryFileValue(m_path.string(), kQuery, v);
    }
    fs::path m_path;
};

}  // namespace

TEST(VersionResource, FoundInOurOwnFile) {
    std::string v;
    ASSERT_TRUE(VerQueryFileValue(self(), kQuery, v));
    EXPECT_EQ(v, "2.3.45.6");
    EXPECT_TRUE(VerQueryFileValue(self(), "\\StringFileInfo\\040403b6\\ProductName", v));
    EXPECT_EQ(v, "platform_tests");
    EXPECT_FALSE(VerQueryFileValue(self(), "\\StringFileInfo\\040904b0\\ProductVersion", v));
}

TEST_F(VersionFixture, MissingOrNotElf) {
    std::string v = "unchanged";
    EXPECT_FALSE(VerQueryFileValue("/no/such/file", kQuery, v));
    EXPECT_FALSE(VerQueryFileValue("/proc/self", kQuery, v));  // a directory
    EXPECT_FALSE(VerQueryFileValue("/bin/sh", kQuery, v));     // an ELF file without the block
    EXPECT_FALSE(query("", v));
    EXPECT_FALSE(query("not an ELF file at all", v));
    EXPECT_EQ(v, "unchanged");
}

TEST_F(VersionFixture, TruncatedCopiesNeverReadPastTheEnd) {
    const std::string image = slurp(self());
    ASSERT_GT(image.size(), 4096u);
    std::string v;
    for (std::size_t len : {std::size_t{4}, std::size_t{52}, std::size_t{63}, std::size_t{64}, image.size() / 2,
                            image.size() - 64, image.size() - 1}) {
        EXPECT_FALSE(query(image.substr(0, len), v)) << len;
    }
    EXPECT_TRUE(query(image, v));
}

TEST_F(VersionFixture, HostileHeadersAreRefused) {
    const std::string image = slurp(self());
    std::string v;
    // Fields of the 64-bit header: section-header offset (40), entry size (58), count (60),
    // name-table index (62).
    struct Patch {
        std::size_t offset;
        std::string bytes;
    } const patches[] = {
        {40, std::string("\xff\xff\xff\xff\xff\xff\xff\x7f", 8)},
        {40, std::string("\xf0\xff\xff\xff\xff\xff\xff\xff", 8)},
        {58, std::string("\x00\x00", 2)},
        {58, std::string("\xff\xff", 2)},
        {60, std::string("\x00\x00", 2)},
        {62, std::string("\xfe\xff", 2)},
        {62, std::string("\xff\xff", 2)},
    };
    for (const auto& p : patches) {
        std::string bad = image;
        bad.replace(p.offset, p.bytes.size(), p.bytes);
        EXPECT_FALSE(query(bad, v)) << p.offset;
    }
    // Random damage to the section headers and the tail: no crash, no read out of bounds.
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        std::string bad = image;
        const std::size_t tail = std::min<std::size_t>(bad.size(), 8192);
        for (int k = 0; k < 16; ++k) bad[bad.size() - 1 - rng() % tail] = static_cast<char>(rng());
        query(bad, v);
    }
}
