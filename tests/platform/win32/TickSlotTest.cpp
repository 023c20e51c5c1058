// The clock the shipped files give the statically linked threads library in
// place of GetTickCount64, which Windows XP lacks (platform/win32/floor).
#include <windows.h>

#include <gtest/gtest.h>

#include "TickCount64.h"

namespace {

using TickSource = ULONGLONG(WINAPI*)();
extern "C" const TickSource importedTickSlot __asm__(W32FLOOR_TICK_SLOT);

TEST(TickSlot, CounterReadingsInWholeMillisecondsWithoutOverflow) {
    const uint64_t kYear = 365ull * 86400;
    const struct {
        uint64_t count, frequency, milliseconds;
    } rows[] = {
        {0, 10000000, 0},
        {9999, 10000000, 0},
        {10000, 10000000, 1},
        {3579545ull * 86400, 3579545, 86400000},  // a day at the ACPI timer's rate
        // A year of uptime at a 3 GHz counter: count * 1000 would overflow.
        {3000000000ull * kYear, 3000000000ull, kYear * 1000},
        {3000000000ull * kYear + 2999999999ull, 3000000000ull, kYear * 1000 + 999},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(w32floor::CounterToMilliseconds(row.count, row.frequency), row.milliseconds)
            << row.count << " at " << row.frequency;
    }
}

uint64_t CounterMilliseconds() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return w32floor::CounterToMilliseconds(count.QuadPart, frequency.QuadPart);
}

// The program imports no GetTickCount64: the slot the library calls is ours,
// and it reads the performance counter in milliseconds, on its first call
// and later ones. (The system's tick is no yardstick: Wine's follows its
// server's updates, which lag on a busy machine.)
TEST(TickSlot, ServedFromInsideReadingTheCounterInMilliseconds) {
    auto system = reinterpret_cast<TickSource>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
    ASSERT_NE(system, nullptr);
    EXPECT_NE(importedTickSlot, system);
    for (int call = 0; call < 2; ++call) {
        const uint64_t before = CounterMilliseconds();
        const uint64_t slot = importedTickSlot();
        const uint64_t after = CounterMilliseconds();
        EXPECT_LE(before, slot) << call;
        EXPECT_LE(slot, after) << call;
    }
}

}  // namespace
