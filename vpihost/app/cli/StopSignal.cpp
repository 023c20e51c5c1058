#include "cli/StopSignal.h"

#include <atomic>

#include "run/Wakeup.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

namespace vpihost {

namespace {
std::atomic<int> g_requests{0};
std::atomic<int> g_first{0};  // the first request's signal or console event, plus one
std::atomic<bool> g_immediate{false};

void Request(int what) {
    int none = 0;
    g_first.compare_exchange_strong(none, what + 1);
    g_requests.fetch_add(1);
    Wake();
}
}  // namespace

#ifdef _WIN32
namespace {
BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
    if (type != CTRL_CLOSE_EVENT && g_immediate.load()) return FALSE;  // the default handler ends the process
    Request(static_cast<int>(type));
    return TRUE;
}
}  // namespace

void InstallStopSignal() {
    PrepareWakeup();
    SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

std::string StopReason() { return g_first.load() - 1 == CTRL_CLOSE_EVENT ? "the console was closed" : "interrupted"; }
#else
namespace {
void OnSignal(int signal) {
    if (signal == SIGINT && g_immediate.load()) {
        struct sigaction standard {};
        standard.sa_handler = SIG_DFL;
        sigaction(SIGINT, &standard, nullptr);
        raise(SIGINT);
        return;
    }
    Request(signal);
}
}  // namespace

void InstallStopSignal() {
    PrepareWakeup();
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

std::string StopReason() {
    switch (g_first.load() - 1) {
        case SIGHUP:
            return "the terminal hung up";
        case SIGTERM:
            return "terminated";
        default:
            return "interrupted";
    }
}
#endif

bool StopRequested() { return g_requests.load() > 0; }

void AllowImmediateStop() { g_immediate = true; }

}  // namespace vpihost
