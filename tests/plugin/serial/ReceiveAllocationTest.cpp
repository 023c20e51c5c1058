// The receive loop takes nothing from the heap: every allocation made on a
// thread other than the test's own while sentences stream in is counted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "HourOfOutput.h"
#include "LinkStart.h"
#include "OwnResources.h"
#include "PtyPair.h"
#include "serial/GpsLink.h"
#include "serial/ModuleState.h"
#include "shell/Exports.h"
#include "NullHost.h"
#include "Timing.h"

namespace {

std::atomic<long> g_foreignAllocations{0};
std::atomic<bool> g_counting{false};
thread_local bool t_isTestThread = false;

// A host that takes records without allocating, so that only the plug-in's
// side of each call is counted.
class QuietHost : public NullHost {
public:
    void SetGpsNaviInfo(tagGPSNAVIINFO* p) override {
        m_records.fetch_add(1);
        m_lastLatitude.store(p->dLatitude);
    }

    std::atomic<long> m_records{0};
    std::atomic<double> m_lastLatitude{0};
};

TEST(ReceiveAllocationTest, StreamingSentencesAllocatesNothing) {
    t_isTestThread = true;
    PtyPair pty("COM2");
    ASSERT_TRUE(pty.ok());
    UseOwnResourcesAsModule();
    QuietHost host;
    StartLinkWithStoredSettings();
    ASSERT_NE(nullptr, g_pGPSComm);
    // Warm up: the first turns may set up lazily made state outside the loop.
    ASSERT_TRUE(pty.Write(soak::Burst(0) + "$"));
    ASSERT_TRUE(WaitUntil([&] { return host.m_records.load() >= 1 + soak::kLinesPerBurst; }));

    g_counting = true;
    long before = host.m_records.load();
    for (int s = 1; s <= 300; ++s) ASSERT_TRUE(pty.Write(soak::Burst(s).substr(1) + "$"));
    long expected = before + 300L * soak::kLinesPerBurst;
    WaitUntil([&] { return host.m_records.load() >= expected; });
    g_counting = false;

    EXPECT_EQ(expected, host.m_records.load());
    EXPECT_EQ(0, g_foreignAllocations.load());
    StopGpsLink();
}

}  // namespace

// Counting replacements of the global allocation functions, every form, so
// that each new meets its own delete.
static void* CountedAllocation(std::size_t size) {
    if (g_counting.load(std::memory_order_relaxed) && !t_isTestThread) g_foreignAllocations.fetch_add(1);
    return std::malloc(size ? size : 1);
}
void* operator new(std::size_t size) {
    if (void* p = CountedAllocation(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = CountedAllocation(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocation(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocation(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
