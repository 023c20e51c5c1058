// Reading the built module file from disk, beside the test program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::string BesideThisProgram(const char* name) {
    char path[4096] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of("/\\") + 1) + name;
}

inline std::vector<unsigned char> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <class T>
T ReadAt(const std::vector<unsigned char>& data, size_t offset) {
    T value{};
    if (offset + sizeof value <= data.size()) memcpy(&value, data.data() + offset, sizeof value);
    return value;
}

inline const char kMarker[] = "&&VPI_REQUIRE_7420&";
