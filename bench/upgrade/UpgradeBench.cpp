// The upgrade run of a 64 KB image into 1, 4 and 16 emulated cameras, each request taking
// 250 us, against the floor the protocol allows:
//
//   floor = (the busiest camera's requests in this run) x latency + chip erase time
//           + the pauses its worker asked for
//
// A worker is one thread doing one camera's requests one after another, so no run can be
// shorter. Each part is taken for the run alone: the camera's request counter counts from the
// camera's creation (opening and earlier runs included), so the run's requests are the
// counter's growth across the run, and pauses are booked per thread and cleared before each
// run. The erase is not waited out by pauses: the write enable that follows the controller's
// chip erase is held by the controller until the flash is done, inside one request, so the
// erase time is added as the emulated flash's own figure.
//
// A 250 us sleep lasts longer than 250 us (timer slack, wake-up), so a second floor uses the
// latency as measured here ("effective"); measured/effective floor is what the tool itself
// adds on top of the camera's time.
//
// BM_VerifyCost sets the read-back after the write against the write itself (64 KB image, with
// and without "EM", 1 and 16 cameras).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/Clock.h"
#include "platform/DeviceWorld.h"
#include "platform/emu/EmuWorld.h"
#include "tool/LumoMPDlg.h"
#include "tool/WindowThread.h"

namespace {

using namespace lumo;
using Steady = std::chrono::steady_clock;

constexpr std::uint32_t kLatencyUs = 250;
constexpr std::uint32_t kErasePollPauseMs = 3;  // the pause between flash status reads
constexpr int kIterations = 3;

// The real clock, booking each thread's pauses: asked for, really slept, and how many of
// them were the erase wait's poll pause.
class PauseCountingClock final : public os::IClock {
public:
    struct Book {
        std::uint64_t askedMs = 0;
        double realMs = 0;
        std::uint32_t pollPauses = 0;
    };

    void Sleep(std::uint32_t ms) override {
        const auto t0 = Steady::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        const double real = std::chrono::duration<double, std::milli>(Steady::now() - t0).count();
        std::lock_guard lock(m_mutex);
        Book& b = m_books[std::this_thread::get_id()];
        b.askedMs += ms;
        b.realMs += real;
        if (ms == kErasePollPauseMs) ++b.pollPauses;
    }
    std::uint32_t GetTickCount() override {
        return static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now().time_since_epoch()).count());
    }
    std::int64_t QueryPerformanceCounter() override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now().time_since_epoch()).count();
    }
    std::int64_t QueryPerformanceFrequency() override { return 1'000'000'000; }

    std::vector<Book> Books() {
        std::lock_guard lock(m_mutex);
        std::vector<Book> out;
        for (const auto& [id, b] : m_books) out.push_back(b);
        return out;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_books.clear();
    }

private:
    std::mutex m_mutex;
    std::map<std::thread::id, Book> m_books;
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

// What one 250 us request sleep really lasts here (timer slack and wake-up included).
double MeasureLatencySleepUs() {
    constexpr int kN = 400;
    const auto t0 = Steady::now();
    for (int i = 0; i < kN; ++i) std::this_thread::sleep_for(std::chrono::microseconds(kLatencyUs));
    return std::chrono::duration<double, std::micro>(Steady::now() - t0).count() / kN;
}

void BM_UpgradeRun(benchmark::State& state) {
    const int cameras = static_cast<int>(state.range(0));
    const auto dir = std::filesystem::temp_directory_path() /
                     ("lumomp-bench-" + std::to_string(::getpid()) + "-" + std::to_string(cameras));
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
        c.latencyUs = kLatencyUs;
        world->addCamera(c);
    }
    os::installDeviceWorld(world);
    const double eraseMs = os::emu::Timings{}.chipEraseUs / 1000.0;
    const double latencyMs = kLatencyUs / 1000.0;

    const double latencyRealMs = MeasureLatencySleepUs() / 1000.0;
    double floorMs = 0, effFloorMs = 0, measuredMs = 0, requests = 0, pauseMs = 0, pauseRealMs = 0, polls = 0;
    std::string failure;
    {
        NullLayer layer((dir / "LumoMP").wstring());
        tool::CLumoMPDlg dlg(layer);
        tool::MP_RUN_SUMMARY summary;
        bool ended = false;
        dlg.SetRunEndedHandler([&](const tool::MP_RUN_SUMMARY& s) {
            summary = s;
            ended = true;
        });
        dlg.OnInitDialog();
        for (auto _ : state) {
            std::vector<std::uint64_t> before(static_cast<std::size_t>(cameras));
            for (int i = 0; i < cameras; ++i) {
                auto& cam = world->camera(static_cast<std::size_t>(i));
                cam.clearLog();
                before[static_cast<std::size_t>(i)] = cam.requestCount();
            }
            clock->Clear();
            ended = false;
            const auto t0 = Steady::now();
            dlg.OnBnClickedButtonUpgradeFwMp();
            dlg.WaitForRunEnd();
            const auto t1 = Steady::now();
            layer.Pump();
            if (!ended || !summary.bSuccess) {
                failure = ended ? "run failed" : "run did not end";
                for (const auto& r : summary.cameras)
                    if (!r.szReason.empty()) failure += ": cam" + std::to_string(r.bDevIdx) + " " + r.szReason;
                state.SkipWithError(failure.c_str());
                break;
            }
            std::uint64_t maxReq = 0;
            for (int i = 0; i < cameras; ++i) {
                auto& cam = world->camera(static_cast<std::size_t>(i));
                const std::uint64_t n = cam.requestCount() - before[static_cast<std::size_t>(i)];
                maxReq = std::max(maxReq, n);
            }
            // Cameras are alike; the floor takes the busiest camera and the longest-pausing
            // worker, which can only raise it by the small difference between workers.
            PauseCountingClock::Book worst;
            for (const auto& b : clock->Books()) {
                if (b.askedMs > worst.askedMs) worst = b;
            }
            requests = static_cast<double>(maxReq);
            pauseMs = static_cast<double>(worst.askedMs);
            pauseRealMs = worst.realMs;
            polls = worst.pollPauses;
            floorMs = requests * latencyMs + eraseMs + pauseMs;
            effFloorMs = requests * latencyRealMs + eraseMs + pauseRealMs;
            // the last iteration's figures are reported; the time column is their mean
            measuredMs = std::chrono::duration<double, std::milli>(t1 - t0).count();
        }
    }
    state.counters["floor_ms"] = floorMs;
    state.counters["measured_ms"] = measuredMs;
    state.counters["measured_over_floor"] = floorMs > 0 ? measuredMs / floorMs : 0;
    state.counters["requests_per_camera"] = requests;
    state.counters["pause_ms"] = pauseMs;
    state.counters["pause_real_ms"] = pauseRealMs;
    state.counters["erase_polls"] = polls;
    state.counters["erase_ms"] = eraseMs;
    state.counters["latency_real_us"] = latencyRealMs * 1000.0;
    state.counters["eff_floor_ms"] = effFloorMs;
    state.counters["measured_over_eff_floor"] = effFloorMs > 0 ? measuredMs / effFloorMs : 0;
    os::installDeviceWorld(nullptr);
    os::installClock(nullptr);
    std::filesystem::remove_all(dir);
}

// What one camera's request log shows of a run with the read-back: the write phase runs up
// to the last ROM write, the verify phase is the ROM reads after it.
struct PhaseSplit {
    std::uint64_t writePhase = 0;    // requests up to and including the last ROM write
    std::uint64_t writtenBytes = 0;  // data bytes of the ROM writes
    std::uint64_t verify = 0;        // ROM requests (select and get) after the last write
    std::uint64_t verifyBytes = 0;   // bytes those reads asked for
    std::uint64_t otherAfter = 0;    // other requests after the last write (write disable, ...)
};

PhaseSplit SplitPhases(const std::vector<os::emu::RequestRecord>& log, bool em) {
    constexpr std::uint32_t kRomControl = 0x03;
    const std::uint8_t lengthMask = em ? 0x3F : 0x0F;
    auto isRom = [](const os::emu::RequestRecord& r) { return r.isVendor() && r.selector == kRomControl; };
    auto isWrite = [&](const os::emu::RequestRecord& r) {
        return isRom(r) && r.set && !r.data.empty() && (r.data[0] & 0x80);
    };
    PhaseSplit p;
    std::size_t last = 0;
    for (std::size_t i = 0; i < log.size(); ++i)
        if (isWrite(log[i])) {
            last = i;
            p.writtenBytes += log[i].data[0] & lengthMask;
        }
    p.writePhase = last + 1;
    for (std::size_t i = last + 1; i < log.size(); ++i) {
        if (!isRom(log[i])) {
            ++p.otherAfter;
            continue;
        }
        ++p.verify;
        if (log[i].set && !log[i].data.empty()) p.verifyBytes += log[i].data[0] & lengthMask;
    }
    return p;
}

// The cost of verifying: a run with "Verify=0" times the write phase alone, a run with
// "Verify=1" the write and the read-back; their difference is the verify phase's time. The
// request log of the second run gives each phase's requests. The read-back is held against the
// protocol's least for the bytes it reads: one select (set) and one get of the ROM control per
// piece, a piece being 8 bytes, 32 on "EM" controllers.
void BM_VerifyCost(benchmark::State& state) {
    const bool em = state.range(0) != 0;
    const int cameras = static_cast<int>(state.range(1));
    const auto dir =
        std::filesystem::temp_directory_path() / ("lumomp-verify-bench-" + std::to_string(::getpid()) + "-" +
                                                  std::to_string(em) + "-" + std::to_string(cameras));
    std::filesystem::create_directories(dir);
    // A full 64 KB image whose header names a 64 KB ROM, so a ROM written by the first run is
    // detected alike by the next window.
    std::vector<std::uint8_t> img(65536);
    for (std::size_t i = 0; i < img.size(); ++i) img[i] = static_cast<std::uint8_t>((i * 7 + 1) % 251);
    img[0x40] = 'E';
    img[0x41] = 'D';
    img[0x46] = img[0x56] = 0x80;
    std::ofstream(dir / "fw.bin", std::ios::binary).write(reinterpret_cast<const char*>(img.data()), 65536);

    os::installClock(nullptr);
    auto world = std::make_shared<os::emu::EmuWorld>();
    for (int i = 0; i < cameras; ++i) {
        os::emu::CameraConfig c;
        c.name = c.instance = "cam" + std::to_string(i);
        c.em = em;
        c.latencyUs = kLatencyUs;
        world->addCamera(c);
    }
    os::installDeviceWorld(world);
    world->settle();

    // One run with the given "Verify"; its wall time in ms, or a negative value on failure.
    auto timedRun = [&](int verify) {
        std::ofstream(dir / "LumoMP.ini") << "[SETTING]\nBinFile=fw.bin\nVerify=" << verify << "\n";
        NullLayer layer((dir / "LumoMP").wstring());
        tool::CLumoMPDlg dlg(layer);
        std::optional<tool::MP_RUN_SUMMARY> summary;
        dlg.SetRunEndedHandler([&](const tool::MP_RUN_SUMMARY& s) { summary = s; });
        dlg.OnInitDialog();
        for (int i = 0; i < cameras; ++i) world->camera(static_cast<std::size_t>(i)).clearLog();
        const auto t0 = Steady::now();
        dlg.OnBnClickedButtonUpgradeFwMp();
        dlg.WaitForRunEnd();
        const double ms = std::chrono::duration<double, std::milli>(Steady::now() - t0).count();
        layer.Pump();
        return summary && summary->bSuccess ? ms : -1.0;
    };

    const std::uint32_t piece = em ? 32 : 8;
    double writeMs = 0, runMs = 0;
    PhaseSplit busiest;
    for (auto _ : state) {
        writeMs = timedRun(0);
        runMs = timedRun(1);
        if (writeMs < 0 || runMs < 0) {
            state.SkipWithError("run failed");
            break;
        }
        busiest = PhaseSplit{};
        for (int i = 0; i < cameras; ++i) {
            const PhaseSplit p = SplitPhases(world->camera(static_cast<std::size_t>(i)).requests(), em);
            if (p.writePhase + p.verify > busiest.writePhase + busiest.verify) busiest = p;
        }
    }
    const double verifyMs = runMs - writeMs;
    const std::uint64_t minimum = 2 * ((busiest.verifyBytes + piece - 1) / piece);
    state.counters["write_ms"] = writeMs;
    state.counters["verify_ms"] = verifyMs;
    state.counters["verify_over_write"] = writeMs > 0 ? verifyMs / writeMs : 0;
    state.counters["write_phase_req"] = static_cast<double>(busiest.writePhase);
    state.counters["verify_req"] = static_cast<double>(busiest.verify);
    state.counters["verify_min_req"] = static_cast<double>(minimum);
    state.counters["verify_bytes"] = static_cast<double>(busiest.verifyBytes);
    state.counters["written_bytes"] = static_cast<double>(busiest.writtenBytes);
    state.counters["after_verify_req"] = static_cast<double>(busiest.otherAfter);
    state.SetLabel(busiest.verify == minimum && busiest.verifyBytes == busiest.writtenBytes
                       ? "verify at the minimum"
                       : "verify above the minimum or not covering the write");
    os::installDeviceWorld(nullptr);
    std::filesystem::remove_all(dir);
}

BENCHMARK(BM_VerifyCost)
    ->ArgsProduct({{0, 1}, {1, 16}})
    ->ArgNames({"em", "cameras"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

BENCHMARK(BM_UpgradeRun)
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kIterations)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
