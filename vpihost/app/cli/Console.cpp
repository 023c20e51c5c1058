#include "cli/Console.h"

#include "cli/ProgressLine.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#ifndef _WIN32
#include <win32_control.h>
#endif

namespace vpihost {

namespace {
bool g_quiet = false;
}

void SetQuiet(bool quiet) { g_quiet = quiet; }
bool Quiet() { return g_quiet; }

void Status(const std::string& line) {
    if (!g_quiet) ErrorLine(line);
}

void ErrorLine(const std::string& line) {
    const auto held = ClearProgressLine();
    fprintf(stderr, "vpihost: %s\n", line.c_str());
    fflush(stderr);
}

std::string Cp932ToUtf8(const std::string& text) {
    if (text.empty()) return text;
#ifdef _WIN32
    int wide = MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wide <= 0) return text;
    std::vector<wchar_t> utf16(static_cast<size_t>(wide));
    MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), utf16.data(), wide);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return text;
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, &out[0], bytes, nullptr, nullptr);
    return out;
#else
    // A CP932 character takes at most 3 UTF-8 bytes.
    std::vector<char> out(text.size() * 3 + 1);
    size_t length = W32Cp932ToUtf8(text.c_str(), out.data(), out.size());
    return std::string(out.data(), length);
#endif
}

void PrepareConsole() {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#endif
}

}  // namespace vpihost
