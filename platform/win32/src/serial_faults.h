// Injected faults (<win32ctl/serial.h>) where they meet a port's calls. A
// port asks here at the edge: at the start of each call, and before each
// look at a pending operation. Past that edge it follows the Windows rules
// alone.
#pragma once

#include <windows.h>

namespace w32 {

enum class SerialIo { kNone, kWait, kRead, kWrite };

// What a fault makes of one look at an overlapped operation.
enum class Injected {
    kNone,   // no fault: the operation goes on by the rules
    kFail,   // it ends with the fault's error
    kEmpty,  // a read ends at once with no bytes
    kHold,   // it stays pending and the line is not looked at
};

// CreateFileA is to fail: true and the last error set.
bool InjectedOpenFailure(int com);

// Taken when an operation starts, before its first look: a write that goes
// out only in GetOverlappedResult (deferred), or never (held).
struct StartFaults {
    bool deferred = false;
    bool held = false;
};
StartFaults InjectAtStart(int com, SerialIo io);

// Before each look at an operation; `nothingYet`: a read that was asked for
// bytes and has delivered none.
Injected InjectAtLook(int com, SerialIo io, bool held, bool nothingYet, DWORD* error);

// A call that starts no operation, on a device that has vanished: true and
// the last error set when it is to fail.
bool InjectedVanish(int com);

// SetCommMask is to leave a pending wait pending.
bool InjectedMaskMissesWait(int com);

}  // namespace w32
