// Shared helpers of the serial layer tests.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <win32_control.h>

#include "PtyPair.h"
#include "Timing.h"

inline HANDLE OpenPort(const char* name, bool overlapped = true) {
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
}

// Waits until the port side has `bytes` queued (the pty moves bytes through
// a work queue, so a write at the device side is not visible at once).
inline bool WaitQueued(const PtyPair& pty, int bytes) {
    return WaitUntil([&] { return pty.QueuedAtPort() >= bytes; });
}

inline W32SerialCounters CountersOf(const char* name) {
    W32SerialCounters counters{};
    W32GetSerialCounters(name, &counters);
    return counters;
}

// Every test starts from default mappings, no faults and zero counters.
class CommTest : public ::testing::Test {
protected:
    void SetUp() override {
        W32ResetComPorts();
        ASSERT_TRUE(pty.ok());
        W32MapComPort("COM3", pty.path().c_str());
        handlesBefore = W32CountHandles();
    }
    void TearDown() override { W32ResetComPorts(); }

    PtyPair pty{"COM3"};
    size_t handlesBefore = 0;
};
