#include "source/ModuleReads.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace vpihost {

namespace {

struct Watch {
    std::mutex mutex;
    ReadSink sink = nullptr;
    void* context = nullptr;
    // Reads still pending: the record that will complete each and its
    // buffer. A reading thread has one; the record is also used for waits.
    std::vector<std::pair<const OVERLAPPED*, const char*>> pending;
};

Watch& TheWatch() {
    static Watch watch;
    return watch;
}

void Deliver(const void* buffer, DWORD size) {
    Watch& w = TheWatch();
    if (size > 0 && w.sink) w.sink(w.context, static_cast<const char*>(buffer), size);
}

// The pending read that record completes, taken off the list; null for
// another kind of operation.
const char* TakePending(const OVERLAPPED* record) {
    Watch& w = TheWatch();
    std::lock_guard<std::mutex> lock(w.mutex);
    for (auto it = w.pending.begin(); it != w.pending.end(); ++it) {
        if (it->first != record) continue;
        const char* buffer = it->second;
        w.pending.erase(it);
        return buffer;
    }
    return nullptr;
}

// The module reads its last error after each call: the watch keeps it.
BOOL WINAPI WatchedReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED record) {
    const BOOL done = ReadFile(file, buffer, toRead, read, record);
    const DWORD error = GetLastError();
    if (done) {
        // An overlapped read may leave the count to its record.
        Deliver(buffer, read ? *read : record ? static_cast<DWORD>(record->InternalHigh) : 0);
    } else if (record && error == ERROR_IO_PENDING) {
        TakePending(record);  // a record the module gave up on without asking
        Watch& w = TheWatch();
        std::lock_guard<std::mutex> lock(w.mutex);
        w.pending.emplace_back(record, static_cast<const char*>(buffer));
    }
    SetLastError(error);
    return done;
}

BOOL WINAPI WatchedGetOverlappedResult(HANDLE file, LPOVERLAPPED record, LPDWORD transferred, BOOL wait) {
    const BOOL done = GetOverlappedResult(file, record, transferred, wait);
    const DWORD error = GetLastError();
    if (done || error != ERROR_IO_INCOMPLETE) {
        const char* buffer = TakePending(record);
        if (done && buffer) Deliver(buffer, *transferred);
    }
    SetLastError(error);
    return done;
}

// The module's import entry of dll's function name, or null.
ULONG_PTR* ImportEntry(HMODULE module, const char* dll, const char* name) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& table = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (table.VirtualAddress == 0) return nullptr;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + table.VirtualAddress); d->Name; ++d) {
        if (_stricmp(reinterpret_cast<const char*>(base + d->Name), dll) != 0 || d->OriginalFirstThunk == 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* entries = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++entries) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char*>(byName->Name), name) == 0)
                return reinterpret_cast<ULONG_PTR*>(&entries->u1.Function);
        }
    }
    return nullptr;
}

void PointEntry(ULONG_PTR* entry, ULONG_PTR function) {
    DWORD protection = 0;
    VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &protection);
    *entry = function;
    VirtualProtect(entry, sizeof *entry, protection, &protection);
}

}  // namespace

bool WatchModuleReads(HMODULE module, ReadSink sink, void* context) {
    ULONG_PTR* read = ImportEntry(module, "KERNEL32.dll", "ReadFile");
    ULONG_PTR* result = ImportEntry(module, "KERNEL32.dll", "GetOverlappedResult");
    if (!read || !result) return false;
    Watch& w = TheWatch();
    {
        std::lock_guard<std::mutex> lock(w.mutex);
        w.sink = sink;
        w.context = context;
        w.pending.clear();
    }
    PointEntry(read, reinterpret_cast<ULONG_PTR>(&WatchedReadFile));
    PointEntry(result, reinterpret_cast<ULONG_PTR>(&WatchedGetOverlappedResult));
    return true;
}

}  // namespace vpihost
