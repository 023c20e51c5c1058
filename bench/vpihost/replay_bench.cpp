// How fast `vpihost --replay --fast` gets a log through the module when the
// log is dense in sentence starts: each start waits until the module has
// read everything before it, so the wait's wake-up is paid once per start.
// The figure is printed as a counter; nothing here is a pass/fail test.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "ChildProcess.h"

namespace {

void BM_FastReplayOfSentenceStarts(benchmark::State& state) {
    const long starts = state.range(0);
    const std::string dir = "/tmp/vpihost-replay-bench-" + std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    std::ofstream(dir + "/dense.nmea", std::ios::binary) << std::string(static_cast<size_t>(starts), '$');
    for (auto _ : state) {
        ChildProcess run(BesideTestProgram("vpihost"), {"--profile", dir + "/profile.ini", "--replay",
                                                        dir + "/dense.nmea", "--fast", "--quiet", "--json"});
        if (run.Wait(600000) != 0) state.SkipWithError("vpihost failed");
    }
    state.counters["us_per_start"] = benchmark::Counter(
        static_cast<double>(starts) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::OneK::kIs1000);
    std::remove((dir + "/dense.nmea").c_str());
    std::remove((dir + "/profile.ini").c_str());
    rmdir(dir.c_str());
}
BENCHMARK(BM_FastReplayOfSentenceStarts)->Arg(20000)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
