// On Windows the C run-time has _tzset and _timezone itself.
#ifndef W32_CRT_COMPAT_H
#define W32_CRT_COMPAT_H

#include <time.h>

#endif
