// The Microsoft C run-time names the module uses, over the C library.
#ifndef W32_CRT_COMPAT_H
#define W32_CRT_COMPAT_H

#include <time.h>

inline void _tzset(void) { tzset(); }
// Seconds west of UTC, as the Microsoft run-time keeps it.
#define _timezone timezone

#endif
