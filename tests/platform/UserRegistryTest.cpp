#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/UserRegistry.h"

namespace fs = std::filesystem;
using namespace lumo::os;
using Bytes = std::vector<std::uint8_t>;

namespace {

class RegistryFixture : public ::testing::Test {
protected:
    void SetUp() override { m_path = fs::temp_directory_path() / ("lumo-reg-" + std::to_string(::getpid()) + ".reg"); }
    void TearDown() override { fs::remove(m_path); }
    std::optional<RegKey> open(const std::string& body, const std::wstring& key = L"DEdura") {
        std::ofstream(m_path, std::ios::binary) << body;
        return RegOpenUserKeyFrom(m_path.string(), key);
    }
    fs::path m_path;
};

}  // namespace

TEST_F(RegistryFixture, ValueFormsAsRawBytes) {
    const auto key = open(
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Other]\r\n\"LOGFILE\"=dword:00000007\r\n"
        "[hkey_current_user\\dedura]\r\n"
        "\"LOGFILE\"=dword:00000001\r\n"
        "\"VIEW\"=hex:01,02,\\\r\n  03\r\n"
        "\"LEVEL_0\"=hex(4):ff,00,00,00\r\n"
        "\"Name\"=\"a\\\"b\"\r\n"
        "\"Bad\"=dword:123456789\r\n"
        "garbage line\r\n"
        "@=\"default\"\r\n");
    ASSERT_TRUE(key.has_value());
    struct Case {
        const wchar_t* name;
        std::uint32_t type;
        Bytes data;
    } const cases[] = {
        {L"logfile", REG_DWORD, {1, 0, 0, 0}},
        {L"VIEW", REG_BINARY, {1, 2, 3}},
        {L"LEVEL_0", REG_DWORD, {0xFF, 0, 0, 0}},
        {L"Name", REG_SZ, {'a', 0, '"', 0, 'b', 0, 0, 0}},
        {L"", REG_SZ, {'d', 0, 'e', 0, 'f', 0, 'a', 0, 'u', 0, 'l', 0, 't', 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const RegValue* v = RegQueryValue(*key, c.name);
        ASSERT_NE(v, nullptr) << "value " << static_cast<int>(c.name[0]);
        EXPECT_EQ(v->type, c.type);
        EXPECT_EQ(v->data, c.data);
    }
    EXPECT_EQ(RegQueryValue(*key, L"Bad"), nullptr);
    EXPECT_EQ(RegQueryValue(*key, L"LEVEL_1"), nullptr);
}

TEST_F(RegistryFixture, ValueContinuedOverManyLines) {
    // 1 MiB of continuation lines (the most the reader takes): each line adds one byte.
    std::string body = "REGEDIT4\n[HKEY_CURRENT_USER\\DEdura]\n\"VIEW\"=hex:";
    const std::size_t lines = ((1u << 20) - body.size()) / 4 - 1;
    for (std::size_t i = 0; i < lines; ++i) body += "1,\\\n";
    body += "2\n";
    const auto key = open(body);
    ASSERT_TRUE(key.has_value());
    const RegValue* v = RegQueryValue(*key, L"VIEW");
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(v->data.size(), lines + 1);
    EXPECT_EQ(v->data.back(), 2);
}

TEST_F(RegistryFixture, AbsentKeyOrFile) {
    EXPECT_FALSE(open("REGEDIT4\n[HKEY_CURRENT_USER\\Other]\n\"A\"=dword:1\n").has_value());
    EXPECT_TRUE(open("REGEDIT4\n[HKEY_CURRENT_USER\\DEdura]\n").has_value());  // present, empty
    EXPECT_FALSE(open("\x00\xff[HKEY_CURRENT_USER\\DEdura", L"DEdura").has_value());
    EXPECT_FALSE(RegOpenUserKeyFrom("/no/such/file.reg", L"DEdura").has_value());
}

TEST(UserRegistryPath, FollowsXdgConfigHome) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/xdg", 1);
    EXPECT_EQ(UserRegistryPath(), "/tmp/xdg/lumo/registry.reg");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(UserRegistryPath(), std::string(std::getenv("HOME")) + "/.config/lumo/registry.reg");
    if (old) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}
