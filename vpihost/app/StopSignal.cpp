#include "StopSignal.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

namespace vpihost {

namespace {
std::atomic<int> g_requests{0};
}

#ifdef _WIN32
namespace {
BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
    return g_requests.fetch_add(1) == 0 ? TRUE : FALSE;  // FALSE: the default handler ends the process
}
}  // namespace

void InstallStopSignal() { SetConsoleCtrlHandler(&OnConsoleControl, TRUE); }
#else
namespace {
void OnSignal(int) { g_requests.fetch_add(1); }
}  // namespace

void InstallStopSignal() {
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // the second signal takes the default way out
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
#endif

bool StopRequested() { return g_requests.load() > 0; }

}  // namespace vpihost
