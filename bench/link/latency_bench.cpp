// Line feed at the device to record at the host, for the last line of each
// second's output: what a navigation display lags behind the receiver.
// The simulated receivers' texts are written at line speed (one character
// every ten bit times) once a second, as a receiver sends them; the clock
// starts when the last line feed of a second is written. A pseudo-terminal
// hands a byte over at once, so the figure is what the link adds on top of
// the line feed's own character time on a real line.
//
//   bench_latency                 NMEA at 4800 and 9600 baud, Sony at 9600, and
//                                 a bare thread reading the same line for comparison
//   NT_BENCH_SECONDS=20 bench_latency   fewer seconds per case (default 100)
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
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

// The receiver's output for `seconds` seconds (and one more, so that a link
// that waits for the next start marker still delivers the last line
// measured), one character every ten bit times. For each measured second:
// when its last line feed was written and how many line feeds came before.
struct Written {
    std::vector<Clock::time_point> lastFeeds;
    std::vector<size_t> feedsBefore;
    size_t feeds = 0;
    size_t longest = 0;
};

Written WriteSeconds(PtyPair& pty, int protocol, std::chrono::nanoseconds charTime, int seconds) {
    Written w;
    vpisim::Route route;
    Clock::time_point second = Clock::now() + std::chrono::milliseconds(100);
    for (int s = 0; s <= seconds; ++s) {
        vpisim::UtcTime t{2026, 12, 8, 4, 7 + s / 60, s % 60};
        vpisim::Truth truth = route.At(t.SecondOfDay());
        std::string text = protocol == 1 ? vpisim::SonyRecord(t, truth) : vpisim::NmeaBurst(t, truth);
        w.longest = std::max(w.longest, text.size());
        Clock::time_point at = second;
        for (size_t i = 0; i < text.size(); ++i) {
            std::this_thread::sleep_until(at);
            pty.Write(&text[i], 1);
            if (text[i] == '\n') {
                if (i + 1 == text.size() && s < seconds) {
                    w.lastFeeds.push_back(Clock::now());
                    w.feedsBefore.push_back(w.feeds);
                }
                ++w.feeds;
            }
            at += charTime;
        }
        second += std::chrono::seconds(1);
    }
    return w;
}

void Print(const char* name, int baud, const Written& w, const std::vector<Clock::time_point>& arrivals,
           size_t firstArrival) {
    std::vector<double> micros;
    for (size_t s = 0; s < w.lastFeeds.size(); ++s) {
        size_t index = firstArrival + w.feedsBefore[s];
        if (index >= arrivals.size()) break;
        micros.push_back(std::chrono::duration<double, std::micro>(arrivals[index] - w.lastFeeds[s]).count());
    }
    printf("%-34s %5d baud  %3zu chars/s  char time %6.1f us  n %3zu  median %9.1f us  p99 %9.1f us  max %9.1f us\n",
           name, baud, w.longest, 1e7 / baud, micros.size(), Percentile(micros, 0.5), Percentile(micros, 0.99),
           Percentile(micros, 1.0));
    fflush(stdout);
}

void RunCase(const char* name, int protocol, int baud, int seconds) {
    StampingHost host;
    PtyPair pty("COM2");
    UseOwnResourcesAsModule();
    host.profile["GPSNavi Protcol"] = protocol;
    StartLinkWithStoredSettings();
    if (protocol == 1) pty.Read(5);  // the start command
    Written w = WriteSeconds(pty, protocol, std::chrono::nanoseconds(10'000'000'000LL / baud), seconds);
    host.WaitForRecords(1 + w.feeds, 3000);
    StopGpsLink();
    Print(name, baud, w, host.Arrivals(), 1);  // behind the record sent at the start
}

// For comparison, what the machine itself adds: the same output read by a
// bare thread blocked in poll on the pty's port side, stamping each line
// feed it reads.
void RunBareReader(int baud, int seconds) {
    PtyPair pty("COM2");
    int fd = open(pty.path().c_str(), O_RDWR | O_NOCTTY);
    std::vector<Clock::time_point> arrivals;
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        char buffer[256];
        while (!stop) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            ssize_t n = read(fd, buffer, sizeof buffer);
            Clock::time_point now = Clock::now();
            for (ssize_t i = 0; i < n; ++i)
                if (buffer[i] == '\n') arrivals.push_back(now);
        }
    });
    Written w = WriteSeconds(pty, 0, std::chrono::nanoseconds(10'000'000'000LL / baud), seconds);
    Sleep(200);
    stop = true;
    reader.join();
    close(fd);
    Print("bare thread in poll, NMEA", baud, w, arrivals, 0);
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
    RunBareReader(4800, seconds);
    return 0;
}
