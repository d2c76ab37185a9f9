// The upgrade run of a 64 KB image into 1, 4 and 16 emulated cameras, each request taking
// 250 us, against the floor the protocol allows: the most requests any camera needed times
// the latency, plus the longest time one worker spent in the library's pauses (the flash's
// erase is waited out there). Counters: floor_ms, measured/floor and requests per camera.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "platform/Clock.h"
#include "platform/DeviceWorld.h"
#include "platform/emu/EmuWorld.h"
#include "tool/LumoMPDlg.h"
#include "tool/WindowThread.h"

namespace {

using namespace lumo;

// The real clock, counting each thread's pauses.
class PauseCountingClock final : public os::IClock {
public:
    void Sleep(std::uint32_t ms) override {
        {
            std::lock_guard lock(m_mutex);
            m_sleptMs[std::this_thread::get_id()] += ms;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    std::uint32_t GetTickCount() override {
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
    std::int64_t QueryPerformanceCounter() override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    std::int64_t QueryPerformanceFrequency() override { return 1'000'000'000; }
    std::uint32_t MaxSleptMs() {
        std::lock_guard lock(m_mutex);
        std::uint32_t m = 0;
        for (const auto& [id, ms] : m_sleptMs) m = std::max(m, ms);
        return m;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_sleptMs.clear();
    }

private:
    std::mutex m_mutex;
    std::map<std::thread::id, std::uint32_t> m_sleptMs;
};

// A dialog layer that draws nothing; the bench thread is the window thread.
class NullLayer final : public tool::IDialogLayer {
public:
    explicit NullLayer(std::wstring module) : m_module(std::move(module)) {}
    std::wstring GetModuleFileName() override { return m_module; }
    void SetWindowText(const std::wstring&) override {}
    void SetDlgItemText(int, const std::wstring&) override {}
    void EnableDlgItem(int, bool) override {}
    bool IsDlgButtonChecked(int) override { return false; }
    void CheckDlgButton(int, bool) override {}
    void SetItemFont(int, const std::wstring&, int) override {}
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}
    void EnableSystemMenuClose(bool) override {}
    void MessageBox(const std::wstring&, const std::wstring&, tool::MsgIcon) override {}
    bool IsWindowThread() override { return m_thread.IsWindowThread(); }
    void CallOnWindowThread(const std::function<void()>& fn) override { m_thread.Call(fn); }
    void PostToWindowThread(std::function<void()> fn) override { m_thread.Post(std::move(fn)); }
    void ServeCallsUntil(const std::function<bool()>& done) override { m_thread.ServeCallsUntil(done); }
    void WakeWindowThread() override { m_thread.Wake(); }
    void Pump() { m_thread.PumpPending(); }

private:
    std::wstring m_module;
    tool::CWindowThread m_thread;
};

void BM_UpgradeRun(benchmark::State& state) {
    const int cameras = static_cast<int>(state.range(0));
    const auto dir = std::filesystem::temp_directory_path() / ("lumomp-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    // A full 64 KB image: every block is written.
    std::vector<std::uint8_t> img(65536);
    for (std::size_t i = 0; i < img.size(); ++i) img[i] = static_cast<std::uint8_t>((i * 7 + 1) % 251);
    img[0x40] = 'E';
    img[0x41] = 'D';
    std::ofstream(dir / "fw.bin", std::ios::binary).write(reinterpret_cast<const char*>(img.data()), 65536);
    std::ofstream(dir / "LumoMP.ini") << "[SETTING]\nBinFile=fw.bin\n";

    auto clock = std::make_shared<PauseCountingClock>();
    os::installClock(clock);
    auto world = std::make_shared<os::emu::EmuWorld>();
    for (int i = 0; i < cameras; ++i) {
        os::emu::CameraConfig c;
        c.name = c.instance = "cam" + std::to_string(i);
        c.latencyUs = 250;
        world->addCamera(c);
    }
    os::installDeviceWorld(world);

    double floorMs = 0, measuredMs = 0, requests = 0;
    {
        NullLayer layer((dir / "LumoMP").wstring());
        tool::CLumoMPDlg dlg(layer);
        bool ok = true;
        dlg.SetRunEndedHandler([&](const tool::MP_RUN_SUMMARY& s) { ok = s.bSuccess; });
        dlg.OnInitDialog();
        for (auto _ : state) {
            for (int i = 0; i < cameras; ++i) world->camera(static_cast<std::size_t>(i)).clearLog();
            clock->Clear();
            const auto t0 = std::chrono::steady_clock::now();
            dlg.OnBnClickedButtonUpgradeFwMp();
            dlg.WaitForRunEnd();
            const auto t1 = std::chrono::steady_clock::now();
            layer.Pump();
            if (!ok) state.SkipWithError("run failed");
            std::uint64_t maxReq = 0;
            for (int i = 0; i < cameras; ++i)
                maxReq = std::max(maxReq, world->camera(static_cast<std::size_t>(i)).requestCount());
            requests = static_cast<double>(maxReq);
            floorMs = static_cast<double>(maxReq) * 0.25 + clock->MaxSleptMs();
            measuredMs = std::chrono::duration<double, std::milli>(t1 - t0).count();
        }
    }
    state.counters["floor_ms"] = floorMs;
    state.counters["measured_over_floor"] = floorMs > 0 ? measuredMs / floorMs : 0;
    state.counters["requests_per_camera"] = requests;
    os::installDeviceWorld(nullptr);
    os::installClock(nullptr);
    std::filesystem::remove_all(dir);
}

BENCHMARK(BM_UpgradeRun)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
