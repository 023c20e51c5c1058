// Overlapped waits, reads and writes, and the calls that end them, as
// Windows documents them (the serial driver's wait on mask, PurgeComm,
// CancelIo, COMMTIMEOUTS): on the stand-in and under Wine.
#include <atomic>
#include <cstring>

#include "PortTest.h"

namespace {

const char kWineRxcharIsAState[] = "Wine 8 reports EV_RXCHAR while bytes wait unread, not once per arrival";
const char kWineCancelIoKeepsTheWait[] = "Wine 8's CancelIo leaves a pending WaitCommEvent pending";
const char kWineMaskChangeAborts[] = "Wine 8 ends a wait that a mask change ends with ERROR_OPERATION_ABORTED";
const char kWineEmptyMaskWaits[] = "Wine 8 lets a wait pend with no event selected";
const char kWinePurgeKeepsReads[] = "Wine 8's PurgeComm does not end pending reads (PURGE_RXABORT)";
const char kWineMaxdwordReadWaits[] = "Wine 8's overlapped read with interval MAXDWORD alone waits for a byte";
const char kWineTimeoutIsAnError[] = "Wine 8 ends an overlapped read whose time-out expires with ERROR_TIMEOUT";
const char kWineCloseEndsReadsOtherwise[] = "Wine 8 ends a read pending at the close with ERROR_HANDLES_CLOSED";

using OverlappedTest = PortTest;

TEST_F(OverlappedTest, WaitIsPendingUntilACharacterArrives) {
    ArmPendingWait();
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the wait resets the event";
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(port, &ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));

    auto start = Clock::now();
    std::thread device([&] {
        Pause(100);
        cable.Write("$");
    });
    EXPECT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
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

TEST_F(OverlappedTest, WaitCompletesAtOnceForBytesThatArrivedBeforeIt) {
    ASSERT_TRUE(cable.Write("abc"));
    ASSERT_TRUE(WaitQueued(3));
    EXPECT_TRUE(WaitCommEvent(port, &mask, &ov));
    EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
    DWORD n = 0;
    EXPECT_TRUE(GetOverlappedResult(port, &ov, &n, FALSE));
    EXPECT_EQ(n, sizeof(DWORD));
}

TEST_F(OverlappedTest, RxcharIsAnArrivalNotBytesWaitingUnread) {
    ASSERT_TRUE(cable.Write("abc"));
    ASSERT_TRUE(WaitQueued(3));
    ASSERT_TRUE(WaitCommEvent(port, &mask, &ov)) << "arrived since the mask was set";
    // The same bytes, still unread, are no new event.
    SetLastError(0);
    const bool armed = !WaitCommEvent(port, &mask, &ov) && GetLastError() == ERROR_IO_PENDING;
    if (!TODO_WINE(armed && StillPending(&ov), kWineRxcharIsAState)) return;
    EXPECT_EQ(Queued(), 3u);
    ASSERT_TRUE(cable.Write("d"));
    // A caller who does not wait sees the arrival too.
    DWORD n = 0;
    ASSERT_TRUE(WaitUntil([&] { return GetOverlappedResult(port, &ov, &n, FALSE); }));
    EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
}

TEST_F(OverlappedTest, BytesFromBeforeAMaskChangeAreNoEvent) {
    ASSERT_TRUE(cable.Write("e"));
    ASSERT_TRUE(WaitQueued(1));
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    SetLastError(0);
    const bool armed = !WaitCommEvent(port, &mask, &ov) && GetLastError() == ERROR_IO_PENDING;
    if (!TODO_WINE(armed && StillPending(&ov), kWineRxcharIsAState)) return;
    EXPECT_EQ(Queued(), 1u);
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    DWORD n = 0;
    EXPECT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
    EXPECT_EQ(mask, 0u);
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
    Pause(100);
    EXPECT_FALSE(returned) << "the waiter blocks while the line is idle";
    EXPECT_TRUE(SetCommMask(port, EV_ERR));
    const bool ended = WaitUntil([&] { return returned.load(); });
    EXPECT_TRUE(ended) << "the mask change did not end the wait";
    if (!ended) {  // the close ends it, so that the test ends
        CloseHandle(port);
        port = INVALID_HANDLE_VALUE;
    }
    waiter.join();
    EXPECT_EQ(mask, 0u);
    TODO_WINE(result, kWineMaskChangeAborts);
    DWORD now = 0;
    ASSERT_TRUE(GetCommMask(port, &now));
    EXPECT_EQ(now, static_cast<DWORD>(EV_ERR));
}

TEST_F(OverlappedTest, OneWaitAtATimeAndAMaskChangeBeforeItsCompletionIsNotLost) {
    ArmPendingWait();
    OVERLAPPED other{};
    DWORD otherMask = 0;
    SetLastError(0);
    EXPECT_FALSE(WaitCommEvent(port, &otherMask, &other));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ASSERT_TRUE(SetCommMask(port, 0));
    DWORD n = 0;
    const BOOL ended = GetOverlappedResult(port, &ov, &n, TRUE);
    EXPECT_EQ(mask, 0u);
    TODO_WINE(ended, kWineMaskChangeAborts);
    // With nothing selected there is nothing to wait for.
    SetLastError(0);
    const BOOL waits = WaitCommEvent(port, &mask, &ov);
    TODO_WINE(!waits && GetLastError() == ERROR_INVALID_PARAMETER, kWineEmptyMaskWaits);
}

TEST_F(OverlappedTest, AWaitWithoutRxcharSelectedIgnoresData) {
    ASSERT_TRUE(SetCommMask(port, EV_ERR));
    ArmPendingWait();
    ASSERT_TRUE(cable.Write("xyz"));
    ASSERT_TRUE(WaitQueued(3));
    EXPECT_TRUE(StillPending(&ov));
    ASSERT_TRUE(SetCommMask(port, EV_ERR));
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 1000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(mask, 0u);
}

TEST_F(OverlappedTest, CancelIoEndsWhatTheCallingThreadStarted) {
    OVERLAPPED read{};
    read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD n = 0;
    ASSERT_FALSE(ReadFile(port, buffer, 8, &n, &read));
    ArmPendingWait();
    ASSERT_TRUE(CancelIo(port));
    auto aborted = [&](OVERLAPPED* record) {
        SetLastError(0);
        return WaitForSingleObject(record->hEvent, 1000) == WAIT_OBJECT_0 &&
               !GetOverlappedResult(port, record, &n, FALSE) && GetLastError() == ERROR_OPERATION_ABORTED;
    };
    EXPECT_TRUE(aborted(&read));
    TODO_WINE(aborted(&ov), kWineCancelIoKeepsTheWait);
    CloseHandle(read.hEvent);
}

// A read another thread started: CancelIo here leaves it, PURGE_RXABORT ends
// it. The thread stays until the end, as Windows cancels a thread's I/O when
// the thread exits.
TEST_F(OverlappedTest, PurgeEndsAReadThatAnotherThreadStarted) {
    std::atomic<int> step{0};
    std::thread reader([&] {
        DWORD n = 0;
        SetLastError(0);
        step = !ReadFile(port, buffer, 8, &n, &ov) && GetLastError() == ERROR_IO_PENDING ? 1 : -1;
        while (step != 2) Pause(1);
    });
    while (step == 0) Pause(1);
    const bool started = step == 1;
    EXPECT_TRUE(CancelIo(port));
    const bool leftByCancelIo = StillPending(&ov);
    EXPECT_TRUE(PurgeComm(port, PURGE_RXABORT));
    DWORD n = 0;
    SetLastError(0);
    const bool aborted = WaitForSingleObject(ov.hEvent, 1000) == WAIT_OBJECT_0 &&
                         !GetOverlappedResult(port, &ov, &n, FALSE) && GetLastError() == ERROR_OPERATION_ABORTED;
    step = 2;
    reader.join();
    ASSERT_TRUE(started);
    EXPECT_TRUE(leftByCancelIo);
    TODO_WINE(aborted, kWinePurgeKeepsReads);
}

TEST_F(OverlappedTest, ClosingThePortEndsWhatIsPending) {
    OVERLAPPED read{};
    read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD n = 0;
    ArmPendingWait();
    EXPECT_FALSE(ReadFile(port, buffer, 8, &n, &read));
    ASSERT_TRUE(CloseHandle(port));
    // The records tell, without the handle.
    auto endedWith = [&](OVERLAPPED* record) -> DWORD {
        if (WaitForSingleObject(record->hEvent, 1000) != WAIT_OBJECT_0) return 0;
        SetLastError(0);
        return GetOverlappedResult(port, record, &n, FALSE) ? 0 : GetLastError();
    };
    EXPECT_EQ(endedWith(&ov), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    TODO_WINE(endedWith(&read) == ERROR_OPERATION_ABORTED, kWineCloseEndsReadsOtherwise);
    port = INVALID_HANDLE_VALUE;
    CloseHandle(read.hEvent);
}

TEST_F(OverlappedTest, ClearCommErrorReportsTheInputQueueAndReadTakesExactlyThat) {
    EXPECT_EQ(Queued(), 0u);
    const std::string sentence = "$GPGGA,123519,4807.038,N*47\r\n";
    ASSERT_TRUE(cable.Write(sentence));
    ASSERT_TRUE(WaitQueued(static_cast<DWORD>(sentence.size())));
    EXPECT_EQ(Queued(), sentence.size());

    DWORD n = 0;
    ASSERT_TRUE(Completed(ReadFile(port, buffer, 10, &n, &ov), &ov, &n));
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(std::string(buffer, n), sentence.substr(0, 10));
    EXPECT_EQ(Queued(), sentence.size() - 10);
    ASSERT_TRUE(PurgeComm(port, PURGE_RXCLEAR));
    EXPECT_EQ(Queued(), 0u);
    // After a wake-up, what comes later reaches the queue count too.
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    ArmPendingWait();
    ASSERT_TRUE(cable.Write("x"));
    ASSERT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
    ASSERT_TRUE(cable.Write("yz"));
    EXPECT_TRUE(WaitQueued(3));
    EXPECT_EQ(Queued(), 3u);
}

TEST_F(OverlappedTest, PendingReadCompletesWhenTheBytesArrive) {
    DWORD n = 99;
    SetLastError(0);
    ASSERT_FALSE(ReadFile(port, buffer, 6, &n, &ov));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    std::thread device([&] {
        cable.Write("abc");
        Pause(50);
        cable.Write("defgh");
    });
    EXPECT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
    device.join();
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(std::string(buffer, n), "abcdef");
    EXPECT_TRUE(WaitQueued(2));
    EXPECT_EQ(Queued(), 2u);
}

TEST_F(OverlappedTest, IntervalMaxdwordAloneReadsWhatIsThereAtOnce) {
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    DWORD n = 99;
    const bool atOnce = Completed(ReadFile(port, buffer, 8, &n, &ov), &ov, &n, 500);
    if (!TODO_WINE(atOnce, kWineMaxdwordReadWaits)) return;
    EXPECT_EQ(n, 0u);
    ASSERT_TRUE(cable.Write("ab"));
    ASSERT_TRUE(WaitQueued(2));
    ASSERT_TRUE(Completed(ReadFile(port, buffer, 8, &n, &ov), &ov, &n, 500));
    EXPECT_EQ(std::string(buffer, n), "ab");
}

TEST_F(OverlappedTest, TotalTimeoutEndsAReadThatGetsNothing) {
    COMMTIMEOUTS timeouts{0, 0, 60, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    DWORD n = 99;
    auto start = Clock::now();
    const bool completed = Completed(ReadFile(port, buffer, 8, &n, &ov), &ov, &n);
    const DWORD error = completed ? 0 : GetLastError();
    EXPECT_NE(error, static_cast<DWORD>(ERROR_IO_INCOMPLETE)) << "the read has ended";
    EXPECT_GE(MillisecondsSince(start), 55);
    if (!TODO_WINE(completed, kWineTimeoutIsAnError)) return;
    EXPECT_EQ(n, 0u);
}

TEST_F(OverlappedTest, IntervalTimeoutEndsAReadOnceTheBytesStop) {
    COMMTIMEOUTS timeouts{20, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    DWORD n = 0;
    const BOOL started = ReadFile(port, buffer, 8, &n, &ov);
    ASSERT_TRUE(cable.Write("xy"));
    ASSERT_TRUE(Completed(started, &ov, &n)) << GetLastError();
    EXPECT_EQ(std::string(buffer, n), "xy");
}

TEST_F(OverlappedTest, WriteReachesTheDevice) {
    DWORD n = 0;
    ASSERT_TRUE(Completed(WriteFile(port, "@DMS\n", 5, &n, &ov), &ov, &n));
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(cable.Read(5), "@DMS\n");
}

TEST_F(OverlappedTest, NonOverlappedHandleBlocksInTheCall) {
    CloseHandle(port);
    port = OpenComPort(cable.comName(), false);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    std::thread device([&] {
        Pause(50);
        cable.Write("hello");
    });
    EXPECT_TRUE(WaitCommEvent(port, &mask, nullptr));
    EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
    char buffer[8] = {};
    DWORD n = 0;
    EXPECT_TRUE(ReadFile(port, buffer, 5, &n, nullptr));
    device.join();
    EXPECT_EQ(std::string(buffer, n), "hello");
}

}  // namespace
