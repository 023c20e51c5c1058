// The statically linked threads library (winpthread) times its waits with
// GetTickCount64, which Windows XP's kernel32 does not have: importing it
// would make the loader refuse every shipped file there. This object defines
// the library's import slot itself, so the linker takes no import of it, and
// fills it with milliseconds of the performance counter, which every Windows
// from XP on has. The library only subtracts two readings, so the counter's
// origin does not matter.
#include "TickCount64.h"

#include <windows.h>

#include <atomic>

namespace w32floor {

uint64_t CounterToMilliseconds(uint64_t count, uint64_t frequency) {
    return count / frequency * 1000 + count % frequency * 1000 / frequency;
}

}  // namespace w32floor

namespace {

ULONGLONG WINAPI CounterMilliseconds() {
    // Fixed at boot. Read once; threads that race here read the same value.
    static std::atomic<uint64_t> frequency{0};
    uint64_t perSecond = frequency.load(std::memory_order_relaxed);
    if (perSecond == 0) {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        perSecond = static_cast<uint64_t>(value.QuadPart);
        frequency.store(perSecond, std::memory_order_relaxed);
    }
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return w32floor::CounterToMilliseconds(static_cast<uint64_t>(count.QuadPart), perSecond);
}

}  // namespace

using TickSource = ULONGLONG(WINAPI*)();
extern "C" {
extern const TickSource w32floorTickSlot __asm__(W32FLOOR_TICK_SLOT);
const TickSource w32floorTickSlot = CounterMilliseconds;
}
