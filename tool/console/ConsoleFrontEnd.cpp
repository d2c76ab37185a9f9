#include "tool/console/ConsoleFrontEnd.h"

#include <cstring>
#include <thread>

#include "tool/ControlIds.h"
#include "tool/LumoMPDlg.h"
#include "tool/console/ConsoleDialogLayer.h"

namespace lumo::tool {
namespace {

const char* outcomeText(MP_CAMERA_RESULT::Outcome o) {
    switch (o) {
        case MP_CAMERA_RESULT::Outcome::Ok:
            return "OK";
        case MP_CAMERA_RESULT::Outcome::Failed:
            return "FAIL";
        case MP_CAMERA_RESULT::Outcome::Running:
            return "UNFINISHED";
        case MP_CAMERA_RESULT::Outcome::NotRun:
            break;
    }
    return "NOT RUN";
}

// One line per camera: the status line alone does not tell which camera failed.
void printResults(CConsoleDialogLayer& layer, const MP_RUN_SUMMARY& summary) {
    if (summary.bRefused) {
        layer.PrintLine("Run refused: nothing was written.");
        return;
    }
    layer.PrintLine(summary.bSuccess ? "Run result: Upgrade OK" : "Run result: Upgrade FW Fail");
    for (const auto& c : summary.cameras) {
        char line[160];
        std::snprintf(line, sizeof line, "  camera %-3u %04X:%04X  %-8s  %-4s  %6.2f s%s%s", c.bDevIdx, c.wVid, c.wPid,
                      c.szPartNo.c_str(), outcomeText(c.eOutcome), c.dwMs / 1000.0, c.szReason.empty() ? "" : "  ",
                      c.szReason.c_str());
        layer.PrintLine(line);
    }
}

}  // namespace

int RunConsoleFrontEnd(const ConsoleOptions& options, std::FILE* in, std::FILE* out, bool terminal) {
    CConsoleDialogLayer layer(out, terminal);
    auto thread = layer.Thread();
    int exitCode = 0;
    {
        CLumoMPDlg dlg(layer);
        auto close = [&] {
            if (!dlg.IsRunIdle()) layer.PrintLine("Closing: waiting for the run to end ...");
            thread->Quit();
        };
        dlg.SetRunEndedHandler([&](const MP_RUN_SUMMARY& summary) {
            layer.Render();
            printResults(layer, summary);
            if (options.run) {
                exitCode = summary.bRefused ? 2 : summary.bSuccess ? 0 : 1;
                thread->Quit();
            }
        });
        auto click = [&] {
            if (!layer.IsEnabled(IDC_BUTTON_UPGRADE_FW)) {
                layer.PrintLine("ERROR: Upgrade FW is not available: no camera is ready.");
                if (options.run) {
                    exitCode = 2;
                    thread->Quit();
                }
                return;
            }
            dlg.OnBnClickedButtonUpgradeFwMp();
        };
        auto toggleSector = [&] {
            if (!layer.IsEnabled(IDC_CHECK_SPEC_SECTOR)) return;
            layer.CheckDlgButton(IDC_CHECK_SPEC_SECTOR, !layer.IsDlgButtonChecked(IDC_CHECK_SPEC_SECTOR));
            dlg.OnBnClickedCheckSpecSector();
        };

        dlg.OnInitDialog();
        layer.Render();
        if (options.run) thread->Post(click);

        // The operator's keys, one line each. The reader may block in its read beyond the
        // window's end, so it holds the queue, never the window.
        std::thread reader([thread, in, run = options.run, &close, &click, &toggleSector] {
            char buf[256];
            while (std::fgets(buf, sizeof buf, in)) {
                const char key = buf[0];
                if (key == 'q' || key == 'Q') {
                    thread->Post([&close] { close(); });
                    return;
                }
                if (key == 's' || key == 'S') thread->Post([&toggleSector] { toggleSector(); });
                if (key == '\n' || key == '\r') thread->Post([&click] { click(); });
            }
            if (!run) thread->Post([&close] { close(); });  // end of input closes the window
        });
        reader.detach();

        thread->Run([&] { layer.Render(); });
        layer.Render();
    }  // the window's destruction waits for any run and frees the cameras
    return exitCode;
}

}  // namespace lumo::tool
