// Shared helpers of the serial layer tests.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <win32_control.h>

#include <chrono>
#include <thread>

#include "PtyPair.h"

inline HANDLE OpenPort(const char* name, bool overlapped = true) {
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
}

// Waits until the port side has `bytes` queued (the pty moves bytes through
// a work queue, so a write at the device side is not visible at once).
inline bool WaitQueued(const PtyPair& pty, int bytes, int timeoutMs = 2000) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pty.QueuedAtPort() < bytes) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
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
