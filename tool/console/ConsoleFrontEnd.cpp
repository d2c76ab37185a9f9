#include "tool/console/ConsoleFrontEnd.h"

#include <cstring>
#include <optional>
#include <thread>

#include "tool/ControlIds.h"
#include "tool/LumoMPDlg.h"
#include "tool/console/ConsoleDialogLayer.h"

namespace lumo::tool {

int RunConsoleFrontEnd(const ConsoleOptions& options, std::FILE* in, std::FILE* out, bool terminal) {
    CConsoleDialogLayer layer(out, terminal, options.modulePath);
    auto thread = layer.Thread();
    std::optional<int> notReady;  // exit code of a click that found no camera ready
    std::optional<MP_RUN_SUMMARY> last;
    {
        CLumoMPDlg dlg(layer);
        bool inRun = false;          // a click started a run whose end has not been told yet
        bool closeAfterRun = false;  // the operator closed the window during the run
        auto close = [&] {
            if (inRun) {
                layer.PrintLine("Closing: waiting for the run to end ...");
                closeAfterRun = true;
                return;
            }
            thread->Quit();
        };
        dlg.SetRunEndedHandler([&](const MP_RUN_SUMMARY& summary) {
            inRun = false;
            layer.Render();
            if (summary.bRefused) layer.PrintLine("Run refused: nothing was written.");
            if (options.run || closeAfterRun) thread->Quit();
        });
        auto click = [&] {
            if (inRun) {
                layer.PrintLine("A run is in progress: its result follows when it ends.");
                return;
            }
            if (!layer.IsEnabled(IDC_BUTTON_UPGRADE_FW)) {
                layer.PrintLine("ERROR: Upgrade FW is not available: no camera is ready.");
                if (options.run) {
                    notReady = 2;
                    thread->Quit();
                }
                return;
            }
            notReady.reset();
            inRun = true;  // a refused click ends it again before the handler returns
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
        dlg.WaitForRunEnd();
        layer.Render();
        if (!notReady) last = dlg.LastRun();
    }  // the window's destruction waits for any run and frees the cameras
    if (notReady) return *notReady;
    if (last) return RunExitCode(*last);
    return options.run ? 2 : 0;
}

}  // namespace lumo::tool
