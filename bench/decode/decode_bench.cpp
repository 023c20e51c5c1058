// What decoding costs: DecodeLine per sentence kind and over a mixed
// receiver burst, and the whole receive path (framing, line assembler,
// decoder) per received byte. The host does nothing, so the figures are the
// plug-in's own.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "NullHost.h"
#include "Sentences.h"
#include "serial/GPSComm.h"
#include "serial/ModuleState.h"
#include "serial/ReceiverThread.h"

namespace {

using namespace bench_sentences;

void SetPerSentence(benchmark::State& state, size_t nLinesPerIteration) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * nLinesPerIteration));
    state.counters["per_sentence"] = benchmark::Counter(static_cast<double>(state.iterations() * nLinesPerIteration),
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void DecodeLines(benchmark::State& state, const std::vector<std::string>& lines, int nProtocol) {
    NullHost host;
    CGPSComm comm;
    comm.m_nProtocol = nProtocol;
    comm.m_nFixSpeed = 5;
    memset(&g_GpsNaviInfo, 0, sizeof g_GpsNaviInfo);
    for (auto _ : state) {
        for (const std::string& line : lines) {
            // The decoder cuts the identifier in place: each turn gets the line afresh.
            memcpy(comm.m_szLine, line.c_str(), line.size() + 1);
            comm.DecodeLine();
        }
        benchmark::DoNotOptimize(&g_GpsNaviInfo);
        benchmark::ClobberMemory();
    }
    SetPerSentence(state, lines.size());
}

void BM_DecodeLine(benchmark::State& state, const char* pszLine, int nProtocol) {
    DecodeLines(state, {pszLine}, nProtocol);
}
BENCHMARK_CAPTURE(BM_DecodeLine, GGA, kGga, 0);
BENCHMARK_CAPTURE(BM_DecodeLine, GSA, kGsa, 0);
BENCHMARK_CAPTURE(BM_DecodeLine, RMC, kRmc, 0);
BENCHMARK_CAPTURE(BM_DecodeLine, VTG, kVtg, 0);
BENCHMARK_CAPTURE(BM_DecodeLine, GLL, kGll, 0);
BENCHMARK_CAPTURE(BM_DecodeLine, PGRMM, kPgrmm, 0);
BENCHMARK_CAPTURE(BM_DecodeLine, GSV_ignored, kGsv, 0);
BENCHMARK_CAPTURE(BM_DecodeLine, Sony, kSony, 1);

void BM_DecodeMixedBurst(benchmark::State& state) { DecodeLines(state, MixedBurst(), 0); }
BENCHMARK(BM_DecodeMixedBurst);

// The burst as bytes on the line, read in chunks of the given size.
void BM_ReceivePath(benchmark::State& state) {
    NullHost host;
    CGPSComm comm;
    comm.m_nFixSpeed = 5;
    std::string stream;
    for (const std::string& line : MixedBurst()) stream += line + "\n";
    const size_t nChunk = static_cast<size_t>(state.range(0));
    static char szBuffer[RECEIVER_BUFFER_SIZE];
    static char szSentence[RECEIVER_SENTENCE_SIZE];
    char abRead[RECEIVER_READ_SIZE];
    szBuffer[0] = '\0';
    for (auto _ : state) {
        for (size_t nAt = 0; nAt < stream.size(); nAt += nChunk) {
            size_t nRead = std::min(nChunk, stream.size() - nAt);
            memcpy(abRead, stream.data() + nAt, nRead);
            FrameReceived(&comm, szBuffer, abRead, static_cast<int>(nRead), szSentence);
        }
        benchmark::DoNotOptimize(&g_GpsNaviInfo);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    state.counters["per_byte"] = benchmark::Counter(static_cast<double>(state.iterations() * stream.size()),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReceivePath)->Arg(1)->Arg(16)->Arg(255);

}  // namespace

BENCHMARK_MAIN();
