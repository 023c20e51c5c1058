// The event loop's wake-up: what other threads and signal handlers use to
// end its wait (a stop signal, the first record in an empty queue, the end
// or failure of a replay or the simulator, a line of another thread's that
// stderr could not take at once).
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

namespace vpihost {

// Makes the wake-up; before the first Wake from a signal handler.
void PrepareWakeup();
// Any thread, and on Linux a signal handler: the main thread's wait ends.
void Wake();

#ifdef _WIN32
// An auto-reset event, set by Wake.
HANDLE WakeEvent();
#else
// Readable once woken, until DrainWakeup.
int WakeFd();
void DrainWakeup();
#endif

}  // namespace vpihost
