#include "module/ModuleMarker.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace vpihost {

namespace {

const char kPrefix[] = "&&VPI_REQUIRE_";
constexpr size_t kPrefixLength = sizeof kPrefix - 1;
constexpr size_t kMaxDigits = 9;

// Little-endian reads that fail instead of reading past the end.
struct Bytes {
    const std::vector<unsigned char>& data;
    bool Get(uint64_t offset, size_t width, uint64_t* out) const {
        if (offset > data.size() || width > data.size() - offset) return false;
        uint64_t value = 0;
        for (size_t i = 0; i < width; ++i) value |= static_cast<uint64_t>(data[offset + i]) << (8 * i);
        *out = value;
        return true;
    }
};

bool FindInPe(const std::vector<unsigned char>& file, int* version, std::string* error) {
    Bytes b{file};
    uint64_t peOffset, signature, sections, optionalSize;
    if (!b.Get(0x3C, 4, &peOffset) || !b.Get(peOffset, 4, &signature) || signature != 0x00004550) {
        *error = "is not a PE module (no PE signature)";
        return false;
    }
    if (!b.Get(peOffset + 6, 2, &sections) || !b.Get(peOffset + 20, 2, &optionalSize)) {
        *error = "has a cut-short PE header";
        return false;
    }
    const uint64_t markerAt = peOffset + 24 + optionalSize + 40 * sections;
    if (markerAt >= file.size() || !ParseMarkerText(file.data() + markerAt, file.size() - markerAt, version)) {
        *error = "has no version-requirement marker behind its section table";
        return false;
    }
    return true;
}

bool FindInElf(const std::vector<unsigned char>& file, int* version, std::string* error) {
    Bytes b{file};
    if (file.size() < 0x40 || file[5] != 1) {
        *error = "is not a little-endian ELF module";
        return false;
    }
    const bool wide = file[4] == 2;
    uint64_t shoff, shentsize, shnum, shstrndx;
    bool ok = wide ? b.Get(0x28, 8, &shoff) && b.Get(0x3A, 2, &shentsize) && b.Get(0x3C, 2, &shnum) &&
                         b.Get(0x3E, 2, &shstrndx)
                   : b.Get(0x20, 4, &shoff) && b.Get(0x2E, 2, &shentsize) && b.Get(0x30, 2, &shnum) &&
                         b.Get(0x32, 2, &shstrndx);
    const uint64_t minEntry = wide ? 64 : 40;
    // The whole table inside the file, so that no entry's offset can wrap.
    if (!ok || shentsize < minEntry || shstrndx >= shnum || shoff > file.size() ||
        shnum * shentsize > file.size() - shoff) {
        *error = "has no usable ELF section table";
        return false;
    }
    auto section = [&](uint64_t index, uint64_t* name, uint64_t* offset, uint64_t* size) {
        const uint64_t at = shoff + index * shentsize;
        return wide ? b.Get(at, 4, name) && b.Get(at + 24, 8, offset) && b.Get(at + 32, 8, size)
                    : b.Get(at, 4, name) && b.Get(at + 16, 4, offset) && b.Get(at + 20, 4, size);
    };
    uint64_t strName, strOffset, strSize;
    if (!section(shstrndx, &strName, &strOffset, &strSize) || strOffset > file.size() ||
        strSize > file.size() - strOffset) {
        *error = "has a cut-short ELF section table";
        return false;
    }
    const char wanted[] = ".vpi_require";
    for (uint64_t i = 0; i < shnum; ++i) {
        uint64_t name, offset, size;
        if (!section(i, &name, &offset, &size)) {
            *error = "has a cut-short ELF section table";
            return false;
        }
        if (name >= strSize || strSize - name < sizeof wanted) continue;
        if (memcmp(file.data() + strOffset + name, wanted, sizeof wanted) != 0) continue;
        if (offset > file.size() || size > file.size() - offset ||
            !ParseMarkerText(file.data() + offset, static_cast<size_t>(size), version)) {
            *error = "has a .vpi_require section without a valid marker";
            return false;
        }
        return true;
    }
    *error = "has no version-requirement marker (no .vpi_require section)";
    return false;
}

}  // namespace

bool ParseMarkerText(const unsigned char* data, size_t size, int* version) {
    if (size < kPrefixLength + 3 || memcmp(data, kPrefix, kPrefixLength) != 0) return false;
    size_t i = kPrefixLength;
    long value = 0;
    while (i < size && i - kPrefixLength < kMaxDigits && data[i] >= '0' && data[i] <= '9')
        value = value * 10 + (data[i++] - '0');
    if (i == kPrefixLength || i + 1 >= size || data[i] != '&' || data[i + 1] != '\0') return false;
    *version = static_cast<int>(value);
    return true;
}

bool FindVersionMarker(const std::vector<unsigned char>& file, int* version, std::string* error) {
    if (file.size() >= 2 && file[0] == 'M' && file[1] == 'Z') return FindInPe(file, version, error);
    if (file.size() >= 4 && memcmp(file.data(),
                                   "\x7f"
                                   "ELF",
                                   4) == 0)
        return FindInElf(file, version, error);
    *error = "is not a plug-in module (neither a PE nor an ELF file)";
    return false;
}

bool ReadVersionMarker(const std::string& path, int* version, std::string* error) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        *error = std::string("cannot be read: ") + strerror(errno);
        return false;
    }
    std::streamoff size = in.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > kMaxModuleSize) {
        *error = "is too large for a plug-in module";
        return false;
    }
    std::vector<unsigned char> file(static_cast<size_t>(size));
    in.seekg(0);
    if (size > 0 && !in.read(reinterpret_cast<char*>(file.data()), size)) {
        *error = "cannot be read";
        return false;
    }
    return FindVersionMarker(file, version, error);
}

}  // namespace vpihost
