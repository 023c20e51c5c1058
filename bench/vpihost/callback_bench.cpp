// The time the module's receiver thread spends in the host callback
// (VPI_SetGpsNaviInfo, timed by a preloaded probe) during a fast replay of
// 20,000 seconds, with stdout a pipe that a reader drains and with one that
// nobody reads. Prints the figures; nothing here is a pass/fail test. A
// run whose callback does not come back is ended after kLimit and said.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Sentences.h"

extern char** environ;

namespace {

constexpr int kSeconds = 20000;
constexpr auto kLimit = std::chrono::seconds(60);

std::string Beside(const char* name) {
    char path[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string self(path, n > 0 ? static_cast<size_t>(n) : 0);
    return self.substr(0, self.rfind('/') + 1) + name;
}

void WriteLog(const std::string& path) {
    std::ofstream log(path, std::ios::binary);
    for (int k = 0; k < kSeconds; ++k) {
        char t[16];
        snprintf(t, sizeof t, "%02d%02d%02d", k / 3600 % 24, k / 60 % 60, k % 60);
        log << vpisim::NmeaSentence(std::string("GPGGA,") + t + ",3540.9000,N,13946.0500,E,1,08,0.9,40.0,M,39.0,M,,")
            << vpisim::NmeaSentence(std::string("GPRMC,") + t + ",A,3540.9000,N,13946.0500,E,020.0,090.0,081226,,");
    }
}

double Percentile(std::vector<long long> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return static_cast<double>(v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))]);
}

void Run(const char* program, bool drained, const std::string& dir) {
    const std::string log = dir + "/replay.nmea", times = dir + "/times", vpihost = Beside(program);
    int out[2];
    if (pipe(out) != 0) return;
    std::vector<std::string> args{vpihost,  "--profile", dir + "/profile.ini", "--replay", log, "--fast",
                                  "--json", "--quiet"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    std::vector<std::string> env{"LD_PRELOAD=" + Beside("nt_callback_probe.so"), "NT_CALLBACK_TIMES=" + times};
    for (char** e = environ; *e; ++e) env.push_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(&e[0]);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const auto start = std::chrono::steady_clock::now();
    posix_spawn(&pid, vpihost.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        char buffer[65536];
        while (drained && read(out[0], buffer, sizeof buffer) > 0) {
        }
        while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    int status = 0;
    bool ended = false;
    while (!(ended = waitpid(pid, &status, WNOHANG) == pid) && std::chrono::steady_clock::now() - start < kLimit)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    done = true;
    close(out[0]);
    reader.join();
    std::vector<long long> t;
    std::ifstream in(times);
    for (long long ns; in >> ns;) t.push_back(ns);
    unlink(times.c_str());
    printf("%-8s stdout %-9s %6zu calls in %5.1f s: median %6.2f us, p99 %7.2f us, max %9.2f us%s\n", program,
           drained ? "drained," : "unread,", t.size(), seconds, Percentile(t, 0.5) / 1e3, Percentile(t, 0.99) / 1e3,
           t.empty() ? 0 : static_cast<double>(*std::max_element(t.begin(), t.end())) / 1e3,
           ended ? "" : " (did not end: killed after the limit, a callback never came back)");
}

}  // namespace

// The program under test is "vpihost" beside this bench, or argv[1] there.
int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    char dir[] = "/tmp/vpihost-callback-bench-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    WriteLog(std::string(dir) + "/replay.nmea");
    const char* program = argc > 1 ? argv[1] : "vpihost";
    for (bool drained : {true, false}) Run(program, drained, dir);
    const std::string command = std::string("rm -rf '") + dir + "'";
    return system(command.c_str()) == 0 ? 0 : 1;
}
