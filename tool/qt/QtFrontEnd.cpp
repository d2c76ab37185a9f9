#include "tool/qt/QtFrontEnd.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "tool/ControlIds.h"
#include "tool/LumoMPDlg.h"
#include "tool/qt/AppIcon.h"
#include "tool/qt/LumoMPWindow.h"
#include "tool/qt/QtDialogLayer.h"
#include "tool/qt/WindowShot.h"

namespace lumo::tool {
namespace {

bool envSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

}  // namespace

bool QtDisplayAvailable() {
    return envSet("DISPLAY") || envSet("WAYLAND_DISPLAY") || envSet("QT_QPA_PLATFORM");
}

int RunQtFrontEnd(const QtOptions& options, int& argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(LumoAppIcon());
    return RunQtWindow(options);
}

int RunQtWindow(const QtOptions& options) {
    CLumoMPWindow window;
    int exitCode = 0;
    bool notReady = false;
    std::optional<MP_RUN_SUMMARY> last;
    auto shoot = [&] {
        if (options.screenshot.empty()) return;
        QApplication::processEvents();
        if (!SaveWindowShot(window, QString::fromStdString(options.screenshot))) {
            std::fprintf(stderr, "LumoMP: cannot save the screenshot %s\n", options.screenshot.c_str());
            exitCode = 3;
        }
    };
    {
        CQtDialogLayer layer(window, options.modulePath);
        // Without a screen nobody can answer a message box: its text goes to stderr instead.
        const QString platform = QGuiApplication::platformName();
        layer.SetUnattended(platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"));
        CLumoMPDlg dlg(layer);
        window.Attach(&dlg);
        dlg.SetRunEndedHandler([&](const MP_RUN_SUMMARY&) {
            if (!options.run) return;
            dlg.WaitForRunEnd();  // the service thread's last position is on the bar
            shoot();
            window.done(QDialog::Accepted);
        });
        dlg.OnInitDialog();
        window.show();
        shoot();
        if (options.run && exitCode == 0) {
            QTimer::singleShot(0, &window, [&] {
                if (!window.Control(IDC_BUTTON_UPGRADE_FW)->isEnabled()) {
                    std::fprintf(stderr, "LumoMP: Upgrade FW is not available: no camera is ready.\n");
                    notReady = true;
                    window.done(QDialog::Accepted);
                    return;
                }
                dlg.OnBnClickedButtonUpgradeFwMp();
            });
        }
        // A screenshot without a run is the whole job: the window closes once it is saved.
        if ((options.run && exitCode == 0) || options.screenshot.empty()) window.exec();
        dlg.WaitForRunEnd();
        last = dlg.LastRun();
        window.Attach(nullptr);
    }  // the window logic's end waits for any run and frees the cameras
    if (exitCode == 3) return exitCode;
    if (notReady) return 2;
    if (last) return RunExitCode(*last);
    return options.run ? 2 : 0;
}

}  // namespace lumo::tool
