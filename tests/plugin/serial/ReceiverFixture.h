// A GPS link on a null-modem cable with the real receiver thread, for the
// end-to-end tests: the test plays the receiver at the device side and
// watches the host. On Windows (Wine) the same tests run over real COM ports;
// what only the stand-in can tell (call counters, injected faults, open
// ports) is checked on Linux.
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>
#include <time.h>
#include <windows.h>
#ifndef _WIN32
#include <win32_control.h>
#endif

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "PortPair.h"
#include "RecordingHost.h"
#include "Sentences.h"
#include "Timing.h"
#include "serial/GPSComm.h"
#include "serial/ModuleState.h"
#include "serial/ReceiverThread.h"

class ReceiverTest : public ::testing::Test {
protected:
    static constexpr const char* kPort = "COM2";

    void SetUp() override {
#ifndef _WIN32
        W32ResetComPorts();
        ASSERT_TRUE(pty.ok());
        W32MapComPort(kPort, pty.path().c_str());
#else
        ASSERT_TRUE(pty.ok());
#endif
        ResetNaviInfo();
        handlesBefore = CountHandles();
    }

    void TearDown() override {
#ifndef _WIN32
        W32SetSerialHook(kPort, W32_SERIAL_CALL_WAIT, nullptr, nullptr);
        W32SetSerialHook(kPort, W32_SERIAL_CALL_READ, nullptr, nullptr);
#endif
        if (thread.joinable()) Stop();
        if (comm) {
            comm->ClosePort();
            delete comm;
        }
        EXPECT_EQ(CountHandles(), handlesBefore);
#ifndef _WIN32
        EXPECT_EQ(W32CountOpenComPorts(), 0u);
        W32ResetComPorts();
#endif
    }

    // Handles the process holds; Wine does not count them (always 0).
    static size_t CountHandles() {
#ifdef _WIN32
        DWORD count = 0;
        GetProcessHandleCount(GetCurrentProcess(), &count);
        return count;
#else
        return W32CountHandles();
#endif
    }

    // Opens and configures the port as the link start does.
    void Open(int nProtocol = 0) {
        comm = new CGPSComm;
        comm->m_nProtocol = nProtocol;
        comm->m_hComm =
            CreateFileA(kPort, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(comm->m_hComm, INVALID_HANDLE_VALUE);
        DCB dcb;
        GetCommState(comm->m_hComm, &dcb);
        ASSERT_TRUE(BuildCommDCBA(nProtocol == 0 ? "48,N,8,1" : "96,N,8,1", &dcb));
        dcb.EvtChar = '\n';
        ASSERT_TRUE(SetCommState(comm->m_hComm, &dcb));
        COMMTIMEOUTS timeouts;
        GetCommTimeouts(comm->m_hComm, &timeouts);
        timeouts.ReadIntervalTimeout = 5;
        SetCommTimeouts(comm->m_hComm, &timeouts);
        comm->m_bRunning = 1;
    }

    void Start() {
        ended = false;
        thread = std::thread([this] {
            exitCode = ReceiverThread(comm);
            ended = true;
        });
    }

    // Stops as the link stop asks the thread to, once, and waits for it to
    // end. Nothing wakes it again here (the link stop would, after a
    // second), so a thread that misses that one request never ends: the
    // test fails, and the thread is then woken until it ends.
    bool Stop() {
        comm->RequestStop();
        const bool endedOnRequest = WaitUntil([&] { return ended.load(); });
        EXPECT_TRUE(endedOnRequest) << "the receiver thread did not end on the stop request";
        while (!ended) {
            SetCommMask(comm->m_hComm, 0);
            Pause(10);
        }
        thread.join();
        return endedOnRequest;
    }

#ifndef _WIN32  // the stand-in's call hooks and queue
    // Runs `action` on the receiver thread at the start of each of its
    // WaitCommEvent (or other hooked) calls, with the call's number from 1.
    void AtCall(int call, std::function<void(int)> action) {
        hookCalls = 0;
        hookAction = std::move(action);
        W32SetSerialHook(
            kPort, call,
            [](HANDLE, void* self) {
                auto* test = static_cast<ReceiverTest*>(self);
                test->hookAction(++test->hookCalls);
            },
            this);
    }

    // Writes at the device and waits until the port side holds the bytes.
    void WriteQueued(const std::string& bytes) {
        int before = pty.QueuedAtPort();
        ASSERT_TRUE(pty.Write(bytes));
        ASSERT_TRUE(WaitUntil([&] { return pty.QueuedAtPort() >= before + static_cast<int>(bytes.size()); }));
    }

    // Waits until the receiver thread is blocked on the port: its wait is
    // armed on an idle line (or its read waits for bytes).
    void WaitBlocked() { ASSERT_TRUE(W32WaitSerialBlocked(kPort, kPatienceMs)) << "the thread never waited"; }

    // While a fault lasts the thread keeps trying (a wait or a read a turn)
    // but pauses after failures in a row: `tries` of them take at least
    // their pauses, and little CPU. Counted from the third try, once the
    // failures are in a row.
    void ExpectSlowTurning(unsigned long tries = 6) {
        auto triesSoFar = [&] {
            W32SerialCounters c = Counters();
            return c.waits + c.reads;
        };
        const unsigned long start = triesSoFar();
        ASSERT_TRUE(WaitUntil([&] { return triesSoFar() >= start + 3; })) << "it keeps trying";
        const unsigned long before = triesSoFar();
        const double cpuBefore = ThreadCpuMilliseconds();
        const auto since = Clock::now();
        ASSERT_TRUE(WaitUntil([&] { return triesSoFar() >= before + tries; })) << "it keeps trying";
        const long long took = MillisecondsSince(since);
        const unsigned long made = triesSoFar() - before;
        // Between each two tries a pause, but one: a read that takes bytes
        // ends the failures in a row.
        EXPECT_GE(took, static_cast<long long>(made - 2) * kFailurePauseMs) << made << " tries: it spins";
        EXPECT_LT(ThreadCpuMilliseconds() - cpuBefore, made * 5.0) << made << " tries";
    }
    // The receiver thread's pause after failures in a row.
    static constexpr int kFailurePauseMs = 50;
#endif

    // Waits until the last record carries the time; false on timeout.
    bool WaitForTime(const std::string& time, int milliseconds = kPatienceMs) {
        return WaitUntil([&] { return host.RecordCount() > 0 && TimeOf(host.LastRecord()) == time; }, milliseconds);
    }

    std::vector<std::string> Times() {
        std::vector<std::string> times;
        for (const tagGPSNAVIINFO& r : host.Records()) times.push_back(TimeOf(r));
        return times;
    }

    // The time of the record before the last one ("" when there is none).
    std::string TimeBeforeLast() {
        std::vector<tagGPSNAVIINFO> records = host.Records();
        return records.size() < 2 ? "" : TimeOf(records[records.size() - 2]);
    }

#ifndef _WIN32
    W32SerialCounters Counters() {
        W32SerialCounters c{};
        W32GetSerialCounters(kPort, &c);
        return c;
    }
#endif

    // CPU time the receiver thread has used, in ms.
    double ThreadCpuMilliseconds() {
#ifdef _WIN32
        FILETIME created, exited, kernel, user;
        if (!GetThreadTimes(pthread_gethandle(thread.native_handle()), &created, &exited, &kernel, &user)) return -1;
        auto ms = [](FILETIME t) { return ((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4; };
        return ms(kernel) + ms(user);
#else
        clockid_t clock;
        if (pthread_getcpuclockid(thread.native_handle(), &clock) != 0) return -1;
        timespec ts;
        clock_gettime(clock, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
#endif
    }

    std::atomic<int> hookCalls{0};
    std::function<void(int)> hookAction;
    RecordingHost host;
    PortPair pty{kPort};
    CGPSComm* comm = nullptr;
    std::thread thread;
    std::atomic<bool> ended{false};
    UINT exitCode = 12345;
    size_t handlesBefore = 0;
};
