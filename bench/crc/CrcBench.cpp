// CRC-16/CMS throughput over a 64 KB buffer: the library's table-free routine against a
// plain bitwise register and Boost's table-driven crc_optimal with the same parameters.
// Each result carries a MB/s rate (bytes_per_second); the ratios are printed at the end.
#include <benchmark/benchmark.h>
#include <boost/crc.hpp>

#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "sdk/image/Crc16.h"
#include "tests/support/BitwiseCrc16.h"

namespace {

constexpr std::size_t kSize = 65536;

const std::vector<std::uint8_t>& buffer() {
    static const std::vector<std::uint8_t> data = [] {
        std::vector<std::uint8_t> d(kSize);
        std::mt19937 rng(7);
        for (auto& b : d) b = static_cast<std::uint8_t>(rng());
        return d;
    }();
    return data;
}

using lumo::test::bitwiseCrc16;

void BM_Lumo(benchmark::State& state) {
    const auto& d = buffer();
    for (auto _ : state) benchmark::DoNotOptimize(lumo::image::Crc16Calculate(d.data(), kSize));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSize);
}

void BM_Bitwise(benchmark::State& state) {
    const auto& d = buffer();
    for (auto _ : state) benchmark::DoNotOptimize(bitwiseCrc16(d.data(), kSize));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSize);
}

void BM_Boost(benchmark::State& state) {
    const auto& d = buffer();
    for (auto _ : state) {
        boost::crc_optimal<16, 0x8005, 0xFFFF, 0, false, false> crc;
        crc.process_bytes(d.data(), kSize);
        benchmark::DoNotOptimize(crc.checksum());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSize);
}

BENCHMARK(BM_Lumo);
BENCHMARK(BM_Bitwise);
BENCHMARK(BM_Boost);

// Collects each run's rate so the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& r : runs) {
            auto it = r.counters.find("bytes_per_second");
            if (it != r.counters.end()) m_rates[r.benchmark_name()] = it->second.value / 1e6;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double lumo = m_rates["BM_Lumo"], bit = m_rates["BM_Bitwise"], boo = m_rates["BM_Boost"];
        std::printf("\nMB/s: table-free %.1f, bitwise %.1f, boost crc_optimal %.1f\n", lumo, bit, boo);
        if (bit > 0 && boo > 0)
            std::printf("ratio table-free/bitwise %.2f, table-free/boost %.2f\n", lumo / bit, lumo / boo);
    }

private:
    std::map<std::string, double> m_rates;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // The three routines must agree before their speeds mean anything.
    const auto& d = buffer();
    boost::crc_optimal<16, 0x8005, 0xFFFF, 0, false, false> crc;
    crc.process_bytes(d.data(), kSize);
    const std::uint16_t ours = lumo::image::Crc16Calculate(d.data(), kSize);
    if (ours != bitwiseCrc16(d.data(), kSize) || ours != crc.checksum()) {
        std::fprintf(stderr, "CRC routines disagree\n");
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
