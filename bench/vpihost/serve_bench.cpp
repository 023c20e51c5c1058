// vpihost --serve end to end: the time from the line feed that ends a
// second's last sentence, written on the receiver's side of a
// pseudo-terminal, to that second's TPV read by each client, with 1 and with
// 100 clients watching; median and 99th percentile. The second counts as
// complete after the pause that ends it (EpochReports), which is part of
// the figure. Prints the figures; nothing here is a pass/fail test.
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSeconds = 40;                            // seconds of receiver time per run
constexpr auto kPace = std::chrono::milliseconds(250);  // between two seconds' bursts

std::string Sentence(const std::string& body) {
    unsigned char sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

std::string Hhmmss(int second) {
    char text[32];
    snprintf(text, sizeof text, "%02d%02d%02d", 12, second / 60 % 60, second % 60);
    return text;
}

int Connect(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return -1;
    const char watch[] = "?WATCH={\"enable\":true,\"json\":true}\n";
    if (write(fd, watch, sizeof watch - 1) < 0) return -1;
    return fd;
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

void Run(int clients) {
    int device = -1, port = -1;
    char path[128] = {};
    openpty(&device, &port, path, nullptr, nullptr);
    for (int fd : {device, port}) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        termios tio;
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    const std::string dir = "/tmp/vpihost-serve-bench-" + std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    ChildProcess run(BesideTestProgram("vpihost"), {"--profile", dir + "/profile.ini", "--device", path, "--receiver",
                                                    "nmea", "--serve", "127.0.0.1:0"});
    if (!run.WaitForStderr("; Ctrl-C stops")) {
        fprintf(stderr, "vpihost did not start: %s\n", run.Err().c_str());
        return;
    }
    const std::string err = run.Err();
    const int tcp = atoi(err.c_str() + err.find("protocol on 127.0.0.1:") + 22);
    const int poller = epoll_create1(0);
    std::map<int, std::string> buffers;
    for (int i = 0; i < clients; ++i) {
        const int fd = Connect(tcp);
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = fd;
        epoll_ctl(poller, EPOLL_CTL_ADD, fd, &ev);
        buffers[fd];
    }
    std::vector<Clock::time_point> written(kSeconds);
    std::vector<double> latencies;
    bool done = false;
    std::thread reader([&] {
        epoll_event events[128];
        while (!done) {
            const int n = epoll_wait(poller, events, 128, 100);
            const auto now = Clock::now();
            for (int k = 0; k < n; ++k) {
                char chunk[65536];
                const ssize_t got = read(events[k].data.fd, chunk, sizeof chunk);
                if (got <= 0) continue;
                std::string& b = buffers[events[k].data.fd];
                b.append(chunk, static_cast<size_t>(got));
                for (size_t end; (end = b.find('\n')) != std::string::npos; b.erase(0, end + 1)) {
                    const size_t at = b.find("\"time\":\"2026-12-08T12:");
                    if (b.compare(0, 15, "{\"class\":\"TPV\",") != 0 || at > end) continue;
                    const int second = atoi(b.c_str() + at + 22) * 60 + atoi(b.c_str() + at + 25);
                    if (second < kSeconds)
                        latencies.push_back(std::chrono::duration<double, std::milli>(now - written[second]).count());
                }
            }
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (int second = 0; second < kSeconds; ++second) {
        const std::string time = Hhmmss(second);
        const std::string gga = Sentence("GPGGA," + time + ",3540.9000,N,13946.0500,E,1,08,0.9,40.0,M,39.0,M,,");
        const std::string rmc = Sentence("GPRMC," + time + ",A,3540.9000,N,13946.0500,E,020.0,090.0,081226,,");
        if (write(device, gga.data(), gga.size()) < 0) break;
        written[second] = Clock::now();
        if (write(device, rmc.data(), rmc.size()) < 0) break;
        std::this_thread::sleep_for(kPace);
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    done = true;
    reader.join();
    run.Signal(SIGTERM);
    run.Wait();
    printf("%3d client%s: %zu TPVs of %d, latency median %.2f ms, p99 %.2f ms\n", clients, clients == 1 ? " " : "s",
           latencies.size(), kSeconds * clients, Percentile(latencies, 0.5), Percentile(latencies, 0.99));
    close(device);
    close(port);
    std::string command = "rm -rf '" + dir + "'";
    if (system(command.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
}

}  // namespace

int main() {
    for (int clients : {1, 100}) Run(clients);
    return 0;
}
