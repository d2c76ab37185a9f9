// Cost of one extension-unit request through the transport in each driver mode, on an
// emulated camera without bus latency: what the library itself adds per request.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/emu/EmuWorld.h"
#include "sdk/uvc/UvcDev.h"

using namespace lumo::os;
using namespace lumo::os::emu;

namespace {

void RequestRoundTrip(benchmark::State& state) {
    auto clock = VirtualClock::install();
    auto world = std::make_shared<EmuWorld>();
    CameraConfig cfg;
    cfg.driver = state.range(0) ? DriverMode::Class : DriverMode::Maker;
    world->addCamera(cfg);
    installDeviceWorld(world);
    std::shared_ptr<IEnumMoniker> walk;
    world->CreateClassEnumerator(guids::kVideoInputDeviceCategory, &walk);
    std::shared_ptr<IMoniker> moniker;
    walk->Next(&moniker);
    std::shared_ptr<IPropertyBag> bag;
    std::shared_ptr<ICaptureFilter> filter;
    moniker->BindToStorage(&bag);
    moniker->BindToObject(&filter);
    {
        CUvcDev dev;
        dev.m_pBaseFilter = filter;
        dev.QueryPropBagParams(bag.get());
        dev.QueryDriverType();
        if (!dev.AcquireIoHandle()) {
            state.SkipWithError("open failed");
            return;
        }
        // one 8-byte MCU data read: a set of the 35-byte block, then a get
        std::vector<std::uint8_t> block(35, 0);
        std::uint32_t n = 0;
        for (auto _ : state) {
            if ((++n & 0xFFF) == 0) world->camera(0).clearLog();  // keep the request log small
            block[0] = 8;
            block[1] = 0x00;
            block[2] = 0x40;
            const bool ok = dev.SetExtensionProperty(0x08, block.data(), 35, nullptr) &&
                            dev.GetExtensionProperty(0x08, block.data(), 35, nullptr);
            if (!ok) {
                state.SkipWithError("request failed");
                break;
            }
            benchmark::DoNotOptimize(block.data());
        }
        state.SetItemsProcessed(state.iterations() * 2);
        world->camera(0).clearLog();
    }
    installDeviceWorld(nullptr);
    installClock(nullptr);
}
BENCHMARK(RequestRoundTrip)->Arg(1)->Arg(0)->ArgName("classDriver");

}  // namespace

BENCHMARK_MAIN();
