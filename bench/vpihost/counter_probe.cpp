// Preloaded into vpihost by bench_receive_syscalls: answers each byte on the
// socket NT_PROBE_FD names with the stand-in's serial counters of COM1 to
// COM4 added up (W32SerialCounters), so that the bench can read them from
// outside. Its thread sleeps in read() between requests; the counters are
// found by name at run time, so the probe needs no link to the stand-in.
#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>
#include <win32_control.h>

#include <cstdlib>
#include <initializer_list>

namespace {

using GetCounters = BOOL (*)(const char*, W32SerialCounters*);

W32SerialCounters Sum() {
    W32SerialCounters sum{};
    auto get = reinterpret_cast<GetCounters>(dlsym(RTLD_DEFAULT, "W32GetSerialCounters"));
    if (!get) return sum;
    for (const char* name : {"COM1", "COM2", "COM3", "COM4"}) {
        W32SerialCounters c{};
        if (!get(name, &c)) continue;
        sum.waits += c.waits;
        sum.reads += c.reads;
        sum.wakeups += c.wakeups;
        sum.bytesRead += c.bytesRead;
        sum.systemCalls += c.systemCalls;
    }
    return sum;
}

void* Serve(void* arg) {
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(arg));
    char request;
    while (read(fd, &request, 1) == 1) {
        W32SerialCounters sum = Sum();
        if (write(fd, &sum, sizeof sum) != static_cast<ssize_t>(sizeof sum)) break;
    }
    return nullptr;
}

__attribute__((constructor)) void StartProbe() {
    const char* fd = getenv("NT_PROBE_FD");
    if (!fd) return;
    pthread_t thread;
    if (pthread_create(&thread, nullptr, Serve, reinterpret_cast<void*>(static_cast<intptr_t>(atoi(fd)))) == 0)
        pthread_detach(thread);
}

}  // namespace
