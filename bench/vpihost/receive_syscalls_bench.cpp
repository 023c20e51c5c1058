// System calls and CPU of the receive path next to the floor. A
// pseudo-terminal is fed as a 4800-baud receiver feeds a serial line (each
// second's NMEA burst, one character every ten bit times, 2.08 ms); vpihost
// reads it, then a bare poll()+read() reader does, each on the fed line and
// then on the silent line. For each, over a window of NT_BENCH_SECONDS
// (default 20) after a warm-up, per second: system calls as perf counts
// them (raw_syscalls:sys_enter, when perf is there and may count), read and
// write calls from /proc/PID/io, CPU from /proc/PID/task/*/schedstat, and
// for vpihost the stand-in's own count of its calls for the port (through
// a preloaded probe). The whole process, and apart the thread that reads
// the line: the one with the most read calls on the fed line. Run by hand;
// nothing here is a pass/fail test.
//
//   bench_receive_syscalls [VPIHOST]    default: the vpihost beside this program
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <win32_control.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Route.h"
#include "Sentences.h"

namespace {

using Clock = std::chrono::steady_clock;

int WindowSeconds() {
    const char* env = getenv("NT_BENCH_SECONDS");
    int seconds = env ? atoi(env) : 20;
    return seconds < 1 ? 1 : seconds;
}

std::string BesideThisProgram(const std::string& name) {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, n > 0 ? static_cast<size_t>(n) : 0);
    return path.substr(0, path.rfind('/') + 1) + name;
}

// Both sides raw; the port side stays open here so that the line lives
// while the readers come and go.
struct Line {
    int device = -1;
    int port = -1;
    std::string path;
    bool Open() {
        char name[128] = {};
        if (openpty(&device, &port, name, nullptr, nullptr) != 0) return false;
        for (int fd : {device, port}) {
            termios tio;
            tcgetattr(fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(fd, TCSANOW, &tio);
        }
        path = name;
        return true;
    }
};

// Once a second the receiver's burst, one character every ten bit times.
class Feeder {
public:
    explicit Feeder(int fd) : m_fd(fd) {}
    ~Feeder() { Stop(); }
    void Start() {
        m_stop = false;
        m_thread = std::thread([this] { Run(); });
    }
    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    unsigned long long Written() const { return m_written; }

private:
    void Run() {
        const auto charTime = std::chrono::nanoseconds(10'000'000'000LL / vpisim::kNmeaBaud);
        vpisim::Route route;
        Clock::time_point second = Clock::now();
        for (long s = 0; !m_stop; ++s, second += std::chrono::seconds(1)) {
            vpisim::UtcTime t = vpisim::UtcFromEpoch(1796789224LL + s);
            std::string text = vpisim::NmeaBurst(t, route.At(t.SecondOfDay()));
            Clock::time_point at = second;
            for (size_t i = 0; i < text.size() && !m_stop; ++i, at += charTime) {
                std::this_thread::sleep_until(at);
                if (write(m_fd, &text[i], 1) == 1) ++m_written;
            }
            while (!m_stop && Clock::now() < second + std::chrono::seconds(1))
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    int m_fd;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<unsigned long long> m_written{0};
};

// The field after `key` in a /proc file ("syscr: 12").
unsigned long long ProcField(const std::string& path, const std::string& key) {
    std::ifstream in(path);
    std::string word;
    while (in >> word) {
        if (word == key) {
            unsigned long long value = 0;
            in >> value;
            return value;
        }
    }
    return 0;
}

unsigned long long CpuNanoseconds(const std::string& schedstat) {
    std::ifstream in(schedstat);
    unsigned long long ns = 0;
    in >> ns;
    return ns;
}

struct Task {
    unsigned long long ioCalls = 0;  // syscr + syscw
    unsigned long long cpuNs = 0;
};

struct ProcSample {
    Clock::time_point at;
    unsigned long long ioCalls = 0;  // the process's, ended threads included
    std::map<int, Task> tasks;
};

unsigned long long IoCalls(const std::string& io) { return ProcField(io, "syscr:") + ProcField(io, "syscw:"); }

ProcSample SampleProc(pid_t pid) {
    ProcSample s;
    const std::string dir = "/proc/" + std::to_string(pid);
    s.at = Clock::now();
    s.ioCalls = IoCalls(dir + "/io");
    if (DIR* tasks = opendir((dir + "/task").c_str())) {
        while (dirent* e = readdir(tasks)) {
            if (e->d_name[0] == '.') continue;
            const std::string task = dir + "/task/" + e->d_name;
            s.tasks[atoi(e->d_name)] = {IoCalls(task + "/io"), CpuNanoseconds(task + "/schedstat")};
        }
        closedir(tasks);
    }
    return s;
}

// Runs a program with stdin, stdout and stderr on /dev/null; `keepFd` stays
// open in it.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env = {}, int keepFd = -1) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> environment = env;
    for (char** e = environ; *e; ++e) environment.push_back(*e);
    std::vector<char*> envp;
    for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    pid_t pid = fork();
    if (pid == 0) {
        for (int fd = 0; fd < 3; ++fd) dup2(null, fd);
        if (keepFd >= 0) fcntl(keepFd, F_SETFD, 0);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(null);
    return pid;
}

// System calls per thread id as perf counts them over `seconds`; empty when
// perf is missing or may not count. Takes the window's time either way. A
// thread that never ran in the window is "<not counted>": none.
std::map<int, unsigned long long> PerfSyscalls(pid_t pid, int seconds) {
    const std::string out = "/tmp/bench-receive-syscalls-" + std::to_string(getpid()) + ".perf";
    Clock::time_point end = Clock::now() + std::chrono::seconds(seconds);
    pid_t perf = Spawn({"perf", "stat", "-e", "raw_syscalls:sys_enter", "--per-thread", "-p", std::to_string(pid), "-x",
                        ",", "-o", out, "--", "sleep", std::to_string(seconds)});
    int status = 0;
    waitpid(perf, &status, 0);
    std::this_thread::sleep_until(end);
    std::map<int, unsigned long long> calls;
    std::ifstream in(out);
    std::string line;
    while (WIFEXITED(status) && WEXITSTATUS(status) == 0 && std::getline(in, line)) {
        // "vpihost-1234,5678,,raw_syscalls:sys_enter,..."
        size_t comma = line.find(',');
        if (line.empty() || line[0] == '#' || comma == std::string::npos) continue;
        size_t dash = line.rfind('-', comma);
        if (dash != std::string::npos)
            calls[atoi(line.c_str() + dash + 1)] = strtoull(line.c_str() + comma + 1, nullptr, 10);
    }
    std::remove(out.c_str());
    return calls;
}

// The stand-in's counters inside vpihost, through the preloaded probe.
struct Probe {
    int fd = -1;
    W32SerialCounters Ask() const {
        W32SerialCounters c{};
        char request = 1;
        if (fd < 0 || write(fd, &request, 1) != 1 || read(fd, &c, sizeof c) != static_cast<ssize_t>(sizeof c))
            return W32SerialCounters{};
        return c;
    }
};

struct Figures {
    double seconds = 0;
    unsigned long long fed = 0;
    bool perf = false;
    double perfProcess = 0, perfThread = 0;  // system calls per second
    double ioProcess = 0, ioThread = 0;      // read and write calls per second
    double cpuProcess = 0, cpuThread = 0;    // per cent of a core
    W32SerialCounters port{};                // the stand-in's counts in the window
};

// One window; *readerTid is found on the fed line (0: find it) and kept.
Figures Measure(pid_t pid, const Feeder& feeder, const Probe& probe, int* readerTid) {
    const int seconds = WindowSeconds();
    W32SerialCounters c0 = probe.Ask();
    ProcSample p0 = SampleProc(pid);
    unsigned long long fed0 = feeder.Written();
    std::map<int, unsigned long long> perf = PerfSyscalls(pid, seconds);
    ProcSample p1 = SampleProc(pid);
    W32SerialCounters c1 = probe.Ask();
    Figures f;
    f.seconds = std::chrono::duration<double>(p1.at - p0.at).count();
    f.fed = feeder.Written() - fed0;
    unsigned long long most = 0, cpu = 0;
    int busiest = 0;
    for (auto& [tid, t] : p1.tasks) {
        auto before = p0.tasks.find(tid);
        if (before == p0.tasks.end()) continue;  // a thread that began in the window
        cpu += t.cpuNs - before->second.cpuNs;
        if (t.ioCalls - before->second.ioCalls > most) most = t.ioCalls - before->second.ioCalls, busiest = tid;
    }
    if (*readerTid == 0) *readerTid = busiest;
    const Task& t0 = p0.tasks[*readerTid];
    const Task& t1 = p1.tasks[*readerTid];
    f.ioProcess = (p1.ioCalls - p0.ioCalls) / f.seconds;
    f.ioThread = (t1.ioCalls - t0.ioCalls) / f.seconds;
    f.cpuProcess = 100.0 * cpu / 1e9 / f.seconds;
    f.cpuThread = 100.0 * (t1.cpuNs - t0.cpuNs) / 1e9 / f.seconds;
    f.perf = !perf.empty();
    for (auto& [tid, n] : perf) f.perfProcess += static_cast<double>(n) / seconds;
    f.perfThread = static_cast<double>(perf[*readerTid]) / seconds;
    f.port.systemCalls = c1.systemCalls - c0.systemCalls;
    f.port.wakeups = c1.wakeups - c0.wakeups;
    f.port.bytesRead = c1.bytesRead - c0.bytesRead;
    return f;
}

void Print(const char* name, const Figures& f, bool standIn) {
    const double fed = f.fed / f.seconds;
    printf("%s: %.0f bytes/s fed, %.1f s\n", name, fed, f.seconds);
    const char* perf = f.perf ? "" : " (perf could not count)";
    printf("  whole process   system calls %7.1f/s%s   read+write %7.1f/s   CPU %5.2f %%\n", f.perfProcess, perf,
           f.ioProcess, f.cpuProcess);
    printf("  reading thread  system calls %7.1f/s   read+write %7.1f/s   CPU %5.2f %%", f.perfThread, f.ioThread,
           f.cpuThread);
    if (f.fed) printf("   %.2f system calls per byte fed", f.perfThread / fed);
    printf("\n");
    if (standIn) {
        const double s = f.seconds;
        printf("  stand-in        calls for the port %7.1f/s   wake-ups %7.1f/s", f.port.systemCalls / s,
               f.port.wakeups / s);
        if (f.port.wakeups) printf("   %.2f per wake-up", static_cast<double>(f.port.systemCalls) / f.port.wakeups);
        printf("   %lu bytes read of %llu fed\n", f.port.bytesRead, f.fed);
    }
    fflush(stdout);
}

void Stop(pid_t pid, int signal) {
    kill(pid, signal);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// The fed line, then the silent line, for one running reader; the fed
// line's figures.
Figures MeasureReader(const char* name, pid_t pid, Feeder& feeder, const Probe& probe) {
    const bool standIn = probe.fd >= 0;
    int readerTid = 0;
    feeder.Start();
    std::this_thread::sleep_for(std::chrono::seconds(3));  // start-up done, the line running
    Figures fed = Measure(pid, feeder, probe, &readerTid);
    Print((std::string(name) + ", fed line").c_str(), fed, standIn);
    feeder.Stop();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Print((std::string(name) + ", silent line").c_str(), Measure(pid, feeder, probe, &readerTid), standIn);
    return fed;
}

Figures RunVpihost(const std::string& vpihost, const Line& line, Feeder& feeder) {
    int pair[2];
    socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair);
    char dir[] = "/tmp/bench-receive-syscalls-XXXXXX";
    if (!mkdtemp(dir)) return Figures{};
    const std::string profile = std::string(dir) + "/profile.ini";
    pid_t pid = Spawn(
        {vpihost, "--profile", profile, "--device", line.path, "--receiver", "nmea", "--quiet"},
        {"LD_PRELOAD=" + BesideThisProgram("nt_counter_probe.so"), "NT_PROBE_FD=" + std::to_string(pair[1])}, pair[1]);
    close(pair[1]);
    Figures fed = MeasureReader("vpihost", pid, feeder, Probe{pair[0]});
    Stop(pid, SIGINT);
    close(pair[0]);
    std::remove(profile.c_str());
    rmdir(dir);
    return fed;
}

// The floor: a process blocked in poll() that reads what it reports.
Figures RunBareReader(const Line& line, Feeder& feeder) {
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(line.path.c_str(), O_RDWR | O_NOCTTY);
        char buffer[256];
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, -1) > 0 && read(fd, buffer, sizeof buffer) < 0) _exit(1);
        }
    }
    Figures fed = MeasureReader("bare poll()+read() reader", pid, feeder, Probe{});
    Stop(pid, SIGTERM);
    return fed;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string vpihost = argc > 1 ? argv[1] : BesideThisProgram("vpihost");
    Line line;
    if (!line.Open()) {
        perror("openpty");
        return 1;
    }
    Feeder feeder(line.device);
    printf("%s on %s, NMEA at %d baud, %d s windows\n", vpihost.c_str(), line.path.c_str(), vpisim::kNmeaBaud,
           WindowSeconds());
    Figures host = RunVpihost(vpihost, line, feeder);
    Figures bare = RunBareReader(line, feeder);
    if (host.perf && bare.perf && bare.perfProcess > 0)
        printf(
            "fed line, system calls per second, vpihost over the bare reader: %.2f (whole process), %.2f (reading "
            "thread)\n",
            host.perfProcess / bare.perfProcess, host.perfThread / bare.perfThread);
    return 0;
}
