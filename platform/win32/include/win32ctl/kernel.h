// Kernel faults of the Linux stand-in, for tests of failure paths.
#ifndef W32CTL_KERNEL_H
#define W32CTL_KERNEL_H

#include <windows.h>

// The next `count` calls of CreateThread fail with ERROR_NOT_ENOUGH_MEMORY.
WIN32_API void W32FailThreadCreations(int count);

// Threads created by CreateThread that have not yet returned.
WIN32_API size_t W32CountRunningThreads(void);

// Sleep calls made so far, all threads together (never reset): a test tells
// a thread that paused from one that went on at once by this count, not by
// the time it took.
WIN32_API unsigned long long W32CountSleeps(void);

#endif
