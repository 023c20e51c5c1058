// The clock the statically linked threads library times its waits with, on
// every Windows the shipped files support (TickCount64.cpp).
#pragma once

#include <stdint.h>

namespace w32floor {

// Whole milliseconds of a performance-counter reading, exact for any count:
// count * 1000 would overflow after a few weeks of uptime at GHz rates.
uint64_t CounterToMilliseconds(uint64_t count, uint64_t frequency);

}  // namespace w32floor

// The threads library's import slot of GetTickCount64, by its linker name.
#if defined(_WIN64)
#define W32FLOOR_TICK_SLOT "__imp_GetTickCount64"
#else
#define W32FLOOR_TICK_SLOT "__imp__GetTickCount64@0"
#endif
