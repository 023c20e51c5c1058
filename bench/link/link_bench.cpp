// What a running link costs in time: the stop while the receiver thread
// waits, the latency from a sentence's last byte at the device to its record
// at the host, and the receiver thread's wake-ups while the line is idle.
// Figures are printed as counters; nothing here is a pass/fail test.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <thread>
#include <vector>

#include "LinkStart.h"
#include "OwnResources.h"
#include "PtyPair.h"
#include "RecordingHost.h"
#include "serial/GpsLink.h"
#include "serial/ModuleState.h"
#include "shell/Exports.h"

namespace {

using Clock = std::chrono::steady_clock;

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t index = static_cast<size_t>(p * (values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

// Stop latency: the link has been idle, its thread blocked in its wait.
void BM_StopWhileThreadWaits(benchmark::State& state) {
    RecordingHost host;
    PtyPair pty("COM2");
    UseOwnResourcesAsModule();
    std::vector<double> micros;
    for (auto _ : state) {
        state.PauseTiming();
        StartLinkWithStoredSettings();
        Sleep(20);  // the thread is now in its wait
        state.ResumeTiming();
        auto begin = Clock::now();
        StopGpsLink();
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
    }
    state.counters["median_us"] = Percentile(micros, 0.5);
    state.counters["max_us"] = Percentile(micros, 1.0);
}
BENCHMARK(BM_StopWhileThreadWaits)->Iterations(100)->Unit(benchmark::kMicrosecond);

// Latency of a sentence that is followed by the next one's start marker.
void BM_SentenceToRecord(benchmark::State& state) {
    RecordingHost host;
    PtyPair pty("COM2");
    UseOwnResourcesAsModule();
    StartLinkWithStoredSettings();
    const std::string sentence = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
    std::vector<double> micros;
    pty.Write(sentence);
    for (auto _ : state) {
        size_t before = host.RecordCount();
        auto begin = Clock::now();
        pty.Write("$");  // the marker that completes the sentence before it
        host.WaitForRecords(before + 1);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
        state.PauseTiming();
        pty.Write(sentence.substr(1));
        Sleep(2);
        state.ResumeTiming();
    }
    StopGpsLink();
    state.counters["median_us"] = Percentile(micros, 0.5);
    state.counters["p99_us"] = Percentile(micros, 0.99);
}
BENCHMARK(BM_SentenceToRecord)->Iterations(500)->Unit(benchmark::kMicrosecond);

// Wake-ups of the receiver thread while the line stays idle for a second.
void BM_IdleWakeups(benchmark::State& state) {
    RecordingHost host;
    PtyPair pty("COM2");
    UseOwnResourcesAsModule();
    for (auto _ : state) {
        StartLinkWithStoredSettings();
        W32SerialCounters before{}, after{};
        Sleep(50);
        W32GetSerialCounters("COM2", &before);
        Sleep(1000);
        W32GetSerialCounters("COM2", &after);
        StopGpsLink();
        state.counters["wakeups_per_idle_s"] = static_cast<double>(after.wakeups - before.wakeups);
        state.counters["waits_per_idle_s"] = static_cast<double>(after.waits - before.waits);
    }
}
BENCHMARK(BM_IdleWakeups)->Iterations(1)->Unit(benchmark::kMillisecond);

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThisThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// A 9600-baud line that never pauses: 1000 characters a second, written in
// 10 ms slices. The process's CPU less the writing thread's own is the
// receiver thread's (nothing else runs). NT_BENCH_SECONDS shortens the run
// (default 60).
void BM_CpuAt9600Baud(benchmark::State& state) {
    RecordingHost host;
    PtyPair pty("COM2");
    UseOwnResourcesAsModule();
    const char* env = getenv("NT_BENCH_SECONDS");
    const int seconds = env ? atoi(env) : 60;
    std::string stream;
    while (stream.size() < 96000) stream += "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
    for (auto _ : state) {
        StartLinkWithStoredSettings();
        double cpuBefore = ProcessCpuSeconds();
        double writerBefore = ThisThreadCpuSeconds();
        auto begin = Clock::now();
        size_t offset = 0;
        for (int slice = 0; slice < seconds * 100; ++slice) {
            pty.Write(stream.data() + offset % (stream.size() - 10), 10);  // 9.6 characters per 10 ms
            offset += 10;
            std::this_thread::sleep_until(begin + std::chrono::milliseconds(10 * (slice + 1)));
        }
        double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
        double writer = ThisThreadCpuSeconds() - writerBefore;
        double cpu = ProcessCpuSeconds() - cpuBefore;
        StopGpsLink();
        state.counters["process_cpu_percent"] = 100.0 * cpu / elapsed;
        state.counters["receiver_cpu_percent"] = 100.0 * (cpu - writer) / elapsed;
        state.counters["records"] = static_cast<double>(host.RecordCount());
    }
}
BENCHMARK(BM_CpuAt9600Baud)->Iterations(1)->Unit(benchmark::kSecond);

// A 4800-baud line that delivers its characters one at a time, 480 a
// second, each in a write of its own: every character is a wake-up. Prints
// the serial layer's calls into the kernel per wake-up and the receiver
// thread's CPU. NT_BENCH_SECONDS sets the length (default 10 s).
void BM_ByteByByteAt4800Baud(benchmark::State& state) {
    RecordingHost host;
    PtyPair pty("COM2");
    UseOwnResourcesAsModule();
    const char* env = getenv("NT_BENCH_SECONDS");
    const int seconds = env ? atoi(env) : 10;
    const std::string sentence = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
    for (auto _ : state) {
        StartLinkWithStoredSettings();
        Sleep(50);
        W32SerialCounters before{}, after{};
        W32GetSerialCounters("COM2", &before);
        double cpuBefore = ProcessCpuSeconds();
        double writerBefore = ThisThreadCpuSeconds();
        auto begin = Clock::now();
        const int characters = seconds * 480;
        for (int i = 0; i < characters; ++i) {
            pty.Write(&sentence[i % sentence.size()], 1);
            std::this_thread::sleep_until(begin + std::chrono::microseconds(1000000LL * (i + 1) / 480));
        }
        Sleep(20);
        double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
        double writer = ThisThreadCpuSeconds() - writerBefore;
        double cpu = ProcessCpuSeconds() - cpuBefore;
        W32GetSerialCounters("COM2", &after);
        StopGpsLink();
        const double waits = static_cast<double>(after.waits - before.waits);
        state.counters["waits_per_char"] = waits / characters;
        state.counters["kernel_calls_per_wait"] = static_cast<double>(after.systemCalls - before.systemCalls) / waits;
        state.counters["receiver_cpu_percent"] = 100.0 * (cpu - writer) / elapsed;
        state.counters["receiver_cpu_us_per_char"] = 1e6 * (cpu - writer) / characters;
        state.counters["records"] = static_cast<double>(host.RecordCount());
    }
}
BENCHMARK(BM_ByteByByteAt4800Baud)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
