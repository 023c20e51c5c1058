// Faults injected through the control API reach the serial calls.
#include <cstring>
#include <thread>

#include "CommTestSupport.h"

namespace {

class FaultTest : public CommTest {
protected:
    void SetUp() override {
        CommTest::SetUp();
        memset(&ov, 0, sizeof ov);
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override {
        if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
        CloseHandle(ov.hEvent);
        CommTest::TearDown();
    }
    void Open() {
        port = OpenPort("COM3");
        ASSERT_NE(port, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    }
    // Starts a wait and completes it, as the receiver does.
    BOOL WaitOnce(DWORD* error) {
        DWORD n = 0;
        SetLastError(0);
        BOOL ok = WaitCommEvent(port, &mask, &ov);
        if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(port, &ov, &n, TRUE);
        *error = ok ? 0 : GetLastError();
        return ok;
    }
    BOOL ReadOnce(char* buffer, DWORD size, DWORD* n, DWORD* error) {
        SetLastError(0);
        BOOL ok = ReadFile(port, buffer, size, n, &ov);
        if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(port, &ov, n, TRUE);
        *error = ok ? 0 : GetLastError();
        return ok;
    }

    HANDLE port = INVALID_HANDLE_VALUE;
    OVERLAPPED ov;
    DWORD mask = 0;
};

TEST_F(FaultTest, ControlApiRefusesWhatIsNoPortOrFault) {
    EXPECT_FALSE(W32SetSerialFault("LPT1", W32_SERIAL_FAULT_WAIT, 0, 1));
    EXPECT_FALSE(W32SetSerialFault("COM3", -1, 0, 1));
    EXPECT_FALSE(W32SetSerialFault("COM3", W32_SERIAL_FAULT_KINDS, 0, 1));
    EXPECT_FALSE(W32MapComPort("PRN", "/dev/null"));
    W32SerialCounters counters;
    EXPECT_FALSE(W32GetSerialCounters("COMX", &counters));
    EXPECT_FALSE(W32GetSerialCounters("COM3", nullptr));
}

TEST_F(FaultTest, PortThatCannotBeOpenedForACountOfTries) {
    ASSERT_TRUE(W32SetSerialFault("COM3", W32_SERIAL_FAULT_OPEN, 0, 2));
    for (int i = 0; i < 2; i++) {
        SetLastError(0);
        EXPECT_EQ(OpenPort("COM3"), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
    Open();
    EXPECT_EQ(CountersOf("COM3").opens, 3u);
    EXPECT_EQ(CountersOf("COM3").faults, 2u);

    CloseHandle(port);
    port = INVALID_HANDLE_VALUE;
    ASSERT_TRUE(W32SetSerialFault("COM3", W32_SERIAL_FAULT_OPEN, ERROR_ACCESS_DENIED, -1));
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(OpenPort("COM3"), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    W32ClearSerialFaults("COM3");
    Open();
    EXPECT_EQ(W32CountHandles(), handlesBefore + 2);  // the port and the test's event
}

TEST_F(FaultTest, FailingWaitsThenRecovery) {
    Open();
    ASSERT_TRUE(W32SetSerialFault("COM3", W32_SERIAL_FAULT_WAIT, 0, 2));
    ASSERT_TRUE(pty.Write("$"));
    ASSERT_TRUE(WaitQueued(pty, 1));
    DWORD error = 0;
    EXPECT_FALSE(WaitOnce(&error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_FALSE(WaitOnce(&error));
    EXPECT_TRUE(WaitOnce(&error));
    EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
}

TEST_F(FaultTest, FaultReachesAWaitThatIsBlocked) {
    Open();
    DWORD n = 0;
    ASSERT_FALSE(WaitCommEvent(port, &mask, &ov));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    BOOL result = TRUE;
    DWORD error = 0;
    std::thread waiter([&] {
        result = GetOverlappedResult(port, &ov, &n, TRUE);
        error = GetLastError();
    });
    EXPECT_TRUE(W32WaitSerialBlocked("COM3", kPatienceMs));
    ASSERT_TRUE(W32SetSerialFault("COM3", W32_SERIAL_FAULT_WAIT, ERROR_DEVICE_NOT_CONNECTED, 1));
    waiter.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
}

TEST_F(FaultTest, FailingAndEmptyReads) {
    Open();
    ASSERT_TRUE(pty.Write("abcde"));
    ASSERT_TRUE(WaitQueued(pty, 5));
    char buffer[8] = {};
    DWORD n = 7;
    DWORD error = 0;
    ASSERT_TRUE(W32SetSerialFault("COM3", W32_SERIAL_FAULT_READ, 0, 1));
    EXPECT_FALSE(ReadOnce(buffer, 5, &n, &error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_GEN_FAILURE));

    ASSERT_TRUE(W32SetSerialFault("COM3", W32_SERIAL_FAULT_EMPTY_READ, 0, 1));
    EXPECT_TRUE(ReadOnce(buffer, 5, &n, &error));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(pty.QueuedAtPort(), 5) << "nothing was taken";

    EXPECT_TRUE(ReadOnce(buffer, 5, &n, &error));
    EXPECT_EQ(std::string(buffer, n), "abcde");
    EXPECT_EQ(CountersOf("COM3").bytesRead, 5u);
}

TEST_F(FaultTest, VanishedDeviceFailsEverythingUntilItComesBack) {
    Open();
    ASSERT_TRUE(pty.Write("$GP"));
    ASSERT_TRUE(WaitQueued(pty, 3));
    ASSERT_TRUE(W32SetSerialFault("COM3", W32_SERIAL_FAULT_VANISH, 0, -1));
    DWORD error = 0;
    DWORD n = 0;
    char buffer[8];
    EXPECT_FALSE(WaitOnce(&error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_FALSE(ReadOnce(buffer, 3, &n, &error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_GEN_FAILURE));
    COMSTAT stat;
    stat.cbInQue = 1234;
    EXPECT_FALSE(ClearCommError(port, nullptr, &stat));
    EXPECT_EQ(stat.cbInQue, 0u) << "a failed status reports no bytes";
    EXPECT_FALSE(PurgeComm(port, PURGE_RXCLEAR));
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(port, "x", 1, &written, &ov));

    W32ClearSerialFaults("COM3");
    EXPECT_TRUE(WaitOnce(&error)) << "the bytes came while EV_RXCHAR was selected";
    EXPECT_TRUE(ReadOnce(buffer, 3, &n, &error));
    EXPECT_EQ(std::string(buffer, n), "$GP");
}

TEST_F(FaultTest, DeviceVanishingMidReadEndsTheBlockedRead) {
    Open();
    char buffer[8];
    DWORD n = 0;
    ASSERT_FALSE(ReadFile(port, buffer, 8, &n, &ov));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    ASSERT_TRUE(pty.Write("abc"));
    BOOL result = TRUE;
    DWORD error = 0;
    std::thread reader([&] {
        result = GetOverlappedResult(port, &ov, &n, TRUE);
        error = GetLastError();
    });
    EXPECT_TRUE(W32WaitSerialBlocked("COM3", kPatienceMs)) << "the read waits for the rest";
    ASSERT_TRUE(W32SetSerialFault("COM3", W32_SERIAL_FAULT_VANISH, 0, -1));
    reader.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_GEN_FAILURE));
}

TEST_F(FaultTest, PendingWriteCompletesInGetOverlappedResult) {
    Open();
    ASSERT_TRUE(W32SetSerialFault("COM3", W32_SERIAL_FAULT_PENDING_WRITE, 0, 1));
    DWORD n = 0;
    SetLastError(0);
    ASSERT_FALSE(WriteFile(port, "@DMS\n", 5, &n, &ov));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_EQ(pty.Read(1, 50), "") << "not sent yet";
    ASSERT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(pty.Read(5), "@DMS\n");
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST_F(FaultTest, WriteHeldByFlowControlEndsWithPurgeTxAbort) {
    Open();
    ASSERT_TRUE(W32SetSerialFault("COM3", W32_SERIAL_FAULT_STUCK_WRITE, 0, 1));
    DWORD n = 0;
    EXPECT_FALSE(WriteFile(port, "x", 1, &n, &ov));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    ASSERT_TRUE(PurgeComm(port, PURGE_TXABORT));
    EXPECT_FALSE(GetOverlappedResult(port, &ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
}

}  // namespace
