// The LumoMP window under Qt, offscreen: the window logic on the library, over an emulated
// line of QT7421 cameras with 64 KB SPI flashes, driven through the window's own widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/DeviceWorld.h"
#include "platform/emu/EmuWorld.h"
#include "tool/ControlIds.h"
#include "tool/LumoMPDlg.h"
#include "tool/qt/LumoMPWindow.h"
#include "tool/qt/QtDialogLayer.h"
#include "tool/qt/QtFrontEnd.h"
#include "tool/qt/WindowShot.h"

namespace lumo::tool {
namespace {

namespace emu = lumo::os::emu;
namespace fs = std::filesystem;

// An image for the QT7421 ("ED" at 0x40) and a 64 KB ROM (128 units of 512 bytes at header
// bytes 6 and 22), with no byte 0xFF.
std::vector<std::uint8_t> makeImage(std::size_t size) {
    std::vector<std::uint8_t> img(size);
    for (std::size_t i = 0; i < size; ++i) img[i] = static_cast<std::uint8_t>((i * 7 + 1) % 251);
    img[0x40] = 'E';
    img[0x41] = 'D';
    img[0x46] = 0x80;
    img[0x56] = 0x80;
    return img;
}

class QtWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock = emu::VirtualClock::install();
        world = std::make_shared<emu::EmuWorld>();
        lumo::os::installDeviceWorld(world);
        char tmpl[] = "/tmp/lumomp-qt-XXXXXX";
        dir = mkdtemp(tmpl);
        // The program's path is this test program under the name LumoMP, beside its settings.
        fs::create_symlink(fs::read_symlink("/proc/self/exe"), dir / "LumoMP");
        image = makeImage(0x5000);
        std::ofstream(dir / "fw.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), image.size());
        writeIni("[SETTING]\nBinFile=fw.bin\n");
    }
    void TearDown() override {
        closeWindow();
        lumo::os::installDeviceWorld(nullptr);
        world.reset();
        lumo::os::installClock(nullptr);
        fs::remove_all(dir);
    }

    void writeIni(const std::string& body) { std::ofstream(dir / "LumoMP.ini") << body; }

    void addCameras(int n, std::uint32_t latencyUs = 0) {
        for (int i = 0; i < n; ++i) {
            emu::CameraConfig cfg;
            cfg.name = "camera " + std::to_string(world->cameraCount() + 1);
            cfg.latencyUs = latencyUs;
            world->addCamera(cfg);
        }
    }

    void openWindow() {
        window = std::make_unique<CLumoMPWindow>();
        layer = std::make_unique<CQtDialogLayer>(*window, (dir / "LumoMP").wstring());
        dlg = std::make_unique<CLumoMPDlg>(*layer);
        window->Attach(dlg.get());
        dlg->SetRunEndedHandler([this](const MP_RUN_SUMMARY& s) { summary = s; });
        auto* bar = static_cast<QProgressBar*>(window->Control(IDC_PROGRESS));
        QObject::connect(bar, &QProgressBar::valueChanged, [this](int v) { progress.push_back(v); });
        dlg->OnInitDialog();
        window->show();
        QApplication::processEvents();
    }
    void closeWindow() {
        if (window) window->Attach(nullptr);
        dlg.reset();
        layer.reset();
        window.reset();
    }

    // Serves the window until cond holds (or 60 s of real time pass).
    template <class F>
    bool pumpUntil(F cond) {
        QElapsedTimer t;
        t.start();
        while (!cond()) {
            if (t.elapsed() > 60'000) return false;
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            statuses.insert(text(IDC_STATIC_STATUS));
        }
        return true;
    }

    // Clicks "Upgrade FW" and serves the window until the run has ended.
    MP_RUN_SUMMARY runUpgrade() {
        summary.reset();
        progress.clear();
        statuses.clear();
        static_cast<QPushButton*>(window->Control(IDC_BUTTON_UPGRADE_FW))->click();
        EXPECT_TRUE(pumpUntil([&] { return summary.has_value() && dlg->IsRunIdle(); }));
        QApplication::processEvents();
        return summary.value_or(MP_RUN_SUMMARY{});
    }

    // Devices plugged or unplugged in the world reach the window as notices.
    void settleNotices() {
        world->settle();
        QApplication::processEvents();
        QApplication::processEvents();
    }

    QString text(int id) const {
        QWidget* w = window->Control(id);
        if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
        if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
        if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
        if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
        return {};
    }
    bool enabled(int id) const { return window->Control(id)->isEnabled(); }
    bool runControlsEnabled() const { return enabled(IDC_BUTTON_UPGRADE_FW) && enabled(IDC_CHECK_SPEC_SECTOR); }
    bool runControlsDisabled() const { return !enabled(IDC_BUTTON_UPGRADE_FW) && !enabled(IDC_CHECK_SPEC_SECTOR); }

    std::shared_ptr<emu::VirtualClock> clock;
    std::shared_ptr<emu::EmuWorld> world;
    fs::path dir;
    std::vector<std::uint8_t> image;
    std::unique_ptr<CLumoMPWindow> window;
    std::unique_ptr<CQtDialogLayer> layer;
    std::unique_ptr<CLumoMPDlg> dlg;
    std::optional<MP_RUN_SUMMARY> summary;
    std::vector<int> progress;
    std::set<QString> statuses;
};

TEST_F(QtWindowTest, WithoutCameraTheWindowWaitsWithItsControlsDisabled) {
    openWindow();
    EXPECT_EQ(window->windowTitle(), "LumoMP v4.0.1000.0");
    EXPECT_EQ(text(IDC_STATIC_STATUS), "----");
    EXPECT_TRUE(runControlsDisabled());
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), "0");
    // The identity fields keep their template texts; the display fields are never enabled.
    EXPECT_EQ(text(IDC_COMBO_EEPROM_TYPE), "");
    EXPECT_EQ(text(IDC_STATIC_BCD), "");
    EXPECT_FALSE(enabled(IDC_EDIT_BINFILE));
    EXPECT_FALSE(enabled(IDC_COMBO_BACKEND_TYPE));

    // The template: 302 dialog units wide, its controls where it puts them, and the results
    // area below them (the window is taller than the template by that area); fixed size,
    // progress range 0..99, the icon.
    const auto& du = window->Units();
    EXPECT_GT(CLumoMPWindow::HeightUnits(), 193);
    EXPECT_EQ(window->size(), QSize(du.x(302), du.y(CLumoMPWindow::HeightUnits())));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->Control(IDC_BUTTON_UPGRADE_FW)->geometry(), du.rect(216, 19, 71, 70));
    for (const auto& c : kControls) {
        if (c.kind == ControlKind::Combo) continue;  // the field is as tall as the edit box
        EXPECT_EQ(window->Control(c.id)->geometry(), du.rect(c.x, c.y, c.cx, c.cy)) << c.id;
    }
    EXPECT_GE(window->ResultsTable()->geometry().top(), du.y(193));
    auto* bar = static_cast<QProgressBar*>(window->Control(IDC_PROGRESS));
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 99);
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    // The status line's font is the large one (30 points, or a substitute shrunk to fit).
    EXPECT_GT(window->Control(IDC_STATIC_STATUS)->font().pointSizeF(), window->font().pointSizeF() * 2);

    // Enter away from a push button ends the dialog, as its default OK does.
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
}

TEST_F(QtWindowTest, FourCamerasShowCameraZeroAndTheCount) {
    addCameras(4);
    openWindow();
    EXPECT_EQ(text(IDC_STATIC_STATUS), "MPtool Ready");
    EXPECT_TRUE(runControlsEnabled());
    EXPECT_TRUE(window->IsCloseEnabled());
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), "4");
    EXPECT_EQ(text(IDC_COMBO_EEPROM_TYPE), "SPI");
    EXPECT_EQ(text(IDC_COMBO_BACKEND_TYPE), "QT7421");
    EXPECT_EQ(text(IDC_STATIC_BCD), "0100");
    EXPECT_EQ(text(IDC_STATIC_EXTFW), "12340102");
    EXPECT_EQ(text(IDC_STATIC_SETFILE), "SF01.00.02");
    EXPECT_EQ(text(IDC_EDIT_BINFILE), "fw.bin");
    EXPECT_EQ(text(IDC_STATIC_SECTOR), "");
}

TEST_F(QtWindowTest, RunWritesEveryCameraWithTheBarMovingAndEndsReady) {
    addCameras(4, 100);  // a little real time per request, so the bar is refreshed during the run
    openWindow();
    const MP_RUN_SUMMARY s = runUpgrade();
    EXPECT_FALSE(s.bRefused);
    EXPECT_TRUE(s.bSuccess);
    EXPECT_TRUE(statuses.count("Upgrade FW"));
    EXPECT_EQ(text(IDC_STATIC_STATUS), "MPtool Ready");
    EXPECT_TRUE(runControlsEnabled());
    EXPECT_TRUE(window->IsCloseEnabled());
    // The bar starts at 0 and only moves up, within its range.
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), 0);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_GT(progress.back(), 0);
    EXPECT_LE(progress.back(), 99);
    for (std::size_t i = 0; i < 4; ++i) {
        const auto rom = world->camera(i).rom();
        EXPECT_TRUE(std::equal(image.begin(), image.end(), rom.begin())) << "camera " << i;
    }
}

TEST_F(QtWindowTest, FailingCameraEndsTheRunFailedWithCloseEnabled) {
    addCameras(2);
    openWindow();
    emu::Faults f;
    f.flashBusyForever = true;  // the wait after the erase runs out
    world->camera(1).setFaults(f);
    const MP_RUN_SUMMARY s = runUpgrade();
    EXPECT_FALSE(s.bSuccess);
    EXPECT_EQ(text(IDC_STATIC_STATUS), "Upgrade FW Fail");
    EXPECT_TRUE(window->IsCloseEnabled());
    EXPECT_TRUE(runControlsDisabled());
}

TEST_F(QtWindowTest, AFailedRunsResultsStayThroughAHotPlugAndTheBarEmpties) {
    addCameras(3);
    world->unplug(2);
    openWindow();
    emu::Faults f;
    f.flashBusyForever = true;
    world->camera(1).setFaults(f);
    const MP_RUN_SUMMARY s = runUpgrade();
    ASSERT_FALSE(s.bSuccess);
    auto* table = window->ResultsTable();
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(0, 4)->text(), "OK");
    EXPECT_EQ(table->item(1, 4)->text(), "FAIL");
    ASSERT_FALSE(s.cameras[1].szReason.empty());
    EXPECT_EQ(table->item(1, 6)->text().toStdString(), s.cameras[1].szReason);
    EXPECT_EQ(table->item(0, 1)->text(), "2E1A:7421");
    EXPECT_EQ(table->item(0, 2)->text(), "QT7421");
    EXPECT_EQ(table->item(0, 3)->text(), "whole erase");
    EXPECT_EQ(window->ResultsHeadline()->text(), "Last run: FAIL, 1 of 2 cameras failed");

    world->plug(2);
    settleNotices();
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), "3");
    EXPECT_EQ(text(IDC_STATIC_STATUS), "MPtool Ready");  // ready for the next run ...
    // ... but not looking like a good one
    EXPECT_EQ(static_cast<QProgressBar*>(window->Control(IDC_PROGRESS))->value(), 0);
    EXPECT_EQ(window->ResultsHeadline()->text(), "Last run: FAIL, 1 of 2 cameras failed");
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(1, 4)->text(), "FAIL");
}

TEST_F(QtWindowTest, TheImagesCrc16IsShownBesideItsName) {
    addCameras(1);
    openWindow();
    EXPECT_EQ(text(IDC_EDIT_BINFILE), "fw.bin");
    ASSERT_TRUE(runUpgrade().bSuccess);
    EXPECT_TRUE(text(IDC_EDIT_BINFILE).startsWith("fw.bin  CRC16 0x")) << text(IDC_EDIT_BINFILE).toStdString();
}

TEST_F(QtWindowTest, RunExitsWithTheRunsCode) {
    struct Case {
        const char* name;
        int cameras;
        bool busy;
        const char* ini;
        int code;
    } cases[] = {
        {"ok", 2, false, "", 0},
        {"fail", 2, true, "", 1},
        {"count-refused", 2, false, "ExpectedCount=3\n", 2},
        {"no-camera", 0, false, "", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        world = std::make_shared<emu::EmuWorld>();
        lumo::os::installDeviceWorld(world);
        addCameras(c.cameras);
        if (c.busy) {
            emu::Faults f;
            f.flashBusyForever = true;
            world->camera(1).setFaults(f);
        }
        writeIni(std::string("[SETTING]\nBinFile=fw.bin\n") + c.ini);
        QtOptions options;
        options.run = true;
        options.modulePath = (dir / "LumoMP").wstring();
        EXPECT_EQ(RunQtWindow(options), c.code);
    }
}

TEST_F(QtWindowTest, CloseIsRefusedDuringARunAndTheKeysWaitForItsEnd) {
    addCameras(1, 300);  // some real time for the run
    openWindow();
    summary.reset();
    static_cast<QPushButton*>(window->Control(IDC_BUTTON_UPGRADE_FW))->click();
    ASSERT_TRUE(pumpUntil([&] { return text(IDC_STATIC_STATUS) == "Upgrade FW"; }));
    EXPECT_FALSE(window->IsCloseEnabled());
    window->close();  // the greyed Close item
    EXPECT_TRUE(window->isVisible());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->IsEndPending());
    ASSERT_TRUE(pumpUntil([&] { return !window->isVisible(); }));
    EXPECT_TRUE(dlg->IsRunIdle());
    ASSERT_TRUE(summary.has_value());
    EXPECT_TRUE(summary->bSuccess);
}

TEST_F(QtWindowTest, HotPlugRemovalAndArrivalFollowTheCameras) {
    addCameras(2);
    openWindow();
    world->unplug(1);
    settleNotices();
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), "1");
    EXPECT_EQ(text(IDC_STATIC_STATUS), "MPtool Ready");
    EXPECT_TRUE(runControlsEnabled());

    world->unplug(0);
    settleNotices();
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), "0");
    EXPECT_EQ(text(IDC_STATIC_STATUS), "----");
    EXPECT_TRUE(runControlsDisabled());
    EXPECT_EQ(text(IDC_COMBO_EEPROM_TYPE), "No Device");
    EXPECT_EQ(text(IDC_COMBO_BACKEND_TYPE), "No Device");
    EXPECT_EQ(text(IDC_STATIC_BCD), "");

    world->plug(1);
    settleNotices();
    EXPECT_EQ(text(IDC_STATIC_DEVNUM), "1");
    EXPECT_EQ(text(IDC_STATIC_STATUS), "MPtool Ready");
    EXPECT_TRUE(runControlsEnabled());
    EXPECT_EQ(text(IDC_COMBO_EEPROM_TYPE), "SPI");
}

TEST_F(QtWindowTest, SpecificSectorBoxFollowsTheSettingAndRefusesABadSector) {
    addCameras(1);
    writeIni("[SETTING]\nBinFile=fw.bin\nSpecificSector=3\n");
    openWindow();
    auto* box = static_cast<QCheckBox*>(window->Control(IDC_CHECK_SPEC_SECTOR));
    box->click();
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(text(IDC_STATIC_SECTOR), "Sector 3");
    EXPECT_EQ(dlg->SpecSectorOn(), 1u);
    EXPECT_EQ(dlg->SectorAddr(), 0x3000);
    box->click();
    EXPECT_EQ(text(IDC_STATIC_SECTOR), "");
    EXPECT_EQ(dlg->SpecSectorOn(), 0u);

    // The sector is read again at each click: 16 is refused with a stop box.
    writeIni("[SETTING]\nBinFile=fw.bin\nSpecificSector=16\n");
    QString boxText, boxTitle;
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        auto* mb = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(mb, nullptr);
        boxText = mb->text();
        boxTitle = mb->windowTitle();
        boxIcon = mb->icon();
        mb->accept();
    });
    box->click();
    EXPECT_EQ(boxText, "FlashSector is not valid");
    EXPECT_EQ(boxTitle, "LumoMP");
    EXPECT_EQ(boxIcon, QMessageBox::Critical);
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(dlg->SpecSectorOn(), 0u);
}

TEST_F(QtWindowTest, ScreenshotIsAPictureOfTheWindow) {
    addCameras(4);
    openWindow();
    const QString path = QString::fromStdString((dir / "shot.png").string());
    ASSERT_TRUE(SaveWindowShot(*window, path));
    QImage img(path);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), window->size() * window->devicePixelRatio());
    std::set<QRgb> colours;
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3) colours.insert(img.pixel(x, y));
    EXPECT_GT(colours.size(), 4u);  // text, frames and background, not one flat fill
}

}  // namespace
}  // namespace lumo::tool
