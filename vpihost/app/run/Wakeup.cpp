#include "run/Wakeup.h"

#include <atomic>

#ifndef _WIN32
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#endif

namespace vpihost {

#ifdef _WIN32
namespace {
std::atomic<HANDLE> g_event{nullptr};
}

void PrepareWakeup() {
    if (!g_event.load()) g_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

void Wake() {
    if (HANDLE event = g_event.load()) SetEvent(event);
}

HANDLE WakeEvent() {
    PrepareWakeup();
    return g_event.load();
}
#else
namespace {
std::atomic<int> g_fd{-1};
}

void PrepareWakeup() {
    if (g_fd.load() < 0) g_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

void Wake() {
    const int fd = g_fd.load();
    if (fd < 0) return;
    const int saved = errno;  // a signal handler must leave errno as it found it
    const uint64_t one = 1;
    (void)!write(fd, &one, sizeof one);
    errno = saved;
}

int WakeFd() {
    PrepareWakeup();
    return g_fd.load();
}

void DrainWakeup() {
    uint64_t count;
    (void)!read(WakeFd(), &count, sizeof count);
}
#endif

}  // namespace vpihost
