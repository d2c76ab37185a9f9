// CPU cost of one vendor-unit request through CLumoDev to a zero-latency emulated camera,
// with the trace off and with file output on.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "common/trace/DEduraInternal.h"
#include "platform/DeviceWorld.h"
#include "platform/emu/EmuWorld.h"
#include "sdk/device/LumoDev.h"
#include "tests/support/OpenEmuCandidate.h"

namespace {

namespace emu = lumo::os::emu;

struct Bench {
    std::shared_ptr<emu::VirtualClock> clock = emu::VirtualClock::install();
    std::shared_ptr<emu::EmuWorld> world = std::make_shared<emu::EmuWorld>();
    std::unique_ptr<CLumoDev> dev;

    explicit Bench(emu::DriverMode mode) {
        emu::CameraConfig c;
        c.driver = mode;
        world->addCamera(c);
        lumo::os::installDeviceWorld(world);
        dev = std::make_unique<CLumoDev>();
        lumo::test::openFirstCandidate(*world, *dev);
    }
    ~Bench() {
        dev->ReleaseIoHandle();
        dev.reset();
        lumo::os::installDeviceWorld(nullptr);
        lumo::os::installClock(nullptr);
    }
};

// Trace on with every level and file output into a temporary directory.
struct FileTrace {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "lumo_device_bench";
    FileTrace() {
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "TvDbgCfg.ini")
            << "[OUTPUT]\nFILE=1\nVIEW=0\nLEVEL_0=1\nLEVEL_1=1\nLEVEL_2=1\nLEVEL_3=1\nLEVEL_X=1\n";
        lumo::trace::initializeIn(dir.string() + "/", L"TvDbgCfg.ini");
    }
    ~FileTrace() {
        lumo::trace::reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

// One write piece: exactly one request (register write of 1 byte).
void run(benchmark::State& state, emu::DriverMode mode, bool traceFile) {
    std::unique_ptr<FileTrace> trace;
    if (traceFile)
        trace = std::make_unique<FileTrace>();
    else
        lumo::trace::reset();
    Bench b(mode);
    std::uint8_t v = 0;
    for (auto _ : state) {
        ++v;
        benchmark::DoNotOptimize(b.dev->XuRegWrite(0x0300, 1, &v));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_RequestTraceOff_DevicePath(benchmark::State& s) {
    run(s, emu::DriverMode::Class, false);
}
void BM_RequestTraceOff_PropertySet(benchmark::State& s) {
    run(s, emu::DriverMode::Maker, false);
}
void BM_RequestTraceFile_DevicePath(benchmark::State& s) {
    run(s, emu::DriverMode::Class, true);
}

BENCHMARK(BM_RequestTraceOff_DevicePath);
BENCHMARK(BM_RequestTraceOff_PropertySet);
BENCHMARK(BM_RequestTraceFile_DevicePath);

}  // namespace

BENCHMARK_MAIN();
