// Line feed at the device to record at the host, for the last line of each
// second's output: what a navigation display lags behind the receiver.
// The simulated receivers' texts are written at line speed (one character
// every ten bit times) once a second, as a receiver sends them; the clock
// starts when the last line feed of a second is written. A pseudo-terminal
// hands a byte over at once, so the figure is what the link adds on top of
// the line feed's own character time on a real line.
//
//   bench_latency                 NMEA at 4800 and 9600 baud, Sony at 9600
//   NT_BENCH_SECONDS=20 bench_latency   fewer seconds per case (default 100)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LinkStart.h"
#include "OwnResources.h"
#include "PtyPair.h"
#include "RecordingHost.h"
#include "Route.h"
#include "Sentences.h"
#include "serial/GpsLink.h"

namespace {

using Clock = std::chrono::steady_clock;

// Stamps the arrival of every record.
class StampingHost : public RecordingHost {
public:
    void SetGpsNaviInfo(tagGPSNAVIINFO* pInfo) override {
        Clock::time_point now = Clock::now();
        {
            std::lock_guard<std::mutex> lock(m_stampMutex);
            m_arrivals.push_back(now);
        }
        RecordingHost::SetGpsNaviInfo(pInfo);
    }
    std::vector<Clock::time_point> Arrivals() {
        std::lock_guard<std::mutex> lock(m_stampMutex);
        return m_arrivals;
    }

private:
    std::mutex m_stampMutex;
    std::vector<Clock::time_point> m_arrivals;
};

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t index = static_cast<size_t>(p * (values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

void RunCase(const char* name, int protocol, int baud, int seconds) {
    StampingHost host;
    PtyPair pty("COM2");
    UseOwnResourcesAsModule();
    host.profile["GPSNavi Protcol"] = protocol;
    StartLinkWithStoredSettings();
    if (protocol == 1) pty.Read(5);  // the start command

    const auto charTime = std::chrono::nanoseconds(10'000'000'000LL / baud);
    vpisim::Route route;
    std::vector<Clock::time_point> lastFeeds;  // per second
    std::vector<size_t> lastRecord;            // index of its record
    size_t lines = 1;                          // the record sent at the start
    size_t burstChars = 0;
    Clock::time_point second = Clock::now() + std::chrono::milliseconds(100);
    // One more second than measured: without it, a link that waits for the
    // next start marker would never deliver the last line measured.
    for (int s = 0; s <= seconds; ++s) {
        vpisim::UtcTime t{2026, 12, 8, 4, 7 + s / 60, s % 60};
        vpisim::Truth truth = route.At(t.SecondOfDay());
        std::string text = protocol == 1 ? vpisim::SonyRecord(t, truth) : vpisim::NmeaBurst(t, truth);
        burstChars = std::max(burstChars, text.size());
        Clock::time_point at = second;
        for (size_t i = 0; i < text.size(); ++i) {
            std::this_thread::sleep_until(at);
            pty.Write(&text[i], 1);
            if (text[i] == '\n') {
                ++lines;
                if (i + 1 == text.size()) {
                    lastFeeds.push_back(Clock::now());
                    lastRecord.push_back(lines - 1);
                }
            }
            at += charTime;
        }
        second += std::chrono::seconds(1);
    }
    host.WaitForRecords(lines, 3000);
    StopGpsLink();

    std::vector<Clock::time_point> arrivals = host.Arrivals();
    std::vector<double> micros;
    for (int s = 0; s < seconds; ++s) {
        if (lastRecord[s] >= arrivals.size()) break;
        micros.push_back(std::chrono::duration<double, std::micro>(arrivals[lastRecord[s]] - lastFeeds[s]).count());
    }
    printf("%-32s %5d baud  %4zu chars/s  char time %7.1f us  n %3zu  median %9.1f us  p99 %9.1f us  max %9.1f us\n",
           name, baud, burstChars, std::chrono::duration<double, std::micro>(charTime).count(), micros.size(),
           Percentile(micros, 0.5), Percentile(micros, 0.99), Percentile(micros, 1.0));
    fflush(stdout);
}

}  // namespace

int main() {
    const char* env = getenv("NT_BENCH_SECONDS");
    int seconds = env ? atoi(env) : 100;
    if (seconds < 1) seconds = 1;
    printf("line feed written at the device to record at the host, last line of each second, %d seconds each\n",
           seconds);
    RunCase("NMEA burst, last sentence", 0, 4800, seconds);
    RunCase("NMEA burst, last sentence", 0, 9600, seconds);
    RunCase("Sony record", 1, 9600, seconds);
    return 0;
}
