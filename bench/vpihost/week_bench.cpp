// A week-long drive at one fix a second (604,800 s), laps of the
// simulator's loop at 60 km/h: what the track costs. A plain program that
// prints its figures; nothing here is a pass/fail test.
//
//   bench_vpihost_week [FOLDER]       NT_BENCH_DAYS=N: a drive of N days (7)
//
// 1. The periodic write at the week's end, in this process: the processor
//    time of one TrackFiles::Write (GPX, picture, both) after 10 more
//    seconds, as a share of the write period; and the track's memory per
//    point.
// 2. vpihost --replay of the week's GGA and RMC sentences, --fast, with
//    --gpx and --svg: its time, processor time and peak memory (wait4, as
//    /usr/bin/time -v reports it), the longest time between two writes of
//    the GPX file seen, and the points in the file (counted, and by
//    gpsbabel where it is installed).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Route.h"
#include "Sentences.h"
#include "output/TrackFiles.h"

extern char** environ;

namespace {

const long kWeek = 86400L * (getenv("NT_BENCH_DAYS") ? atol(getenv("NT_BENCH_DAYS")) : 7);
constexpr long long kStart = 1796688000;  // 2026-12-08 00:00:00 UTC
constexpr double kSpeedKmh = 60;

std::string BesideMe(const std::string& name) {
    char path[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    const std::string self(path, n > 0 ? static_cast<size_t>(n) : 0);
    return self.substr(0, self.rfind('/') + 1) + name;
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

// The record the module makes of a second's GGA and RMC.
tagGPSNAVIINFO Record(long second, const vpisim::Route& route) {
    const vpisim::UtcTime t = vpisim::UtcFromEpoch(kStart + second);
    const vpisim::Truth truth = route.At(t.SecondOfDay());
    tagGPSNAVIINFO info{};
    info.dwSize = 80;
    info.dLatitude = truth.latitude;
    info.dLongitude = truth.longitude;
    info.dAltitude = truth.altitude;
    info.dCourse = truth.course;
    info.dSpeed = truth.speedKmh;
    char text[32];
    snprintf(text, sizeof text, "%02d%02d%02d", t.hour % 100, t.minute % 100, t.second % 100);
    memcpy(info.szTime, text, 6);
    snprintf(text, sizeof text, "%02d%02d%02d", t.year % 100, t.month % 100, t.day % 100);
    memcpy(info.szDate, text, 6);
    return info;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void WriteCosts(const std::string& folder) {
    vpisim::Route route(kSpeedKmh);
    const long before = ResidentKiB();
    vpihost::Track track;
    for (long s = 0; s < kWeek; ++s) track.Add(Record(s, route));
    printf("track of %zu points: %.1f MiB resident, %.1f bytes a point\n", track.size(),
           (ResidentKiB() - before) / 1024.0, (ResidentKiB() - before) * 1024.0 / track.size());
    struct Files {
        const char* what;
        bool gpx, svg;
    } const kinds[] = {{"GPX file", true, false}, {"picture", false, true}, {"both", true, true}};
    for (const Files& kind : kinds) {
        vpihost::TrackFiles files(kind.gpx ? folder + "/cost.gpx" : "", kind.svg ? folder + "/cost.svg" : "", true);
        vpihost::Track grown = track;
        files.Write(grown);
        const double first = files.LastWriteCost();
        std::vector<double> costs;
        for (int round = 0; round < 15; ++round) {
            for (int i = 0; i < 10; ++i) grown.Add(Record(kWeek + round * 10 + i, route));
            files.Write(grown);
            costs.push_back(files.LastWriteCost());
        }
        const double median = Median(costs);
        printf(
            "write of the %-8s first %7.1f ms, then (10 s more) median %6.1f ms: %5.2f %% of 10 s, %5.2f %% of 2 s\n",
            kind.what, first * 1e3, median * 1e3, median / 10 * 100, median / 2 * 100);
    }
}

// "$GPGGA ..." and "$GPRMC ..." of each second of the week.
void WriteLog(const std::string& path) {
    vpisim::Route route(kSpeedKmh);
    std::ofstream log(path, std::ios::binary);
    for (long s = 0; s < kWeek; ++s) {
        const vpisim::UtcTime t = vpisim::UtcFromEpoch(kStart + s);
        std::istringstream burst(vpisim::NmeaBurst(t, route.At(t.SecondOfDay())));
        for (std::string line; std::getline(burst, line);)
            if (line.rfind("$GPGGA", 0) == 0 || line.rfind("$GPRMC", 0) == 0) log << line << '\n';
    }
}

size_t CountPoints(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    size_t n = 0;
    for (std::string line; std::getline(in, line);) n += line.find("<trkpt ") != std::string::npos;
    return n;
}

void Replay(const std::string& folder) {
    const std::string log = folder + "/week.nmea", gpx = folder + "/week.gpx", svg = folder + "/week.svg";
    WriteLog(log);
    struct stat st;
    stat(log.c_str(), &st);
    printf("log: %.1f MB of GGA and RMC\n", st.st_size / 1e6);
    std::vector<std::string> args = {BesideMe("vpihost"),
                                     "--profile",
                                     folder + "/profile.ini",
                                     "--replay",
                                     log,
                                     "--fast",
                                     "--quiet",
                                     "--gpx",
                                     gpx,
                                     "--svg",
                                     svg};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const auto started = std::chrono::steady_clock::now();
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        printf("cannot start %s\n", argv[0]);
        return;
    }
    // The GPX file's writes, seen as new files under its name.
    std::atomic<bool> done{false};
    double longest = 0;
    int writes = 0;
    std::thread watch([&] {
        ino_t last = 0;
        auto lastAt = std::chrono::steady_clock::now();
        while (!done) {
            struct stat now;
            if (stat(gpx.c_str(), &now) == 0 && now.st_ino != last) {
                const auto at = std::chrono::steady_clock::now();
                if (last != 0) longest = std::max(longest, std::chrono::duration<double>(at - lastAt).count());
                last = now.st_ino;
                lastAt = at;
                ++writes;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    done = true;
    watch.join();
    const double cpu =
        usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec * 1e-6;
    printf("vpihost --replay --fast: exit %d, %.0f s, processor %.0f s, peak memory %.1f MiB\n",
           WIFEXITED(status) ? WEXITSTATUS(status) : -1, seconds, cpu, usage.ru_maxrss / 1024.0);
    printf("GPX file written %d times, at most %.1f s apart\n", writes, longest);
    stat(gpx.c_str(), &st);
    printf("GPX file: %.1f MB, %zu points\n", st.st_size / 1e6, CountPoints(gpx));
    if (system("command -v gpsbabel >/dev/null") == 0) {
        const std::string command = "gpsbabel -t -i gpx -f '" + gpx + "' -o unicsv -F - | tail -n +2 | wc -l";
        if (FILE* p = popen(command.c_str(), "r")) {
            long n = 0;
            if (fscanf(p, "%ld", &n) == 1) printf("gpsbabel reads %ld points\n", n);
            pclose(p);
        }
    }
    stat(svg.c_str(), &st);
    printf("picture: %.0f kB\n", st.st_size / 1e3);
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : "/tmp/vpihost-week-" + std::to_string(getpid());
    mkdir(folder.c_str(), 0700);
    // The replay first: a child started while this process holds the week's
    // track would count its memory as the child's peak.
    Replay(folder);
    WriteCosts(folder);
    printf("files in %s\n", folder.c_str());
    return 0;
}
