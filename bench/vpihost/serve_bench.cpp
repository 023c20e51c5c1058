// vpihost --serve beside the GPS daemon (gpsd, where it is installed), end
// to end: two pseudo-terminals fed the same bytes at the same moments, paced
// as a 4800-baud receiver sends them (each second's burst from the start of
// its second, one character every ten bit times), vpihost --device on one,
// gpsd -N -b on the other, 1 and then 100 clients of each watching. The
// figure is the time from the line feed of each second's last fix sentence
// (GGA, RMC, GLL, VTG) on the line to that second's first TPV read by each
// client; median, 90th and 99th percentile. Prints the figures; nothing
// here is a pass/fail test. NT_BENCH_ALONE=1 runs vpihost without gpsd.
//
// Usage: bench_vpihost_serve [CAPTURE]: an NMEA log (lines that begin with
// '$' count, each second's sentences in the receiver's order), else one a
// 1 Hz receiver of the common kind sends: GGA, GSA, three GSV every fifth
// second, RMC, ZDA. NT_BENCH_SECONDS: seconds of the capture (default 25).
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kCharacterTime = std::chrono::microseconds(2083);  // 10 bits at 4800 baud
constexpr int kLearning = 2;                                      // first seconds left out of the figures
constexpr int kServers = 2;
const char* const kNames[kServers] = {"vpihost", "gpsd"};

std::string Sentence(const std::string& body) {
    unsigned char sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

// One second of receiver output: its sentences, its time of day (hhmmss)
// and where in it the last fix sentence's line feed lies.
struct Second {
    std::string bytes;
    std::string hhmmss;
    size_t lastFixEnd = 0;  // index just behind that line feed
};

std::string Field(const std::string& line, int n) {
    size_t at = 0;
    for (int k = 0; k < n && at != std::string::npos; ++k) at = line.find(',', at + 1);
    if (at == std::string::npos) return std::string();
    const size_t end = line.find_first_of(",*", at + 1);
    return line.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
}

// The time of day a sentence carries, empty for one without.
std::string TimeOf(const std::string& line) {
    const std::string type = line.substr(3, 3);
    const std::string time = type == "GLL"                                     ? Field(line, 5)
                             : type == "GGA" || type == "RMC" || type == "ZDA" ? Field(line, 1)
                                                                               : "";
    return time.size() >= 6 ? time.substr(0, 6) : std::string();
}

bool CarriesFix(const std::string& line) {
    const std::string type = line.substr(3, 3);
    return type == "GGA" || type == "RMC" || type == "GLL" || type == "VTG";
}

// Groups sentences into seconds: a sentence with a new time begins one.
std::vector<Second> Seconds(const std::vector<std::string>& lines) {
    std::vector<Second> seconds;
    for (const std::string& raw : lines) {
        if (raw.size() < 7 || raw[0] != '$') continue;
        std::string line = raw;
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        const std::string time = TimeOf(line);
        if (seconds.empty() || (!time.empty() && !seconds.back().hhmmss.empty() && time != seconds.back().hhmmss))
            seconds.emplace_back();
        Second& s = seconds.back();
        if (s.hhmmss.empty()) s.hhmmss = time;
        s.bytes += line + "\r\n";
        if (CarriesFix(line)) s.lastFixEnd = s.bytes.size();
    }
    return seconds;
}

std::string Hhmmss(int second) {
    char text[16];
    snprintf(text, sizeof text, "12%02d%02d", second / 60 % 60, second % 60);
    return text;
}

// A receiver's usual second: GGA, GSA, three GSV every fifth second, RMC, ZDA.
std::vector<std::string> Generated(int count) {
    std::vector<std::string> lines;
    for (int s = 0; s < count; ++s) {
        const std::string t = Hhmmss(s) + ".000";
        char lat[16];
        snprintf(lat, sizeof lat, "%09.4f", 3540.9 + s * 0.0111);
        lines.push_back(Sentence("GPGGA," + t + "," + lat + ",N,13946.0500,E,1,09,0.95,40.2,M,39.0,M,,"));
        lines.push_back(Sentence("GPGSA,A,3,02,05,07,09,13,16,20,26,30,,,,1.64,0.95,1.31"));
        if (s % 5 == 0)
            for (int k = 1; k <= 3; ++k)
                lines.push_back(Sentence("GPGSV,3," + std::to_string(k) +
                                         ",12,02,41,056,44,05,23,312,40,07,60,281,44,09,88,089,31"));
        lines.push_back(Sentence("GPRMC," + t + ",A," + lat + ",N,13946.0500,E,21.6,0.0,081226,,,A"));
        lines.push_back(Sentence("GPZDA," + t + ",08,12,2026,,"));
    }
    return lines;
}

std::vector<std::string> Capture(const char* path, int count) {
    if (!path) return Generated(count);
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct Pty {
    int device = -1, port = -1;
    char path[128] = {};
    bool Open() {
        if (openpty(&device, &port, path, nullptr, nullptr) != 0) return false;
        for (int fd : {device, port}) {
            fcntl(fd, F_SETFD, FD_CLOEXEC);
            termios tio;
            tcgetattr(fd, &tio);
            cfmakeraw(&tio);
            cfsetspeed(&tio, B4800);
            tcsetattr(fd, TCSANOW, &tio);
        }
        fcntl(device, F_SETFL, O_NONBLOCK);
        return true;
    }
    ~Pty() {
        for (int fd : {device, port})
            if (fd >= 0) close(fd);
    }
};

int Connect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const char watch[] = "?WATCH={\"enable\":true,\"json\":true}\n";
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 || write(fd, watch, sizeof watch - 1) < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
    getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length);
    close(fd);
    return ntohs(at.sin_port);
}

std::string Which(const std::string& program) {
    for (const char* dir : {"/usr/sbin/", "/usr/bin/", "/usr/local/sbin/", "/usr/local/bin/"})
        if (access((dir + program).c_str(), X_OK) == 0) return dir + program;
    return std::string();
}

// Each client's first TPV of each second, and when it was read.
struct Arrival {
    int server;
    int client;
    std::string hhmmss;
    Clock::time_point at;
};

class Readers {
public:
    void Add(int server, int fd) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = fd;
        epoll_ctl(m_poller, EPOLL_CTL_ADD, fd, &ev);
        m_clients[fd] = Client{server, static_cast<int>(m_clients.size()), std::string(), {}};
    }
    void Start() {
        m_thread = std::thread([this] { Loop(); });
    }
    std::vector<Arrival> Stop() {
        m_done = true;
        m_thread.join();
        for (const auto& c : m_clients) close(c.first);
        close(m_poller);
        return m_arrivals;
    }

private:
    struct Client {
        int server, number;
        std::string buffer;
        std::set<std::string> seen;
    };
    void Loop() {
        epoll_event events[128];
        while (!m_done) {
            const int n = epoll_wait(m_poller, events, 128, 100);
            const Clock::time_point now = Clock::now();
            for (int k = 0; k < n; ++k) Take(m_clients[events[k].data.fd], events[k].data.fd, now);
        }
    }
    void Take(Client& c, int fd, Clock::time_point now) {
        char chunk[65536];
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got <= 0) {
            epoll_ctl(m_poller, EPOLL_CTL_DEL, fd, nullptr);
            return;
        }
        c.buffer.append(chunk, static_cast<size_t>(got));
        for (size_t end; (end = c.buffer.find('\n')) != std::string::npos; c.buffer.erase(0, end + 1)) {
            const size_t at = c.buffer.find("\"time\":\"");
            if (c.buffer.compare(0, 15, "{\"class\":\"TPV\",") != 0 || at > end || at + 27 > end) continue;
            const std::string t = c.buffer.substr(at + 19, 8);  // hh:mm:ss
            const std::string hhmmss = t.substr(0, 2) + t.substr(3, 2) + t.substr(6, 2);
            if (c.seen.insert(hhmmss).second) m_arrivals.push_back({c.server, c.number, hhmmss, now});
        }
    }

    int m_poller = epoll_create1(EPOLL_CLOEXEC);
    std::map<int, Client> m_clients;
    std::vector<Arrival> m_arrivals;
    std::thread m_thread;
    std::atomic<bool> m_done{false};
};

// Writes the seconds into both lines at 4800 baud, each burst from the start
// of its second; gives each line's time of each second's last fix line feed.
std::vector<std::map<std::string, Clock::time_point>> Feed(const std::vector<Second>& seconds, Pty* lines[kServers]) {
    std::vector<std::map<std::string, Clock::time_point>> lastFix(kServers);
    const Clock::time_point start = Clock::now();
    Clock::time_point next = start;
    char drain[4096];
    for (size_t s = 0; s < seconds.size(); ++s) {
        next = std::max(next, start + std::chrono::seconds(s));
        const Second& second = seconds[s];
        for (size_t i = 0; i < second.bytes.size(); ++i) {
            std::this_thread::sleep_until(next);
            next += kCharacterTime;
            // Which line is written first alternates, so that neither gains.
            for (int k = 0; k < kServers; ++k) {
                Pty* line = lines[(k + s) % kServers];
                if (!line) continue;
                if (write(line->device, &second.bytes[i], 1) != 1) continue;
                if (i + 1 == second.lastFixEnd) lastFix[(k + s) % kServers][second.hhmmss] = Clock::now();
                while (read(line->device, drain, sizeof drain) > 0) {
                }
            }
        }
    }
    return lastFix;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

void Print(int server, int clients, const std::vector<Second>& seconds, const std::vector<Arrival>& arrivals,
           const std::map<std::string, Clock::time_point>& lastFix) {
    std::vector<double> ms;
    std::map<std::string, size_t> index;
    for (size_t s = 0; s < seconds.size(); ++s) index[seconds[s].hhmmss] = s;
    size_t counted = 0;
    for (const Arrival& a : arrivals) {
        if (a.server != server) continue;
        const auto s = index.find(a.hhmmss);
        const auto fix = lastFix.find(a.hhmmss);
        if (s == index.end() || fix == lastFix.end() || s->second < kLearning) continue;
        ++counted;
        ms.push_back(std::chrono::duration<double, std::milli>(a.at - fix->second).count());
    }
    const size_t expected = (seconds.size() - std::min<size_t>(seconds.size(), kLearning)) * clients;
    printf("%-8s %4d  %6zu of %-6zu %9.2f %9.2f %9.2f %9.2f\n", kNames[server], clients, counted, expected,
           Percentile(ms, 0.5), Percentile(ms, 0.9), Percentile(ms, 0.99),
           ms.empty() ? NAN : *std::max_element(ms.begin(), ms.end()));
}

void Run(int clients, const std::vector<Second>& seconds, const std::string& gpsd) {
    Pty vpiLine, gpsdLine;
    if (!vpiLine.Open() || !gpsdLine.Open()) {
        fprintf(stderr, "no pseudo-terminal\n");
        return;
    }
    const std::string dir = "/tmp/vpihost-serve-bench-" + std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    ChildProcess vpihost(BesideTestProgram("vpihost"), {"--profile", dir + "/profile.ini", "--device", vpiLine.path,
                                                        "--receiver", "nmea", "--serve", "127.0.0.1:0"});
    const int gpsdPort = FreePort();
    std::unique_ptr<ChildProcess> daemon;
    if (!gpsd.empty())
        daemon.reset(new ChildProcess(gpsd, {"-N", "-n", "-b", "-S", std::to_string(gpsdPort), gpsdLine.path}));
    if (!vpihost.WaitForStderr("; Ctrl-C stops")) {
        fprintf(stderr, "vpihost did not start: %s\n", vpihost.Err().c_str());
        return;
    }
    const std::string err = vpihost.Err();
    const int ports[kServers] = {atoi(err.c_str() + err.find("protocol on 127.0.0.1:") + 22), gpsdPort};
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // gpsd listening
    // A reader of its own for each server's clients, so that neither waits
    // for the other's.
    Readers readers[kServers];
    for (int server = 0; server < kServers; ++server) {
        for (int i = 0; i < clients && (server == 0 || daemon); ++i) {
            const int fd = Connect(ports[server]);
            if (fd >= 0) readers[server].Add(server, fd);
        }
        readers[server].Start();
    }
    Pty* lines[kServers] = {&vpiLine, daemon ? &gpsdLine : nullptr};
    const auto lastFix = Feed(seconds, lines);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::vector<Arrival> arrivals = readers[0].Stop();
    for (const Arrival& a : readers[1].Stop()) arrivals.push_back(a);
    for (int server = 0; server < kServers && (server == 0 || daemon); ++server)
        Print(server, clients, seconds, arrivals, lastFix[server]);
    vpihost.Signal(SIGTERM);
    vpihost.Wait();
    if (daemon) {
        daemon->Signal(SIGTERM);
        daemon->Wait();
    }
    const std::string command = "rm -rf '" + dir + "'";
    if (system(command.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const char* limit = getenv("NT_BENCH_SECONDS");
    const int count = limit ? atoi(limit) : 25;
    std::vector<Second> seconds = Seconds(Capture(argc > 1 ? argv[1] : nullptr, count));
    if (static_cast<int>(seconds.size()) > count) seconds.resize(static_cast<size_t>(count));
    // NT_BENCH_ALONE=1: vpihost without the daemon beside it on the machine's cores.
    const std::string gpsd = getenv("NT_BENCH_ALONE") ? std::string() : Which("gpsd");
    printf("%zu seconds of %s at 4800 baud; from the line feed of each second's last fix sentence to its first TPV\n",
           seconds.size(), argc > 1 ? argv[1] : "a generated capture (GGA GSA [GSV x3] RMC ZDA)");
    if (gpsd.empty()) printf("(gpsd is not installed: vpihost alone; Debian: apt-get install gpsd)\n");
    printf("%-8s %4s  %-16s %9s %9s %9s %9s\n", "server", "clients", "TPVs", "median ms", "p90 ms", "p99 ms", "max ms");
    for (int clients : {1, 100}) Run(clients, seconds, gpsd);
    return 0;
}
