// The receive loop takes nothing from the heap: every allocation made on a
// thread other than the test's own while sentences stream in is counted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "DialogDriver.h"
#include "HourOfOutput.h"
#include "OwnResources.h"
#include "PtyPair.h"
#include "serial/GpsLink.h"
#include "serial/ModuleState.h"
#include "shell/Exports.h"
#include "vpi_host.h"

namespace {

std::atomic<long> g_foreignAllocations{0};
std::atomic<bool> g_counting{false};
thread_local bool t_isTestThread = false;

// A host that takes records without allocating, so that only the plug-in's
// side of each call is counted.
class QuietHost : public IVpiHost {
public:
    QuietHost() { m_previous = VpiInstallHost(this); }
    ~QuietHost() override { VpiInstallHost(m_previous); }
    int GetVersion() override { return 7420; }
    unsigned int AddHook(unsigned int, tagHOOKENTRY*) override { return 1; }
    unsigned int AddMenu(unsigned int, unsigned int, const char*, VPI_CALLBACK) override { return 1; }
    unsigned int GetProfileInt(unsigned int, const char*, int nDefault) override {
        return static_cast<unsigned int>(nDefault);
    }
    int WriteProfileInt(unsigned int, const char*, int) override { return 1; }
    unsigned int GetActiveView() override { return 1; }
    void GetViewOptions(unsigned int, tagVIEWOPTIONS* p) override { p->bLocalTime = 0; }
    int InitGpsNavi(unsigned int, VPI_CALLBACK) override { return 1; }
    void StartGpsNavi(int, int, int, int) override {}
    void SetGpsNaviInfo(tagGPSNAVIINFO* p) override {
        m_records.fetch_add(1);
        m_lastLatitude.store(p->dLatitude);
    }
    void ReleaseGpsNavi() override {}
    double Convert60to10(double d) override { return VpiPacked60To10(d); }

    std::atomic<long> m_records{0};
    std::atomic<double> m_lastLatitude{0};

private:
    IVpiHost* m_previous;
};

TEST(ReceiveAllocationTest, StreamingSentencesAllocatesNothing) {
    t_isTestThread = true;
    PtyPair pty("COM2");
    ASSERT_TRUE(pty.ok());
    UseOwnResourcesAsModule();
    QuietHost host;
    {
        DialogDriver driver([](HWND dialog) { DialogDriver::Click(dialog, IDOK); });
        MenuCallback(100, 0, 0);
    }
    ASSERT_NE(nullptr, g_pGPSComm);
    // Warm up: the first turns may set up lazily made state outside the loop.
    ASSERT_TRUE(pty.Write(soak::Burst(0) + "$"));
    for (int i = 0; i < 200 && host.m_records.load() < 1 + soak::kLinesPerBurst; ++i) Sleep(10);

    g_counting = true;
    long before = host.m_records.load();
    for (int s = 1; s <= 300; ++s) ASSERT_TRUE(pty.Write(soak::Burst(s).substr(1) + "$"));
    long expected = before + 300L * soak::kLinesPerBurst;
    for (int i = 0; i < 1000 && host.m_records.load() < expected; ++i) Sleep(10);
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
