// Cost of a suppressed record, a formatted record and a record appended to the log file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/trace/DEdura.h"
#include "common/trace/DEduraInternal.h"

namespace {

std::filesystem::path setUp(const char* ini) {
    auto dir = std::filesystem::temp_directory_path() / ("lumo-trace-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "TvDbgCfg.ini") << ini;
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    lumo::trace::initializeIn(dir.string() + "/", L"TvDbgCfg.ini");
    return dir;
}

void BM_Suppressed(benchmark::State& state) {
    auto dir = setUp("[OUTPUT]\nFILE=0\nVIEW=0\n");
    for (auto _ : state) XTRACE(1)("%s ===>", "CLumoDev::XuRegRead");
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_Suppressed);

void BM_LevelOff(benchmark::State& state) {
    auto dir = setUp("[OUTPUT]\nFILE=1\nLEVEL_1=0\n");
    for (auto _ : state) XTRACE(1)("%s ===>", "CLumoDev::XuRegRead");
    lumo::trace::reset();
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LevelOff);

void BM_Format(benchmark::State& state) {
    auto run = [](const char* f, ...) {
        va_list a;
        va_start(a, f);
        auto s = lumo::trace::formatRecord(L".\\LumoDev.cpp", 123, f, a);
        va_end(a);
        return s;
    };
    for (auto _ : state) benchmark::DoNotOptimize(run("%s ===> %ws 0x%08X", "CLumoDev::XuRegRead", L"path", 42u));
}
BENCHMARK(BM_Format);

// With several threads only the first sets up and tears down: the others meet it at the
// loop's start and end, which the benchmark library turns into barriers.
void BM_FileRecord(benchmark::State& state) {
    std::filesystem::path dir;
    if (state.thread_index() == 0) dir = setUp("[OUTPUT]\nFILE=1\n");
    for (auto _ : state) XTRACE(1)("%s ===>", "CLumoDev::XuRegRead");
    if (state.thread_index() == 0) {
        lumo::trace::reset();
        std::filesystem::remove_all(dir);
    }
}
BENCHMARK(BM_FileRecord)->Threads(1)->Threads(2);

}  // namespace

BENCHMARK_MAIN();
