#pragma once
// Shared pieces of the tool's tests: a folder with the program's settings file, the window on
// a recording dialog layer, and a run that waits for its end.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/tool/RecordingDialogLayer.h"
#include "tool/LumoMPDlg.h"

namespace lumo::tool::test {

class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/lumomp-test-XXXXXX";
        m_dir = mkdtemp(tmpl);
    }
    void TearDown() override {
        closeWindow();
        std::filesystem::remove_all(m_dir);
    }

    void writeIni(const std::string& body) { std::ofstream(m_dir / "LumoMP.ini") << body; }
    std::wstring programPath() const { return (m_dir / "LumoMP").wstring(); }

    void openWindow() {
        layer = std::make_unique<RecordingDialogLayer>(programPath());
        dlg = std::make_unique<CLumoMPDlg>(*layer);
        dlg->SetRunEndedHandler([this](const MP_RUN_SUMMARY& s) { summary = s; });
        dlg->OnInitDialog();
    }
    void closeWindow() {
        dlg.reset();
        layer.reset();
    }

    // Clicks "Upgrade FW" and serves the window until the run (workers, resets) has ended.
    MP_RUN_SUMMARY runUpgrade() {
        summary.reset();
        dlg->OnBnClickedButtonUpgradeFwMp();
        dlg->WaitForRunEnd();
        layer->Pump();
        EXPECT_TRUE(summary.has_value());
        return summary.value_or(MP_RUN_SUMMARY{});
    }

    std::wstring text(int id) { return layer->texts[id]; }

    std::filesystem::path m_dir;
    std::unique_ptr<RecordingDialogLayer> layer;
    std::unique_ptr<CLumoMPDlg> dlg;
    std::optional<MP_RUN_SUMMARY> summary;
};

// An image with the chip signature at 0x40 and a pattern that never holds 0xFF.
inline std::vector<std::uint8_t> makeImage(std::size_t size, const char* sig = "TV") {
    std::vector<std::uint8_t> img(size);
    for (std::size_t i = 0; i < size; ++i) img[i] = static_cast<std::uint8_t>((i * 7 + 1) % 251);
    if (size > 0x41) {
        img[0x40] = static_cast<std::uint8_t>(sig[0]);
        img[0x41] = static_cast<std::uint8_t>(sig[1]);
    }
    return img;
}

}  // namespace lumo::tool::test
