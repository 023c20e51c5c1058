// Preloaded into vpihost by bench_vpihost_callback: stands in front of
// PluginIf's VPI_SetGpsNaviInfo, times every call the module's receiver
// thread makes (the host callback, to its return), and at exit writes the
// times, in nanoseconds, one per line, into the file NT_CALLBACK_TIMES names.
#include <dlfcn.h>
#include <time.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

struct tagGPSNAVIINFO;

namespace {

using SetInfo = void (*)(tagGPSNAVIINFO*);

constexpr size_t kMaxCalls = 1 << 21;
std::vector<long long>* g_times = nullptr;  // preallocated: no allocation in the timed path
std::atomic<size_t> g_calls{0};

long long Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

__attribute__((constructor)) void Prepare() { g_times = new std::vector<long long>(kMaxCalls); }

__attribute__((destructor)) void Report() {
    const char* path = getenv("NT_CALLBACK_TIMES");
    FILE* out = path ? fopen(path, "w") : nullptr;
    if (!out) return;
    const size_t n = std::min(g_calls.load(), kMaxCalls);
    for (size_t i = 0; i < n; ++i) fprintf(out, "%lld\n", (*g_times)[i]);
    fclose(out);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void VPI_SetGpsNaviInfo(tagGPSNAVIINFO* info) {
    static const SetInfo real = reinterpret_cast<SetInfo>(dlsym(RTLD_NEXT, "VPI_SetGpsNaviInfo"));
    const long long start = Now();
    real(info);
    const long long took = Now() - start;
    const size_t i = g_calls.fetch_add(1);
    if (i < kMaxCalls) (*g_times)[i] = took;
}
