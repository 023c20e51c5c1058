// Little-endian bytes of Win32 records (resource files, dialog templates),
// built up field by field for tests.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

class ByteWriter {
public:
    void Word(WORD v) { Raw(&v, 2); }
    void Dword(DWORD v) { Raw(&v, 4); }
    void Short(short v) { Raw(&v, 2); }
    void Text(const char16_t* s) {
        for (; *s; ++s) Word(static_cast<WORD>(*s));
        Word(0);
    }
    void Raw(const void* p, size_t n) {
        auto b = static_cast<const unsigned char*>(p);
        bytes.insert(bytes.end(), b, b + n);
    }
    void AlignDword() {
        while (bytes.size() % 4) bytes.push_back(0);
    }

    std::vector<unsigned char> bytes;
};
