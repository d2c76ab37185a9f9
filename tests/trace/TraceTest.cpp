#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "common/trace/DEdura.h"
#include "common/trace/DEduraInternal.h"
#include "platform/MessageBox.h"
#include "tools/dedura-cat/DeduraDecode.h"

namespace fs = std::filesystem;
using lumo::trace::fileForm;

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A private executable directory with its TvDbgCfg.ini and a private per-user registry.
class TraceFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("lumo-trace-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "cfg" / "lumo");
        ::setenv("XDG_CONFIG_HOME", (m_dir / "cfg").c_str(), 1);
        lumo::trace::reset();
    }
    void TearDown() override {
        lumo::trace::reset();
        lumo::os::installMessageBox(nullptr);
        fs::remove_all(m_dir);
    }
    void ini(const std::string& body) { std::ofstream(m_dir / "TvDbgCfg.ini") << "[OUTPUT]\n" << body; }
    void registry(const std::string& body) {
        std::ofstream(m_dir / "cfg" / "lumo" / "registry.reg") << "REGEDIT4\n\n[HKEY_CURRENT_USER\\DEdura]\n" << body;
    }
    void start() { lumo::trace::initializeIn(m_dir.string() + "/", L"TvDbgCfg.ini"); }
    std::string log() { return slurp(lumo::trace::logFilePath()); }

    fs::path m_dir;
};

}  // namespace

TEST(TraceFileForm, ShiftWrapLineFeedAndEnding) {
    struct Case {
        const char* name;
        std::string text;
        std::string form;
    } const cases[] = {
        {"plain", "AB C\n", std::string("\x81\x82 \x83\r\n ", 7)},
        {"wrap 0xC0-0xFF to 0x00-0x3F", "\xC0\xFF\n", std::string("\x00\x3F\r\n ", 5)},
        {"own line feed: shifted before it only", "A\nB C\n", std::string("\x81\nB C\r\n ", 8)},
        {"no line feed: last byte becomes CR", "ABC", std::string("\x81\x82\r\n ", 5)},
    };
    for (const auto& c : cases) {
        const std::string f = fileForm(c.text);
        EXPECT_EQ(f, c.form) << c.name;
        EXPECT_EQ(f.size(), c.text.size() + 2) << c.name;  // n + 1 with n counting the terminator
    }
}

TEST(TraceFormat, PrefixAlignmentAndWideStrings) {
    auto fmt = [](const wchar_t* file, int line, const char* f, ...) {
        va_list a;
        va_start(a, f);
        std::string s = lumo::trace::formatRecord(file, line, f, a);
        va_end(a);
        return s;
    };
    // 12-character name at line 123: eight blanks, the name, (0123), " : ".
    EXPECT_EQ(fmt(L".\\abcdefgh.cpp", 123, "%s ===>", "X::Y"), "        abcdefgh.cpp(0123) : X::Y ===>\n");
    EXPECT_EQ(fmt(L".\\a.cpp", 12345, "v"), "               a.cpp(12345) : v\n");
    EXPECT_EQ(fmt(L".\\a.cpp", 1, "%ws|%S|%5ws|%%ws", L"wide", L"caps", L"r"),
              "               a.cpp(0001) : wide|caps|    r|%ws\n");
    EXPECT_EQ(fmt(L".\\a.cpp", 1, "%ws", L"\u00e9\u4e2d"), "               a.cpp(0001) : \xC3\xA9\xE4\xB8\xAD\n");
    const std::string cut = fmt(L".\\a.cpp", 1, "%s", std::string(5000, 'q').c_str());
    EXPECT_EQ(cut.size(), 4095u);
    EXPECT_EQ(cut.back(), 'q');  // no room left for the line feed
    EXPECT_EQ(fileForm(cut).substr(4093), std::string("\xB1\r\n ", 4));
}

TEST_F(TraceFixture, RecordLandsByteForByte) {
    ini("FILE=1\n");
    start();
    ASSERT_FALSE(lumo::trace::logFilePath().empty());
    xtracing_output_debug_string(L".\\abcdefgh.cpp", 123, 0)("%s=%d", "k", 7);
    const std::string text = "        abcdefgh.cpp(0123) : k=7\n";
    EXPECT_EQ(log(), fileForm(text));
    EXPECT_EQ(lumo::trace::decodeLog(log()), std::vector<std::string>{text.substr(0, text.size() - 1)});
}

TEST_F(TraceFixture, NothingBeforeStartUpOrWithBothOutputsOff) {
    int evaluated = 0;
    auto arg = [&] { return ++evaluated; };
    XTRACE(0)("%d", arg());  // before start-up
    ini("FILE=0\nVIEW=0\nLEVEL_0=1\n");
    start();
    for (int level = 0; level <= 4; ++level) XTRACE(level)("%d", arg());
    EXPECT_EQ(evaluated, 0);
    EXPECT_TRUE(lumo::trace::logFilePath().empty());
    EXPECT_TRUE(fs::is_empty(m_dir / "cfg" / "lumo"));
}

TEST_F(TraceFixture, DefaultsAndLevelXAloneOff) {
    start();  // no ini: both outputs off, every level on
    auto sw = lumo::trace::switches();
    EXPECT_EQ(sw.file, 0);
    EXPECT_EQ(sw.view, 0);
    for (int l = 0; l < 5; ++l) EXPECT_EQ(sw.level[l], 1);

    ini("FILE=1\nLEVEL_X=0\n");
    start();
    for (int l = 0; l < 4; ++l) EXPECT_TRUE(xtracing_enabled(l)) << l;
    EXPECT_FALSE(xtracing_enabled(4));
    EXPECT_FALSE(xtracing_enabled(5));
    EXPECT_FALSE(xtracing_enabled(-1));
    XTRACE(4)("failure XXXXXXXXXX");
    XTRACE(2)("kept");
    const auto recs = lumo::trace::decodeLog(log());
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_NE(recs[0].find("kept"), std::string::npos);
}

TEST_F(TraceFixture, RegistryOverridesIniAndAbsentValuesLeaveIt) {
    ini("FILE=0\nLEVEL_1=0\nLEVEL_2=0\n");
    registry(
        "\"LOGFILE\"=dword:00000001\n"
        "\"LEVEL_0\"=hex:00\n"              // one byte: the low byte only
        "\"LEVEL_2\"=hex:01,00,00,00,00\n"  // larger than 4 bytes: ignored
        "\"LEVEL_3\"=\"x\"\n");             // a 4-byte UTF-16 string, read as raw bytes
    start();
    const auto sw = lumo::trace::switches();
    EXPECT_EQ(sw.file, 1);
    EXPECT_EQ(sw.view, 0);
    EXPECT_EQ(sw.level[0], 0);
    EXPECT_EQ(sw.level[1], 0);  // absent in the registry: the ini's value stands
    EXPECT_EQ(sw.level[2], 0);
    EXPECT_EQ(sw.level[3], 0x78);
    EXPECT_EQ(sw.level[4], 1);
    EXPECT_TRUE(fs::exists(lumo::trace::logFilePath()));
}

TEST_F(TraceFixture, GarbledConfigurationGivesDefaults) {
    std::ofstream(m_dir / "TvDbgCfg.ini") << "\x01\xff[OUTPUT\n=\n[[]]\nFILE\n";
    std::ofstream(m_dir / "cfg" / "lumo" / "registry.reg") << "[HKEY_CURRENT_USER\\DEdura\n\"VIEW\"=dword:zz\n\"";
    start();
    const auto sw = lumo::trace::switches();
    EXPECT_EQ(sw.file, 0);
    EXPECT_EQ(sw.view, 0);
    EXPECT_EQ(sw.level[4], 1);
}

TEST_F(TraceFixture, AppendsToAnExistingFile) {
    ini("FILE=1\n");
    start();
    { std::ofstream(lumo::trace::logFilePath(), std::ios::binary) << "old"; }
    start();  // the same second: the same name, kept
    XTRACE(1)("new");
    const std::string content = log();
    ASSERT_GE(content.size(), 3u);
    EXPECT_EQ(content.substr(0, 3), "old");
    EXPECT_GT(content.size(), 10u);
}

TEST_F(TraceFixture, UnwritableDirectoryDropsFileRecords) {
    ini("FILE=1\n");
    start();
    lumo::trace::setLogFilePath((m_dir / "no-such-dir" / "x.log").string());
    static int boxes = 0;
    boxes = 0;
    lumo::os::installMessageBox([](std::uint64_t, const std::wstring&, const std::wstring&, std::uint32_t) {
        ++boxes;
        return lumo::os::IDOK;
    });
    XTRACE(0)("dropped");
    EXPECT_EQ(boxes, 0);
    EXPECT_FALSE(fs::exists(m_dir / "no-such-dir"));
}

TEST_F(TraceFixture, FailedWriteShowsTheMessageBox) {
    ini("FILE=1\n");
    start();
    lumo::trace::setLogFilePath("/dev/full");
    static std::wstring text, caption;
    static std::uint32_t type = 0;
    lumo::os::installMessageBox([](std::uint64_t, const std::wstring& t, const std::wstring& c, std::uint32_t ty) {
        text = t;
        caption = c;
        type = ty;
        return lumo::os::IDOK;
    });
    XTRACE(0)("lost");
    EXPECT_EQ(text, L"WriteFile Fail");
    EXPECT_EQ(caption, L"xtracing_output_debug_string::operator");
    EXPECT_EQ(type, lumo::os::MB_OK | lumo::os::MB_ICONSTOP);
}

TEST_F(TraceFixture, ManyThreadsAppendWholeRecords) {
    ini("FILE=1\n");
    start();
    constexpr int kThreads = 8, kRecords = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int r = 0; r < kRecords; ++r)
                XTRACE(1)("thread %d record %d %s", t, r, std::string(100 + r, 'z').c_str());
        });
    for (auto& th : threads) th.join();
    const auto recs = lumo::trace::decodeLog(log());
    ASSERT_EQ(recs.size(), static_cast<std::size_t>(kThreads * kRecords));
    std::vector<int> next(kThreads, 0);
    for (const auto& rec : recs) {
        int t = -1, r = -1;
        const auto at = rec.find(" : thread ");
        ASSERT_NE(at, std::string::npos) << rec;
        ASSERT_EQ(std::sscanf(rec.c_str() + at, " : thread %d record %d", &t, &r), 2) << rec;
        ASSERT_TRUE(t >= 0 && t < kThreads);
        EXPECT_EQ(r, next[t]++);  // every record whole, each thread's in order
        EXPECT_EQ(rec.size() - rec.rfind(' ') - 1, static_cast<std::size_t>(100 + r)) << rec;
    }
}
