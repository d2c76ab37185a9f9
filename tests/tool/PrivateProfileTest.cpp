// The settings file reader: what the tool's keys rely on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tool/PrivateProfile.h"

namespace lumo::tool {
namespace {

class Profile : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/lumomp-ini-XXXXXX";
        m_dir = mkdtemp(tmpl);
        m_file = (m_dir / "LumoMP.ini").wstring();
        std::ofstream(m_dir / "LumoMP.ini") << "; comment\n[other]\nReset=7\n"
                                               "[ setting ]\n  reset = 12abc \nNeg=-1\nBig=4294967297\n"
                                               "Hex=0x10\nBinFile = \"my fw.bin\" \nEmpty=\n";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::filesystem::path m_dir;
    std::wstring m_file;
};

TEST_F(Profile, IntegersAreLeadingDecimalDigits) {
    const std::pair<const wchar_t*, std::uint32_t> cases[] = {
        {L"Reset", 12}, {L"Neg", 0xFFFFFFFFu}, {L"Big", 1}, {L"Hex", 0}, {L"Empty", 0}, {L"Missing", 5}};
    for (const auto& [key, want] : cases) EXPECT_EQ(GetPrivateProfileInt(L"SETTING", key, 5, m_file), want) << key;
    EXPECT_EQ(GetPrivateProfileInt(L"SETTING", L"Reset", 5, L"/nonexistent/LumoMP.ini"), 5u);
}

TEST_F(Profile, StringsAreTrimmedUnquotedAndCut) {
    EXPECT_EQ(GetPrivateProfileString(L"SETTING", L"BinFile", L"0", 260, m_file), L"my fw.bin");
    EXPECT_EQ(GetPrivateProfileString(L"SETTING", L"BinFile", L"0", 4, m_file), L"my ");
    EXPECT_EQ(GetPrivateProfileString(L"SETTING", L"Nope", L"0", 260, m_file), L"0");
    EXPECT_EQ(GetPrivateProfileString(L"Missing", L"BinFile", L"0", 260, m_file), L"0");
}

}  // namespace
}  // namespace lumo::tool
