// Resources of a module, read from the compiled resource file (.res) that
// the module's loader glue registered: FindResourceA by type and name, the
// Japanese language preferred, as the module is built for a Japanese system.
#include <windows.h>
#include <win32_control.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "module_registry.h"

namespace {

constexpr WORD kPreferredLanguage = 0x0411;

// A type or a name: a number, or an upper-case string.
struct ResourceId {
    bool isNumber = true;
    WORD number = 0;
    std::u16string text;
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    WORD language = 0;
    const unsigned char* data = nullptr;
    DWORD size = 0;
};

struct ResourceFile {
    std::vector<unsigned char> copy;  // what was parsed, to notice new data at the same address
    std::vector<std::unique_ptr<ResourceEntry>> entries;
};

std::mutex g_mutex;
// Parsed files by their data address and size. Entries live as long as the
// process, so a handle stays valid even after its module was unregistered or
// its data replaced; replaced parses are kept aside.
std::map<std::pair<const unsigned char*, size_t>, std::unique_ptr<ResourceFile>> g_files;
std::vector<std::unique_ptr<ResourceFile>> g_replaced;
std::set<const ResourceEntry*> g_handles;

DWORD ReadDword(const unsigned char* p) {
    DWORD v;
    memcpy(&v, p, 4);
    return v;
}

WORD ReadWord(const unsigned char* p) {
    WORD v;
    memcpy(&v, p, 2);
    return v;
}

// Reads a type or name at offset within [0, end); false when malformed.
bool ReadId(const unsigned char* base, size_t end, size_t& offset, ResourceId& id) {
    if (offset + 2 > end) return false;
    WORD first = ReadWord(base + offset);
    if (first == 0xFFFF) {
        if (offset + 4 > end) return false;
        id.isNumber = true;
        id.number = ReadWord(base + offset + 2);
        offset += 4;
        return true;
    }
    id.isNumber = false;
    id.text.clear();
    while (true) {
        if (offset + 2 > end) return false;
        WORD c = ReadWord(base + offset);
        offset += 2;
        if (c == 0) return true;
        id.text.push_back(static_cast<char16_t>(c));
    }
}

// Splits a .res file into entries; stops at the first malformed one.
std::unique_ptr<ResourceFile> ParseResourceFile(const unsigned char* data, size_t size) {
    auto file = std::make_unique<ResourceFile>();
    size_t offset = 0;
    while (offset + 8 <= size) {
        DWORD dataSize = ReadDword(data + offset);
        DWORD headerSize = ReadDword(data + offset + 4);
        if (headerSize < 8 + 4 + 4 + 16 || headerSize > size - offset || dataSize > size - offset - headerSize) break;
        size_t headerEnd = offset + headerSize;
        size_t cursor = offset + 8;
        auto entry = std::make_unique<ResourceEntry>();
        if (!ReadId(data, headerEnd, cursor, entry->type) || !ReadId(data, headerEnd, cursor, entry->name)) break;
        cursor = (cursor + 3) & ~size_t{3};
        if (cursor + 16 > headerEnd) break;
        entry->language = ReadWord(data + cursor + 6);
        entry->data = data + headerEnd;
        entry->size = dataSize;
        // The empty entry that begins every .res file (and each joined one).
        bool empty = entry->type.isNumber && entry->type.number == 0 && dataSize == 0;
        if (!empty) file->entries.push_back(std::move(entry));
        offset = (headerEnd + dataSize + 3) & ~size_t{3};
    }
    return file;
}

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// Matches a caller's MAKEINTRESOURCE id, "#123" or name against an entry id.
bool Matches(const ResourceId& id, LPCSTR wanted) {
    if (IS_INTRESOURCE(wanted))
        return id.isNumber && id.number == static_cast<WORD>(reinterpret_cast<ULONG_PTR>(wanted));
    if (wanted[0] == '#') {
        unsigned long number = 0;
        const char* p = wanted + 1;
        if (!*p) return false;
        for (; *p; ++p) {
            if (*p < '0' || *p > '9' || number > 0xFFFF) return false;
            number = number * 10 + static_cast<unsigned long>(*p - '0');
        }
        return id.isNumber && number == id.number;
    }
    if (id.isNumber) return false;
    size_t length = strlen(wanted);
    if (length != id.text.size()) return false;
    for (size_t i = 0; i < length; ++i) {
        if (Upper(static_cast<unsigned char>(wanted[i])) != Upper(id.text[i])) return false;
    }
    return true;
}

const ResourceFile* FileOf(HMODULE module) {
    w32::ModuleResources resources = w32::FindModuleResources(module);
    if (!resources.data) return nullptr;
    auto key = std::make_pair(resources.data, resources.size);
    auto it = g_files.find(key);
    if (it != g_files.end() && memcmp(it->second->copy.data(), resources.data, resources.size) != 0) {
        g_replaced.push_back(std::move(it->second));
        g_files.erase(it);
        it = g_files.end();
    }
    if (it == g_files.end()) {
        auto file = ParseResourceFile(resources.data, resources.size);
        file->copy.assign(resources.data, resources.data + resources.size);
        for (const auto& entry : file->entries) g_handles.insert(entry.get());
        it = g_files.emplace(key, std::move(file)).first;
    }
    return it->second.get();
}

const ResourceEntry* EntryOf(HRSRC handle) {
    auto entry = reinterpret_cast<const ResourceEntry*>(handle);
    return g_handles.count(entry) ? entry : nullptr;
}

}  // namespace

WIN32_API HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    if (!lpName || !lpType) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!hModule) hModule = GetModuleHandleA(nullptr);
    std::lock_guard<std::mutex> lock(g_mutex);
    const ResourceFile* file = FileOf(hModule);
    if (!file) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    const ResourceEntry* best = nullptr;
    bool typeSeen = false;
    for (const auto& entry : file->entries) {
        if (!Matches(entry->type, lpType)) continue;
        typeSeen = true;
        if (!Matches(entry->name, lpName)) continue;
        if (entry->language == kPreferredLanguage) {
            best = entry.get();
            break;
        }
        if (!best || (entry->language == 0 && best->language != 0)) best = entry.get();
    }
    if (!best) {
        SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(best));
}

WIN32_API HGLOBAL WINAPI LoadResource(HMODULE, HRSRC hResInfo) {
    std::lock_guard<std::mutex> lock(g_mutex);
    const ResourceEntry* entry = EntryOf(hResInfo);
    if (!entry) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return const_cast<unsigned char*>(entry->data);
}

WIN32_API LPVOID WINAPI LockResource(HGLOBAL hResData) { return hResData; }

WIN32_API DWORD WINAPI SizeofResource(HMODULE, HRSRC hResInfo) {
    std::lock_guard<std::mutex> lock(g_mutex);
    const ResourceEntry* entry = EntryOf(hResInfo);
    if (!entry) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return entry->size;
}

WIN32_API BOOL WINAPI FreeResource(HGLOBAL) { return FALSE; }

namespace w32 {

// Bytes of registered resource data from address to the end of its resource,
// 0 when the address lies in none; bounds the readers of templates that
// arrive as bare pointers.
size_t ResourceBytesFrom(const void* address) {
    auto p = static_cast<const unsigned char*>(address);
    std::lock_guard<std::mutex> lock(g_mutex);
    for (const ResourceEntry* entry : g_handles) {
        if (p >= entry->data && p < entry->data + entry->size)
            return static_cast<size_t>(entry->data + entry->size - p);
    }
    return 0;
}

}  // namespace w32
