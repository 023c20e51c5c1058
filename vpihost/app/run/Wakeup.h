// The run's main thread sleeps until something happens. A stop signal, a
// record it waits for, the end of a replay and a failing writer wake it.
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
