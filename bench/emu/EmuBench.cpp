// Cost of the emulated world itself: one device-path request, one 32-byte ROM chunk the way
// a controller without "EM" receives it, and a whole 64 KB image on the virtual clock.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>

#include "platform/emu/EmuWorld.h"

namespace {

using namespace lumo::os;
using namespace lumo::os::emu;

struct Rig {
    explicit Rig(std::uint32_t latencyUs = 0) {
        clock = VirtualClock::install();
        world = std::make_shared<EmuWorld>();
        CameraConfig c;
        c.latencyUs = latencyUs;
        world->addCamera(c);
        std::uint32_t err = 0;
        handle = world->CreateFile(world->camera(0).devicePath(), 0xC0000000, 0, 0x40000080, &err);
    }
    ~Rig() {
        handle.reset();
        world.reset();
        installClock(nullptr);
    }
    bool send(bool set, std::uint8_t sel, std::uint8_t* data, std::uint32_t len) {
        std::array<std::uint8_t, 32> ksp{};
        const auto g = guids::kVendorXu.toBytes();
        std::memcpy(ksp.data(), g.data(), 16);
        ksp[16] = sel;
        const std::uint32_t flags = set ? 0x10000002u : 0x10000001u;
        for (int i = 0; i < 4; ++i) ksp[20 + i] = static_cast<std::uint8_t>(flags >> (8 * i));
        ksp[24] = 2;  // vendor node of a camera without encoder
        std::uint32_t bytes = 0, err = 0;
        std::unique_ptr<IPendingIo> pending;
        return handle->DeviceIoControl(IOCTL_KS_PROPERTY, ksp.data(), 32, data, len, &bytes, &pending, &err);
    }
    void chunk(std::uint16_t address) {
        std::array<std::uint8_t, 35> b{};
        b[1] = static_cast<std::uint8_t>(address >> 8);
        b[2] = static_cast<std::uint8_t>(address);
        for (int p = 0; p < 3; ++p) {
            b[0] = 0x88;
            send(true, 0x03, b.data(), 35);
        }
        std::uint8_t wp = 0;
        send(true, 0x0E, &wp, 1);
        b[0] = 0xA8;
        send(true, 0x03, b.data(), 35);
    }
    std::shared_ptr<VirtualClock> clock;
    std::shared_ptr<EmuWorld> world;
    std::unique_ptr<IDeviceHandle> handle;
};

void BM_HardwareVersionGet(benchmark::State& state) {
    Rig rig(static_cast<std::uint32_t>(state.range(0)));
    std::uint8_t v = 0;
    for (auto _ : state) benchmark::DoNotOptimize(rig.send(false, 0x0A, &v, 1));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HardwareVersionGet)->Arg(0)->Arg(125)->UseRealTime();

void BM_RomChunkWithoutEm(benchmark::State& state) {
    Rig rig;
    std::uint16_t a = 0;
    for (auto _ : state) {
        rig.chunk(a);
        a = static_cast<std::uint16_t>(a + 32);
        if (a == 0) rig.world->camera(0).clearLog();
    }
    state.SetBytesProcessed(state.iterations() * 32);
}
BENCHMARK(BM_RomChunkWithoutEm);

void BM_Whole64KImage(benchmark::State& state) {
    Rig rig;
    for (auto _ : state) {
        for (std::uint32_t a = 0; a < 0x10000; a += 32) rig.chunk(static_cast<std::uint16_t>(a));
        rig.world->camera(0).clearLog();
    }
    state.counters["virtual_ms_per_image"] = benchmark::Counter(static_cast<double>(rig.clock->nowUs() - 1'000'000) /
                                                                1000.0 / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_Whole64KImage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
