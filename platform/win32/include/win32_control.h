// Everything a host or a test uses to play the desktop and the hardware on
// the Linux stand-in.
#ifndef W32_CONTROL_H
#define W32_CONTROL_H

#include "win32ctl/desktop.h"
#include "win32ctl/kernel.h"
#include "win32ctl/dialogs.h"
#include "win32ctl/serial.h"

#endif
