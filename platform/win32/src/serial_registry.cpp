// Port names, mappings, faults, counters and the open-device set.
#include "serial_registry.h"

#include <strings.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "serial_port.h"

namespace w32 {
namespace {

struct Fault {
    bool active = false;
    DWORD error = 0;
    int remaining = 0;  // negative: until cleared
};

struct Hook {
    W32SerialHook function = nullptr;
    void* context = nullptr;
};

struct ComSlot {
    std::string path;
    Fault faults[W32_SERIAL_FAULT_KINDS];
    Hook hooks[W32_SERIAL_CALL_KINDS];
    W32SerialCounters counters{};
};

struct OpenDevice {
    dev_t dev;
    ino_t ino;
    SerialPort* port;
};

struct Registry {
    std::mutex mutex;
    ComSlot slots[kMaxComPorts + 1];  // index 0 unused
    std::vector<OpenDevice> open;
    // Threads in a blocking poll per port: a state, not a count, so a reset
    // leaves it alone.
    int blocked[kMaxComPorts + 1] = {};
    std::condition_variable blockedChanged;
};

Registry& Reg() {
    static Registry* registry = new Registry;  // outlives every static destructor
    return *registry;
}

DWORD DefaultError(int kind) { return kind == W32_SERIAL_FAULT_OPEN ? ERROR_FILE_NOT_FOUND : ERROR_GEN_FAILURE; }

// Wakes the open ports of a name so that blocked calls see a fault change.
void WakePorts(Registry& reg, int com) {
    for (const OpenDevice& device : reg.open) {
        if (com == 0 || device.port->ComIndex() == com) device.port->Wake();
    }
}

}  // namespace

int ComIndexOf(const char* name) {
    if (!name) return 0;
    if (std::strncmp(name, "\\\\.\\", 4) == 0) name += 4;
    if (strncasecmp(name, "COM", 3) != 0) return 0;
    if (name[3] < '1' || name[3] > '0' + kMaxComPorts || name[4] != '\0') return 0;
    return name[3] - '0';
}

std::string DevicePathOf(int com) {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (!reg.slots[com].path.empty()) return reg.slots[com].path;
    return "/dev/ttyS" + std::to_string(com - 1);
}

bool TakeSerialFault(int com, int kind, DWORD* error) {
    if (com == 0) return false;
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    Fault& fault = reg.slots[com].faults[kind];
    if (!fault.active) return false;
    if (fault.remaining > 0 && --fault.remaining == 0) fault.active = false;
    *error = fault.error ? fault.error : DefaultError(kind);
    reg.slots[com].counters.faults++;
    return true;
}

void RunSerialHook(int com, int call, HANDLE port) {
    if (com == 0) return;
    Hook hook;
    {
        Registry& reg = Reg();
        std::lock_guard<std::mutex> lock(reg.mutex);
        hook = reg.slots[com].hooks[call];
    }
    if (hook.function) hook.function(port, hook.context);
}

void CountSerial(int com, SerialCounter counter) {
    if (com == 0) return;
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    W32SerialCounters& c = reg.slots[com].counters;
    switch (counter) {
        case SerialCounter::kOpen:
            c.opens++;
            break;
        case SerialCounter::kWait:
            c.waits++;
            break;
        case SerialCounter::kRead:
            c.reads++;
            break;
        case SerialCounter::kWrite:
            c.writes++;
            break;
        case SerialCounter::kWakeup:
            c.wakeups++;
            break;
        case SerialCounter::kFault:
            c.faults++;
            break;
        case SerialCounter::kSystemCall:
            c.systemCalls++;
            break;
    }
}

void CountSerialBytes(int com, DWORD bytes) {
    if (com == 0) return;
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.slots[com].counters.bytesRead += bytes;
}

void MarkSerialBlocked(int com, bool blocked) {
    if (com == 0) return;
    Registry& reg = Reg();
    {
        std::lock_guard<std::mutex> lock(reg.mutex);
        reg.blocked[com] += blocked ? 1 : -1;
    }
    reg.blockedChanged.notify_all();
}

bool ClaimSerialDevice(dev_t dev, ino_t ino, SerialPort* port) {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    for (const OpenDevice& device : reg.open) {
        if (device.dev == dev && device.ino == ino) return false;
    }
    reg.open.push_back({dev, ino, port});
    return true;
}

void ReleaseSerialDevice(dev_t dev, ino_t ino) {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    for (size_t i = 0; i < reg.open.size(); ++i) {
        if (reg.open[i].dev == dev && reg.open[i].ino == ino) {
            reg.open.erase(reg.open.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

}  // namespace w32

WIN32_API BOOL W32MapComPort(const char* comName, const char* devicePath) {
    int com = w32::ComIndexOf(comName);
    if (com == 0) return FALSE;
    w32::Registry& reg = w32::Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.slots[com].path = devicePath ? devicePath : "";
    return TRUE;
}

WIN32_API void W32ResetComPorts(void) {
    w32::Registry& reg = w32::Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    for (w32::ComSlot& slot : reg.slots) slot = w32::ComSlot{};
    w32::WakePorts(reg, 0);
}

WIN32_API size_t W32CountOpenComPorts(void) {
    w32::Registry& reg = w32::Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    return reg.open.size();
}

WIN32_API BOOL W32SetSerialFault(const char* comName, int fault, DWORD error, int count) {
    int com = w32::ComIndexOf(comName);
    if (com == 0 || fault < 0 || fault >= W32_SERIAL_FAULT_KINDS) return FALSE;
    w32::Registry& reg = w32::Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.slots[com].faults[fault] = {count != 0, error, count};
    w32::WakePorts(reg, com);
    return TRUE;
}

WIN32_API void W32ClearSerialFaults(const char* comName) {
    int com = w32::ComIndexOf(comName);
    if (comName && com == 0) return;
    w32::Registry& reg = w32::Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    for (int i = 1; i <= w32::kMaxComPorts; ++i) {
        if (com != 0 && i != com) continue;
        for (auto& f : reg.slots[i].faults) f = w32::Fault{};
    }
    w32::WakePorts(reg, com);
}

WIN32_API BOOL W32SetSerialHook(const char* comName, int call, W32SerialHook hook, void* context) {
    int com = w32::ComIndexOf(comName);
    if (com == 0 || call < 0 || call >= W32_SERIAL_CALL_KINDS) return FALSE;
    w32::Registry& reg = w32::Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.slots[com].hooks[call] = {hook, context};
    return TRUE;
}

WIN32_API BOOL W32GetSerialCounters(const char* comName, W32SerialCounters* counters) {
    int com = w32::ComIndexOf(comName);
    if (com == 0 || !counters) return FALSE;
    w32::Registry& reg = w32::Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    *counters = reg.slots[com].counters;
    return TRUE;
}

WIN32_API BOOL W32WaitSerialBlocked(const char* comName, DWORD timeoutMs) {
    int com = w32::ComIndexOf(comName);
    if (com == 0) return FALSE;
    w32::Registry& reg = w32::Reg();
    std::unique_lock<std::mutex> lock(reg.mutex);
    return reg.blockedChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                       [&] { return reg.blocked[com] > 0; });
}
