// A copy of what the ports delivered to their readers, for a host that
// records the line.
#include "serial_tap.h"

#include <win32ctl/serial.h>

#include "callback_slot.h"

namespace w32 {
namespace {
CallbackSlot<W32SerialTap>& Slot() {
    static CallbackSlot<W32SerialTap>* slot = new CallbackSlot<W32SerialTap>;  // outlives static destructors
    return *slot;
}
}  // namespace

void TapSerialBytes(int com, const char* bytes, DWORD size) {
    if (size == 0) return;
    auto installed = Slot().Get();
    if (installed.callback) installed.callback(installed.context, com, bytes, size);
}

}  // namespace w32

WIN32_API void W32SetSerialTap(W32SerialTap tap, void* context) { w32::Slot().Set(tap, context); }
