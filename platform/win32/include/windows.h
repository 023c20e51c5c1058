// Linux stand-in for the subset of <windows.h> that the module, its framework
// and its hosts use. Types keep their Win32 widths (DWORD, LONG: 32 bits);
// pointer-sized types follow the platform.
#ifndef W32_WINDOWS_H
#define W32_WINDOWS_H

#include "win32/types.h"
#include "win32/kernel.h"
#include "win32/comm.h"
#include "win32/user.h"

#endif
