// The kernel object table and waitable objects.
#include "object.h"

#include <unordered_map>

namespace w32 {
namespace {

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 1;
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable;  // outlives every static destructor
    return *table;
}

// Handle values look like Win32's: small multiples of 4, never null and
// never INVALID_HANDLE_VALUE.
uintptr_t ToKey(HANDLE handle) { return reinterpret_cast<uintptr_t>(handle); }

}  // namespace

bool KernelObject::Wait(DWORD) { return false; }

bool Waitable::Wait(DWORD milliseconds) {
    std::unique_lock<std::mutex> lock(m_mutex);
    auto ready = [this] { return m_signalled; };
    if (milliseconds == INFINITE) {
        m_changed.wait(lock, ready);
    } else if (!m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ready)) {
        return false;
    }
    if (!m_manualReset) m_signalled = false;
    return true;
}

void Waitable::Signal() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = true;
    }
    m_changed.notify_all();
}

void Waitable::Unsignal() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled = false;
}

bool Waitable::IsSignalled() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_signalled;
}

HANDLE InsertObject(std::shared_ptr<KernelObject> object) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    uintptr_t key = (table.next++) * 4;
    table.objects.emplace(key, std::move(object));
    return reinterpret_cast<HANDLE>(key);
}

std::shared_ptr<KernelObject> LookupObject(HANDLE handle) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.objects.find(ToKey(handle));
    return it == table.objects.end() ? nullptr : it->second;
}

bool RemoveObject(HANDLE handle) {
    std::shared_ptr<KernelObject> doomed;  // destroyed outside the lock
    bool last = true;
    {
        HandleTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        auto it = table.objects.find(ToKey(handle));
        if (it == table.objects.end()) return false;
        doomed = std::move(it->second);
        table.objects.erase(it);
        for (const auto& entry : table.objects) {
            if (entry.second == doomed) last = false;
        }
    }
    if (last) doomed->LastHandleClosed();
    return true;
}

size_t CountObjects() {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    return table.objects.size();
}

void SignalOverlappedEvent(const OVERLAPPED* overlapped) {
    if (!overlapped || !overlapped->hEvent) return;
    if (auto event = LookupAs<Event>(overlapped->hEvent)) event->Signal();
}

}  // namespace w32
