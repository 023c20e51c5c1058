// The serial layer's Windows contract, one source for the stand-in on Linux
// and for Wine: the test opens the port of a null-modem cable
// (PortPair.h) as a program does and plays the device at the other end.
// Where Wine 8 is known to leave the contract, TODO_WINE marks the check.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#ifndef _WIN32
#include <win32_control.h>
#endif

#include <chrono>
#include <string>
#include <thread>

#include "PortPair.h"
#include "TodoWine.h"
#include "Timing.h"

inline HANDLE OpenComPort(const char* name, bool overlapped) {
    std::string path = std::string("\\\\.\\") + name;
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
}

// An overlapped port with EV_RXCHAR selected and no read time-outs (a port
// keeps the time-outs its previous user set).
class PortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cable.ok());
#ifndef _WIN32
        handlesBefore = W32CountHandles();
#endif
        port = OpenComPort(cable.comName(), true);
        ASSERT_NE(port, INVALID_HANDLE_VALUE);
        ov.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        COMMTIMEOUTS none{};
        ASSERT_TRUE(SetCommTimeouts(port, &none));
        ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    }
    void TearDown() override {
        if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
        CloseHandle(ov.hEvent);
#ifndef _WIN32
        // What the stand-in alone can tell: nothing leaked.
        EXPECT_EQ(W32CountHandles(), handlesBefore);
        EXPECT_EQ(W32CountOpenComPorts(), 0u);
#endif
    }

    // Bytes in the port's input queue, with no line errors.
    DWORD Queued() {
        COMSTAT stat;
        DWORD errors = 0xFFFF;
        EXPECT_TRUE(ClearCommError(port, &errors, &stat));
        EXPECT_EQ(errors, 0u);
        return stat.cbInQue;
    }
    // Waits until the cable has brought `bytes` into the input queue.
    bool WaitQueued(DWORD bytes) {
        return WaitUntil([&] { return Queued() >= bytes; });
    }
    // Starts a wait that cannot complete yet.
    void ArmPendingWait() {
        SetLastError(0);
        ASSERT_FALSE(WaitCommEvent(port, &mask, &ov));
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    }
    // Whether an operation that Windows may finish in the call or later (a
    // program must take both) succeeded within `ms`. Polled: the stand-in
    // finishes operations in GetOverlappedResult.
    bool Completed(BOOL started, OVERLAPPED* record, DWORD* n, DWORD ms = kPatienceMs) {
        if (started || GetLastError() != ERROR_IO_PENDING) return started;
        for (auto start = Clock::now();; Pause(1)) {
            if (GetOverlappedResult(port, record, n, FALSE)) return true;
            if (GetLastError() != ERROR_IO_INCOMPLETE || MillisecondsSince(start) > ms) return false;
        }
    }
    // Whether the operation on `record` is still pending, a moment after it
    // started. A wait that Wine completes does so at once but not in the
    // call, on another thread, which a busy machine may hold up: under Wine
    // it is given seconds. The stand-in finishes operations in
    // GetOverlappedResult itself, so a short look is all it needs.
    bool StillPending(OVERLAPPED* record) {
        DWORD n = 0;
        auto pending = [&] {
            SetLastError(0);
            return !GetOverlappedResult(port, record, &n, FALSE) && GetLastError() == ERROR_IO_INCOMPLETE;
        };
        return !WaitUntil([&] { return !pending(); }, UnderWine() ? kWineCompletesWithinMs : 50);
    }
    static constexpr int kWineCompletesWithinMs = 3000;

    PortPair cable{"COM2"};
    HANDLE port = INVALID_HANDLE_VALUE;
    OVERLAPPED ov{};
    DWORD mask = 0xDEAD;
    char buffer[64] = {};  // outlives a read that a test leaves pending
#ifndef _WIN32
    size_t handlesBefore = 0;
#endif
};
