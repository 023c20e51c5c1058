// Wine's todo_wine for tests that hold our Win32 stand-in and Wine to the
// same Windows contract: a check Wine 8 is known to fail, with the reason.
// On Linux (the stand-in) and on Windows the check must hold; under Wine it
// must fail, and a Wine that passes it fails the test, so the mark goes once
// Wine behaves as Windows.
//
//   if (!TODO_WINE(mask == 0, "Wine reports queued bytes as EV_RXCHAR")) return;
//
// TODO_WINE gives whether the check held, so a test stops where Wine leaves
// the contract and what follows does not fail as a consequence.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

inline bool UnderWine() {
#ifdef _WIN32
    static const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
#else
    return false;
#endif
}

inline bool TodoWine(bool held, const char* check, const char* reason, const char* file, int line) {
    if (!UnderWine()) {
        if (!held) ADD_FAILURE_AT(file, line) << "Failed: " << check;
    } else if (held) {
        ADD_FAILURE_AT(file, line) << "Wine now passes " << check << ": remove the todo_wine mark (" << reason << ")";
    } else {
        printf("%s:%d: todo_wine: %s\n", file, line, reason);
    }
    return held;
}

#define TODO_WINE(check, reason) TodoWine(static_cast<bool>(check), #check, reason, __FILE__, __LINE__)
