// The run report beside the program: one whole CSV line per camera and run, a header once,
// fields quoted where they must be, and a report that cannot be written told to the operator
// without changing the run's result.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "tests/support/BitwiseCrc16.h"
#include "tests/tool/FakeFixture.h"
#include "tool/RunReport.h"

namespace lumo::tool::test {
namespace {

using fake::Camera;
using fake::Sdk;

// Splits one CSV line; quoted fields may hold commas and doubled quotes.
std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::vector<std::string> readLines(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

class RunReport : public ToolFake {
protected:
    std::filesystem::path reportPath() const { return m_dir / "LumoMP-results.csv"; }
};

TEST_F(RunReport, EachRunAppendsOneWholeLinePerCameraUnderOneHeader) {
    writeIni("[SETTING]\nBinFile=fw.bin\n");
    Sdk::get().addCamera(cam());
    Camera bad = cam();
    bad.corruptAt = 0x0456;
    bad.partNo = "A,\"B";  // a field that must be quoted
    bad.bcd = 0x0210;
    Sdk::get().addCamera(bad);
    Sdk::get().addCamera(cam(2048));
    const auto img = makeImage(2048);
    Sdk::get().setImage(img);
    openWindow();
    EXPECT_EQ(dlg->ReportPath(), reportPath().string());
    ASSERT_FALSE(runUpgrade().bSuccess);
    ASSERT_FALSE(runUpgrade().bSuccess);

    // every line ends with its newline: none was left half-written
    std::ifstream raw(reportPath(), std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(raw)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back(), '\n');

    const auto lines = readLines(reportPath());
    ASSERT_EQ(lines.size(), 1u + 6u);
    EXPECT_EQ(lines[0], CRunReport::HeaderLine());
    const auto header = splitCsv(lines[0]);
    ASSERT_EQ(header.size(), 16u);
    char crc[16];
    std::snprintf(crc, sizeof crc, "0x%04X", lumo::test::bitwiseCrc16(img.data(), img.size()));
    std::map<std::string, std::vector<std::string>> byCamera;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto f = splitCsv(lines[i]);
        ASSERT_EQ(f.size(), header.size()) << lines[i];
        EXPECT_EQ(f[0].size(), 19u);  // YYYY-MM-DD HH:MM:SS
        EXPECT_FALSE(f[1].empty());   // host
        EXPECT_EQ(f[2], "fw.bin");
        EXPECT_EQ(f[3], "2048");
        EXPECT_EQ(f[4], crc);
        byCamera[f[5]] = f;
    }
    ASSERT_EQ(byCamera.size(), 3u);
    const std::vector<std::string> ok0 = {"0",     "1234:5678",   "0100", "TV5640", "SPI",
                                          "65536", "whole erase", "OK",   "",       ""};
    const std::vector<std::string> bad1 = {
        "1", "1234:5678", "0210", "A,\"B", "SPI", "65536", "whole erase", "FAIL", "verify failed at 0x0456", "0x0456"};
    const std::vector<std::string> ok2 = {"2", "1234:5678", "0100", "TV5640", "I2C", "2048", "plain", "OK", "", ""};
    for (const auto* want : {&ok0, &bad1, &ok2}) {
        const auto& f = byCamera[(*want)[0]];
        EXPECT_EQ(std::vector<std::string>(f.begin() + 5, f.begin() + 15), *want);
        EXPECT_NE(f[15].find('.'), std::string::npos);  // seconds
    }
}

TEST_F(RunReport, AReportThatCannotBeWrittenIsToldAndTheResultStands) {
    std::filesystem::create_directory(reportPath());  // no file can be opened under this name
    Sdk::get().addCamera(cam());
    Sdk::get().setImage(makeImage(4096));
    openWindow();
    const auto s = runUpgrade();
    EXPECT_TRUE(s.bSuccess);
    EXPECT_EQ(text(IDC_STATIC_STATUS), kStatusReady);
    ASSERT_EQ(layer->boxes.size(), 1u);
    EXPECT_EQ(layer->boxes[0].text.rfind(L"Run report not written: ", 0), 0u);
    EXPECT_NE(layer->boxes[0].text.find(L"LumoMP-results.csv"), std::wstring::npos);
}

TEST(RunReportLine, FieldsAreQuotedOnlyWhereTheyMustBe) {
    EXPECT_EQ(CRunReport::Field("plain"), "plain");
    EXPECT_EQ(CRunReport::Field("a,b"), "\"a,b\"");
    EXPECT_EQ(CRunReport::Field("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CRunReport::Field("two\nlines"), "\"two\nlines\"");
}

}  // namespace
}  // namespace lumo::tool::test
