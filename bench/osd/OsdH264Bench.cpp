// CPU cost of the OSD and H.264 commands through CLumoDev to a zero-latency emulated camera
// (trace off): one OSD write, the two-transfer OSD string read, one H.264 set, and the
// bit-rate get with its block conversion.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>

#include "platform/DeviceWorld.h"
#include "platform/emu/EmuWorld.h"
#include "sdk/device/LumoDev.h"
#include "tests/support/OpenEmuCandidate.h"

namespace {

namespace emu = lumo::os::emu;

struct Camera {
    std::shared_ptr<emu::VirtualClock> clock = emu::VirtualClock::install();
    std::shared_ptr<emu::EmuWorld> world = std::make_shared<emu::EmuWorld>();
    std::unique_ptr<CLumoDev> dev = std::make_unique<CLumoDev>();

    explicit Camera(emu::DriverMode mode) {
        emu::CameraConfig c;
        c.xu = true;
        c.driver = mode;
        world->addCamera(c);
        lumo::os::installDeviceWorld(world);
        lumo::test::openFirstCandidate(*world, *dev);
        dev->m_CtrlVer.bytes[0] = 'X';
        dev->m_CtrlVer.bytes[1] = 'U';
    }
    ~Camera() {
        dev->ReleaseIoHandle();
        dev.reset();
        lumo::os::installDeviceWorld(nullptr);
        lumo::os::installClock(nullptr);
    }
};

emu::DriverMode mode(const benchmark::State& state) {
    return state.range(0) == 0 ? emu::DriverMode::Class : emu::DriverMode::Maker;
}

void BM_OsdEnableSet(benchmark::State& state) {
    Camera cam(mode(state));
    for (auto _ : state) benchmark::DoNotOptimize(cam.dev->XuOsdEnableSet(1));
}

void BM_OsdStringGet(benchmark::State& state) {
    Camera cam(mode(state));
    std::array<std::uint8_t, 16> rec{0x34, 0x12, 'O', 'S', 'D'};
    cam.dev->XuOsdStringSet(0, rec.data());
    for (auto _ : state) benchmark::DoNotOptimize(cam.dev->XuOsdStringGet(0, rec.data()));
}

void BM_H264QpStepsSet(benchmark::State& state) {
    Camera cam(mode(state));
    const std::array<std::uint8_t, 6> qp{0, 0, 2, 20, 40, 0};
    for (auto _ : state) benchmark::DoNotOptimize(cam.dev->XuH264QpStepsSet(qp.data()));
}

void BM_H264BitRateTargetGet(benchmark::State& state) {
    Camera cam(mode(state));
    std::array<std::uint8_t, 12> rec{0x02, 0x01, 0, 0, 0x33, 0x22, 0x11, 0, 0x66, 0x55, 0x44, 0};
    cam.dev->XuH264BitRateTargetSet(rec.data());
    for (auto _ : state) benchmark::DoNotOptimize(cam.dev->XuH264BitRateTargetGet(rec.data()));
}

// Argument 0: class driver (device path), 1: maker's driver (property set).
BENCHMARK(BM_OsdEnableSet)->Arg(0)->Arg(1);
BENCHMARK(BM_OsdStringGet)->Arg(0)->Arg(1);
BENCHMARK(BM_H264QpStepsSet)->Arg(0);
BENCHMARK(BM_H264BitRateTargetGet)->Arg(0);

}  // namespace

BENCHMARK_MAIN();
