#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>

#include "platform/ProfileFile.h"
#include "platform/TextConv.h"

namespace fs = std::filesystem;
using namespace lumo::os;

namespace {

class ProfileFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = fs::temp_directory_path() / ("lumo-profile-" + std::to_string(::getpid()) + ".ini");
    }
    void TearDown() override { fs::remove(m_path); }
    void write(const std::string& body) { std::ofstream(m_path, std::ios::binary) << body; }
    std::wstring path() const { return fromUtf8(m_path.string()); }
    fs::path m_path;
};

}  // namespace

TEST_F(ProfileFixture, IntegersAsTheWindowsReaderTakesThem) {
    struct Case {
        const char* value;
        std::int32_t expected;
    } const cases[] = {
        {"12", 12},
        {"  12  ", 12},
        {"+7", 7},
        {"-5", -5},
        {"12abc", 12},
        {"abc", 0},
        {"", 99},
        {"0x10", 0},
        {"007", 7},
        {"1 2", 1},
        {"-", 0},
        {"4294967297", 1},
        {"2147483648", INT32_MIN},
        {"\"5\"", 5},
    };
    for (const auto& c : cases) {
        write(std::string("[S]\r\nK=") + c.value + "\r\n");
        EXPECT_EQ(GetPrivateProfileIntW(L"S", L"K", 99, path()), c.expected) << "value '" << c.value << "'";
    }
}

TEST_F(ProfileFixture, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(GetPrivateProfileIntW(L"S", L"K", 42, path()), 42);  // no file
    write("\xEF\xBB\xBF; comment\n[Other]\nK=1\n[s]\n  k = 3 \n;K=4\nJ=5\n[S]\nK=6\n");
    EXPECT_EQ(GetPrivateProfileIntW(L"S", L"K", 42, path()), 3);  // case-free, first section wins
    EXPECT_EQ(GetPrivateProfileIntW(L"S", L"Nope", 42, path()), 42);
    EXPECT_EQ(GetPrivateProfileIntW(L"Nope", L"K", 42, path()), 42);
    EXPECT_EQ(GetPrivateProfileIntW(L"OTHER", L"K", 42, path()), 1);
}

// A FIFO or a device named as the settings file reads as a missing file, at once: the reader
// must not wait for a writer that never comes, nor read a device that never ends.
TEST_F(ProfileFixture, FifoOrDeviceReadsAsMissingAtOnce) {
    ASSERT_EQ(::mkfifo(m_path.c_str(), 0600), 0);
    for (const std::wstring& file : {path(), std::wstring(L"/dev/zero"), std::wstring(L"/dev/null")}) {
        auto query = std::async(std::launch::async, [&] { return GetPrivateProfileIntW(L"S", L"K", 42, file); });
        if (query.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            // Become the FIFO's writer so that the test fails instead of hanging.
            const int fd = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK);
            query.wait();
            if (fd >= 0) ::close(fd);
            ADD_FAILURE() << "the reader blocked on " << toUtf8(file);
            continue;
        }
        EXPECT_EQ(query.get(), 42) << toUtf8(file);
    }
}

TEST_F(ProfileFixture, StringsAreCutToTheBuffer) {
    write("[SETTING]\nBinFile = \"C:\\fw\\a.bin\" \nName=\xE4\xB8\xAD\xE6\x96\x87\n");
    EXPECT_EQ(GetPrivateProfileStringW(L"SETTING", L"BinFile", L"", path(), 260), L"C:\\fw\\a.bin");
    EXPECT_EQ(GetPrivateProfileStringW(L"SETTING", L"BinFile", L"", path(), 5), L"C:\\f");
    EXPECT_EQ(GetPrivateProfileStringW(L"SETTING", L"BinFile", L"", path(), 0), L"");
    EXPECT_EQ(GetPrivateProfileStringW(L"SETTING", L"Name", L"", path(), 260), L"\u4e2d\u6587");
    EXPECT_EQ(GetPrivateProfileStringW(L"SETTING", L"None", L"dflt", path(), 260), L"dflt");
}

TEST_F(ProfileFixture, WriteAddsOrReplacesAndKeepsTheRest) {
    ASSERT_TRUE(WritePrivateProfileStringW(L"SETTING", L"Reset", L"1", path()));
    write("[SETTING]\nReset=0\n\n[OTHER]\nX=9\n");
    ASSERT_TRUE(WritePrivateProfileStringW(L"setting", L"RESET", L"1", path()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"SETTING", L"DevSelect", L"2", path()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"NEW", L"A", L"b", path()));
    EXPECT_EQ(GetPrivateProfileIntW(L"SETTING", L"Reset", 0, path()), 1);
    EXPECT_EQ(GetPrivateProfileIntW(L"SETTING", L"DevSelect", 0, path()), 2);
    EXPECT_EQ(GetPrivateProfileIntW(L"OTHER", L"X", 0, path()), 9);
    EXPECT_EQ(GetPrivateProfileStringW(L"NEW", L"A", L"", path(), 10), L"b");
    EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"K", L"v", L"/no/such/dir/x.ini"));
}

// The tool's settings file: a spaced section name, blanks around keys and values, and the
// unsigned integers the tool keeps (a negative value is its two's complement).
TEST_F(ProfileFixture, TheToolsSettingsFile) {
    write(
        "; comment\n[other]\nReset=7\n"
        "[ setting ]\n  reset = 12abc \nNeg=-1\nBig=4294967297\n"
        "Hex=0x10\nBinFile = \"my fw.bin\" \nEmpty=\n");
    const std::pair<const wchar_t*, std::uint32_t> ints[] = {{L"Reset", 12}, {L"Neg", 0xFFFFFFFFu}, {L"Big", 1},
                                                             {L"Hex", 0},    {L"Empty", 5},         {L"Missing", 5}};
    for (const auto& [key, want] : ints)
        EXPECT_EQ(static_cast<std::uint32_t>(GetPrivateProfileIntW(L"SETTING", key, 5, path())), want) << key;
    EXPECT_EQ(GetPrivateProfileIntW(L"SETTING", L"Reset", 5, L"/nonexistent/LumoMP.ini"), 5);

    EXPECT_EQ(GetPrivateProfileStringW(L"SETTING", L"BinFile", L"0", path(), 260), L"my fw.bin");
    EXPECT_EQ(GetPrivateProfileStringW(L"SETTING", L"BinFile", L"0", path(), 4), L"my ");
    EXPECT_EQ(GetPrivateProfileStringW(L"SETTING", L"Nope", L"0", path(), 260), L"0");
    EXPECT_EQ(GetPrivateProfileStringW(L"Missing", L"BinFile", L"0", path(), 260), L"0");
}
