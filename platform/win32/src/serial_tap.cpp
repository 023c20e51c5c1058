// What the ports delivered to their readers: a copy for a host that records
// the line, and a running count a host may wait on.
#include "serial_tap.h"

#include <win32ctl/serial.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "callback_slot.h"

namespace w32 {
namespace {
CallbackSlot<W32SerialTap>& Slot() {
    static CallbackSlot<W32SerialTap>* slot = new CallbackSlot<W32SerialTap>;  // outlives static destructors
    return *slot;
}
struct Delivered {
    std::mutex mutex;
    std::condition_variable more;
    unsigned long long bytes = 0;
};

Delivered& Total() {
    static Delivered* total = new Delivered;  // outlives static destructors
    return *total;
}
}  // namespace

void TapSerialBytes(int com, const char* bytes, DWORD size) {
    if (size == 0) return;
    {
        Delivered& total = Total();
        std::lock_guard<std::mutex> lock(total.mutex);
        total.bytes += size;
    }
    Total().more.notify_all();
    auto installed = Slot().Get();
    if (installed.callback) installed.callback(installed.context, com, bytes, size);
}

}  // namespace w32

WIN32_API void W32SetSerialTap(W32SerialTap tap, void* context) { w32::Slot().Set(tap, context); }

WIN32_API unsigned long long W32WaitSerialBytesRead(unsigned long long than, DWORD timeoutMs) {
    w32::Delivered& total = w32::Total();
    std::unique_lock<std::mutex> lock(total.mutex);
    total.more.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return total.bytes > than; });
    return total.bytes;
}
