// The injected faults, each kind applied where the control API documents it.
#include "serial_faults.h"

#include "serial_registry.h"

namespace w32 {

bool InjectedOpenFailure(int com) {
    DWORD error = 0;
    if (!TakeSerialFault(com, W32_SERIAL_FAULT_OPEN, &error)) return false;
    SetLastError(error);
    return true;
}

StartFaults InjectAtStart(int com, SerialIo io) {
    StartFaults faults;
    DWORD error = 0;
    if (io != SerialIo::kWrite) return faults;
    faults.held = TakeSerialFault(com, W32_SERIAL_FAULT_STUCK_WRITE, &error);
    faults.deferred = TakeSerialFault(com, W32_SERIAL_FAULT_PENDING_WRITE, &error);
    return faults;
}

Injected InjectAtLook(int com, SerialIo io, bool held, bool nothingYet, DWORD* error) {
    if (TakeSerialFault(com, W32_SERIAL_FAULT_VANISH, error)) return Injected::kFail;
    if (held) return Injected::kHold;
    if (io == SerialIo::kWait && TakeSerialFault(com, W32_SERIAL_FAULT_WAIT, error)) return Injected::kFail;
    if (io != SerialIo::kRead) return Injected::kNone;
    if (TakeSerialFault(com, W32_SERIAL_FAULT_READ, error)) return Injected::kFail;
    if (nothingYet && TakeSerialFault(com, W32_SERIAL_FAULT_EMPTY_READ, error)) {
        *error = 0;  // a read that succeeds with nothing
        return Injected::kEmpty;
    }
    return Injected::kNone;
}

bool InjectedVanish(int com) {
    DWORD error = 0;
    if (!TakeSerialFault(com, W32_SERIAL_FAULT_VANISH, &error)) return false;
    SetLastError(error);
    return true;
}

bool InjectedMaskMissesWait(int com) {
    DWORD error = 0;
    return TakeSerialFault(com, W32_SERIAL_FAULT_MASK_NO_WAKE, &error);
}

}  // namespace w32
