// Overlapped waits, reads and writes on a pseudo-terminal, and the calls
// that end them from another thread.
#include <atomic>
#include <cstring>

#include "CommTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class OverlappedTest : public CommTest {
protected:
    void SetUp() override {
        CommTest::SetUp();
        port = OpenPort("COM3");
        ASSERT_NE(port, INVALID_HANDLE_VALUE);
        memset(&ov, 0, sizeof ov);
        ov.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    }
    void TearDown() override {
        CloseHandle(ov.hEvent);
        CloseHandle(port);
        EXPECT_EQ(W32CountHandles(), handlesBefore);
        EXPECT_EQ(W32CountOpenComPorts(), 0u);
        CommTest::TearDown();
    }

    // Arms a wait that cannot complete yet.
    void ArmPendingWait() {
        SetLastError(0);
        ASSERT_FALSE(WaitCommEvent(port, &mask, &ov));
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    }

    DWORD ComStatQueue() {
        COMSTAT stat;
        DWORD errors = 0xFFFF;
        EXPECT_TRUE(ClearCommError(port, &errors, &stat));
        EXPECT_EQ(errors, 0u);
        return stat.cbInQue;
    }

    HANDLE port = INVALID_HANDLE_VALUE;
    OVERLAPPED ov;
    DWORD mask = 0xDEAD;
};

TEST_F(OverlappedTest, WaitIsPendingUntilACharacterArrives) {
    ArmPendingWait();
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the wait resets the event";
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(port, &ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));

    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pty.Write("$");
    });
    auto start = Clock::now();
    ASSERT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
    EXPECT_GE(MillisecondsSince(start), 50) << "it blocked until the byte came";
    device.join();
    EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
    EXPECT_EQ(n, sizeof(DWORD));
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    // The result stays readable from the record.
    n = 0;
    EXPECT_TRUE(GetOverlappedResult(port, &ov, &n, FALSE));
    EXPECT_EQ(n, sizeof(DWORD));
}

TEST_F(OverlappedTest, WaitCompletesAtOnceWhenBytesAreQueued) {
    ASSERT_TRUE(pty.Write("abc"));
    ASSERT_TRUE(WaitQueued(pty, 3));
    EXPECT_TRUE(WaitCommEvent(port, &mask, &ov));
    EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
    DWORD n = 0;
    EXPECT_TRUE(GetOverlappedResult(port, &ov, &n, FALSE));
    EXPECT_EQ(n, sizeof(DWORD));
}

TEST_F(OverlappedTest, RxcharIsAnArrivalNotBytesWaitingUnread) {
    ASSERT_TRUE(pty.Write("abc"));
    ASSERT_TRUE(WaitQueued(pty, 3));
    EXPECT_TRUE(WaitCommEvent(port, &mask, &ov)) << "arrived since the mask was set";
    // The same bytes, still unread, are no new event.
    ArmPendingWait();
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(port, &ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    EXPECT_EQ(ComStatQueue(), 3u);
    ASSERT_TRUE(pty.Write("d"));
    ASSERT_TRUE(WaitQueued(pty, 1));
    ASSERT_TRUE(GetOverlappedResult(port, &ov, &n, FALSE)) << "a caller who does not wait looks at the line";
    EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
    // What arrived before a mask change is no event under the new mask.
    ASSERT_TRUE(pty.Write("e"));
    ASSERT_TRUE(WaitQueued(pty, 1));
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    ArmPendingWait();
    EXPECT_EQ(ComStatQueue(), 5u);
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    EXPECT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
    EXPECT_EQ(mask, 0u);
}

TEST_F(OverlappedTest, WhatEndsPendingReadsAndWrites) {
    char buffer[8];
    DWORD n = 0;
    OVERLAPPED other{};
    // A read pending since another thread started it: CancelIo here leaves
    // it, PurgeComm with PURGE_RXABORT ends it.
    std::thread([&] { EXPECT_FALSE(ReadFile(port, buffer, 8, &n, &ov)); }).join();
    ASSERT_TRUE(CancelIo(port));
    EXPECT_FALSE(GetOverlappedResult(port, &ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    ASSERT_TRUE(PurgeComm(port, PURGE_RXABORT));
    EXPECT_FALSE(GetOverlappedResult(port, &ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    // A write that flow control holds: PURGE_TXABORT ends it.
    ASSERT_TRUE(W32SetSerialFault("COM3", W32_SERIAL_FAULT_STUCK_WRITE, 0, 1));
    EXPECT_FALSE(WriteFile(port, "x", 1, &n, &other));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    ASSERT_TRUE(PurgeComm(port, PURGE_TXABORT));
    EXPECT_FALSE(GetOverlappedResult(port, &other, &n, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    // Closing the port ends whatever is still pending; the records tell.
    ArmPendingWait();
    EXPECT_FALSE(ReadFile(port, buffer, 8, &n, &other));
    ASSERT_TRUE(CloseHandle(port));
    for (OVERLAPPED* record : {&ov, &other}) {
        SetLastError(0);
        EXPECT_FALSE(GetOverlappedResult(port, record, &n, FALSE));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    }
    EXPECT_EQ(mask, 0u);
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    port = OpenPort("COM3");  // for TearDown
}

TEST_F(OverlappedTest, MaskChangeEndsAPendingWaitWithAnEmptyMask) {
    ArmPendingWait();
    std::atomic<bool> returned{false};
    BOOL result = FALSE;
    DWORD n = 0;
    std::thread waiter([&] {
        result = GetOverlappedResult(port, &ov, &n, TRUE);
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(returned) << "the waiter blocks while the line is idle";
    auto start = Clock::now();
    ASSERT_TRUE(SetCommMask(port, EV_ERR));
    waiter.join();
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_TRUE(result);
    EXPECT_EQ(mask, 0u);
    DWORD now = 0;
    ASSERT_TRUE(GetCommMask(port, &now));
    EXPECT_EQ(now, static_cast<DWORD>(EV_ERR));
}

TEST_F(OverlappedTest, MaskChangeBeforeTheCompletionCallIsNotLost) {
    ArmPendingWait();
    ASSERT_TRUE(SetCommMask(port, 0));
    DWORD n = 0;
    EXPECT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
    EXPECT_EQ(mask, 0u);
    // With nothing selected there is nothing to wait for.
    SetLastError(0);
    EXPECT_FALSE(WaitCommEvent(port, &mask, &ov));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(OverlappedTest, AWaitWithoutRxcharSelectedIgnoresData) {
    ASSERT_TRUE(SetCommMask(port, EV_ERR));
    ArmPendingWait();
    ASSERT_TRUE(pty.Write("xyz"));
    ASSERT_TRUE(WaitQueued(pty, 3));
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(port, &ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    ASSERT_TRUE(CancelIo(port));
    EXPECT_FALSE(GetOverlappedResult(port, &ov, &n, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
}

TEST_F(OverlappedTest, OneOperationPerRecordAndOneWaitPerPort) {
    ArmPendingWait();
    char buffer[8];
    DWORD n = 0;
    SetLastError(0);
    EXPECT_FALSE(ReadFile(port, buffer, 1, &n, &ov)) << "the record carries the wait";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    OVERLAPPED other{};
    DWORD otherMask = 0;
    SetLastError(0);
    EXPECT_FALSE(WaitCommEvent(port, &otherMask, &other));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // A record that carries nothing has nothing to complete.
    OVERLAPPED unused{};
    unused.Internal = 0x103;
    EXPECT_FALSE(GetOverlappedResult(port, &unused, &n, TRUE));
    EXPECT_FALSE(GetOverlappedResult(port, nullptr, &n, TRUE));
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    EXPECT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
}

TEST_F(OverlappedTest, ClearCommErrorReportsTheInputQueueAndReadTakesExactlyThat) {
    EXPECT_EQ(ComStatQueue(), 0u);
    const std::string sentence = "$GPGGA,123519,4807.038,N*47\r\n";
    ASSERT_TRUE(pty.Write(sentence));
    ASSERT_TRUE(WaitQueued(pty, static_cast<int>(sentence.size())));
    EXPECT_EQ(ComStatQueue(), sentence.size());

    char buffer[64] = {};
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(port, buffer, 10, &n, &ov));
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(std::string(buffer, n), sentence.substr(0, 10));
    EXPECT_EQ(ComStatQueue(), sentence.size() - 10);
    ASSERT_TRUE(PurgeComm(port, PURGE_RXCLEAR));
    EXPECT_EQ(ComStatQueue(), 0u);
    // The query right after a wake-up may take the queue as the wake-up
    // left it; the next one looks at the line.
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    ArmPendingWait();
    ASSERT_TRUE(pty.Write("x"));
    ASSERT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
    ASSERT_TRUE(pty.Write("yz"));
    ASSERT_TRUE(WaitQueued(pty, 2));
    ComStatQueue();
    EXPECT_EQ(ComStatQueue(), 3u);
}

TEST_F(OverlappedTest, PendingReadCompletesWhenTheBytesArrive) {
    char buffer[16] = {};
    DWORD n = 99;
    SetLastError(0);
    ASSERT_FALSE(ReadFile(port, buffer, 6, &n, &ov));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    std::thread device([&] {
        pty.Write("abc");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.Write("defgh");
    });
    ASSERT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
    device.join();
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(std::string(buffer, n), "abcdef");
    EXPECT_EQ(ComStatQueue(), 2u);
}

TEST_F(OverlappedTest, ReadTimeouts) {
    COMMTIMEOUTS timeouts{};
    char buffer[16];
    DWORD n = 99;

    // Interval MAXDWORD alone: whatever is there, at once.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    EXPECT_TRUE(ReadFile(port, buffer, 8, &n, &ov));
    EXPECT_EQ(n, 0u);

    // A total time-out ends a read that gets nothing.
    timeouts = COMMTIMEOUTS{};
    timeouts.ReadTotalTimeoutConstant = 60;
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    auto start = Clock::now();
    BOOL done = ReadFile(port, buffer, 8, &n, &ov);
    if (!done) {
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        ASSERT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
    }
    EXPECT_GE(MillisecondsSince(start), 55);
    EXPECT_EQ(n, 0u);

    // An interval time-out ends a read once the bytes stop coming.
    timeouts = COMMTIMEOUTS{};
    timeouts.ReadIntervalTimeout = 20;
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    ASSERT_FALSE(ReadFile(port, buffer, 8, &n, &ov));
    ASSERT_TRUE(pty.Write("xy"));
    ASSERT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
    EXPECT_EQ(std::string(buffer, n), "xy");
}

TEST_F(OverlappedTest, WriteReachesTheDevice) {
    DWORD n = 0;
    BOOL done = WriteFile(port, "@DMS\n", 5, &n, &ov);
    if (!done) {
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        ASSERT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
    }
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(pty.Read(5), "@DMS\n");
}

TEST_F(OverlappedTest, NonOverlappedHandleBlocksInTheCall) {
    CloseHandle(port);
    port = OpenPort("COM3", false);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.Write("hello");
    });
    EXPECT_TRUE(WaitCommEvent(port, &mask, nullptr));
    EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
    char buffer[8] = {};
    DWORD n = 0;
    EXPECT_TRUE(ReadFile(port, buffer, 5, &n, nullptr));
    device.join();
    EXPECT_EQ(std::string(buffer, n), "hello");
}

TEST_F(OverlappedTest, OverlappedHandleNeedsARecord) {
    char buffer[4];
    DWORD n = 0;
    EXPECT_FALSE(ReadFile(port, buffer, 4, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(WaitCommEvent(port, nullptr, &ov));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(PurgeComm(port, 0x100));
}

TEST_F(OverlappedTest, HungUpDeviceFailsWaitsAndReads) {
    ArmPendingWait();
    BOOL result = TRUE;
    DWORD error = 0;
    DWORD n = 0;
    std::thread waiter([&] {
        result = GetOverlappedResult(port, &ov, &n, TRUE);
        error = GetLastError();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pty.CloseDevice();
    waiter.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_GEN_FAILURE));

    SetLastError(0);
    BOOL waited = WaitCommEvent(port, &mask, &ov);
    if (!waited && GetLastError() == ERROR_IO_PENDING) waited = GetOverlappedResult(port, &ov, &n, TRUE);
    EXPECT_FALSE(waited);
    char buffer[4];
    SetLastError(0);
    BOOL read = ReadFile(port, buffer, 4, &n, &ov);
    if (!read && GetLastError() == ERROR_IO_PENDING) read = GetOverlappedResult(port, &ov, &n, TRUE);
    EXPECT_FALSE(read);
}

TEST_F(OverlappedTest, ABlockedWaitDoesNotWakeWhileTheLineIsIdle) {
    ArmPendingWait();
    DWORD n = 0;
    std::thread waiter([&] { GetOverlappedResult(port, &ov, &n, TRUE); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    W32SerialCounters before = CountersOf("COM3");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    W32SerialCounters after = CountersOf("COM3");
    EXPECT_EQ(after.wakeups, before.wakeups) << "blocked in poll, not polling";
    SetCommMask(port, EV_RXCHAR);
    waiter.join();
}

}  // namespace
