// vpisim: the simulated receiver on its own, writing into a serial device
// (a tty) until SIGINT or SIGTERM, for hosts that are not vpihost on Linux:
// scripts/demo --windows runs it at one end of a pair of linked
// pseudo-terminals, with vpihost.exe under Wine at the other.
//
//   vpisim [--sony] [--speed KMH] DEVICE
#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Simulator.h"

namespace {
volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }
}  // namespace

int main(int argc, char** argv) {
    vpisim::Receiver receiver = vpisim::Receiver::kNmea;
    double speed = vpisim::Route::kDefaultSpeedKmh;
    const char* device = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--sony")) {
            receiver = vpisim::Receiver::kSony;
        } else if (!strcmp(argv[i], "--speed") && i + 1 < argc) {
            speed = atof(argv[++i]);
        } else if (argv[i][0] != '-' && !device) {
            device = argv[i];
        } else {
            fprintf(stderr, "usage: vpisim [--sony] [--speed KMH] DEVICE\n");
            return 2;
        }
    }
    if (!device || !(speed > 0 && speed <= 300)) {
        fprintf(stderr, "usage: vpisim [--sony] [--speed KMH (0 to 300)] DEVICE\n");
        return 2;
    }
    int fd = open(device, O_RDWR | O_NOCTTY);
    if (fd < 0) {
        fprintf(stderr, "vpisim: cannot open %s: %s\n", device, strerror(errno));
        return 1;
    }
    termios tio;
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);
    // Who reads is not known here: the writer paces by the baud rate alone.
    vpisim::Simulator simulator(receiver, speed, fd, nullptr);
    simulator.Start();
    while (!g_stop && simulator.Error().empty()) usleep(50000);
    simulator.Stop();
    std::string error = simulator.Error();
    close(fd);
    if (!error.empty()) fprintf(stderr, "vpisim: %s\n", error.c_str());
    return error.empty() ? 0 : 1;
}
