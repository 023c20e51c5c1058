// The receiver thread end to end: sentences written at the device side of a
// pseudo-terminal reach the host as records.
#include "ReceiverFixture.h"

namespace {

class CNotALink : public CObject {
    DECLARE_DYNAMIC(CNotALink)
};
IMPLEMENT_DYNAMIC(CNotALink, CObject)

using ReceiverThreadTest = ReceiverTest;

// What the thread is built on: a wait armed on an idle line ends with
// EV_RXCHAR when a character arrives. (Under Wine on a pseudo-terminal it
// needs the modem-line preload, else every pending wait is aborted and the
// thread would only get by through its pauses after failures.)
TEST_F(ReceiverThreadTest, PendingWaitEndsWithTheCharacterThatArrives) {
    Open();
    ASSERT_TRUE(SetCommMask(comm->m_hComm, EV_RXCHAR));
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD mask = 0, transferred = 0;
    EXPECT_FALSE(WaitCommEvent(comm->m_hComm, &mask, &overlapped));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    Pause(50);
    ASSERT_TRUE(pty.Write("$"));
    EXPECT_TRUE(GetOverlappedResult(comm->m_hComm, &overlapped, &transferred, TRUE)) << GetLastError();
    EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
    CloseHandle(overlapped.hEvent);
}

TEST_F(ReceiverThreadTest, SentencesReachTheHostAtTheirLineFeed) {
    Open();
    Start();
    std::string text = Gga(1) + Gga(2) + Gga(3);
    ASSERT_TRUE(pty.Write(text.substr(0, text.size() - 1)));
    ASSERT_TRUE(WaitForTime("000002"));
    Pause(100);
    EXPECT_EQ(Times(), (std::vector<std::string>{"000001", "000002"})) << "the last one waits for its line feed";
    ASSERT_TRUE(pty.Write("\n"));
    ASSERT_TRUE(WaitForTime("000003"));
    EXPECT_EQ(host.RecordCount(), 3u);
    Stop();
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(ReceiverThreadTest, TwoSentencesInOneReadAreBothDecodedAtOnce) {
    Open();
#ifndef _WIN32
    WriteQueued(Gga(11) + Rmc(12) + "$");  // all there at the thread's first look
#else
    ASSERT_TRUE(pty.Write(Gga(11) + Rmc(12) + "$"));
#endif
    Start();
    ASSERT_TRUE(WaitForTime("000012"));
#ifndef _WIN32
    EXPECT_EQ(Counters().reads, 1u) << "one read brought both";
#endif
    EXPECT_EQ(Times(), (std::vector<std::string>{"000011", "000012"}));
    tagGPSNAVIINFO last = host.LastRecord();
    EXPECT_NEAR(last.dLatitude, 35.65, 1e-9);
    EXPECT_NEAR(last.dSpeed, 10.0 * 1.855, 1e-9);
}

#ifndef _WIN32  // races placed with the stand-in's call hooks
TEST_F(ReceiverThreadTest, BacklogLongerThanOneReadIsDecodedWithoutAFurtherCharacter) {
    Open();
    std::string backlog;
    for (int i = 1; i <= 6; i++) backlog += Gga(i);
    backlog += "$";
    ASSERT_GT(backlog.size(), 255u);
    // All of it queued by the time the thread arms its first wait: one
    // wake-up for all of it, as Windows reports an arrival once.
    AtCall(W32_SERIAL_CALL_WAIT, [&](int n) {
        if (n == 1) WriteQueued(backlog);
    });
    Start();
    EXPECT_TRUE(WaitForTime("000006", 2000));
    EXPECT_EQ(host.RecordCount(), 6u);
    EXPECT_GE(Counters().reads, 2u) << "at most 255 bytes a read";
}

TEST_F(ReceiverThreadTest, OneEmptyWakeUpCostsNoPause) {
    Open();
    std::atomic<unsigned long long> sleepsAtEmptyWake{0}, sleepsAtNextWait{0};
    // The first wait finds an arrival whose byte has gone (as after a read
    // that took it): an empty wake-up. The next wait must follow at once,
    // without a Sleep between them.
    AtCall(W32_SERIAL_CALL_WAIT, [&](int n) {
        if (n == 2) sleepsAtNextWait = W32CountSleeps();
        if (n != 1) return;
        WriteQueued("x");
        COMSTAT cs;
        ClearCommError(comm->m_hComm, nullptr, &cs);
        PurgeComm(comm->m_hComm, PURGE_RXCLEAR);
        sleepsAtEmptyWake = W32CountSleeps();
    });
    Start();
    ASSERT_TRUE(WaitUntil([&] { return hookCalls >= 2; }));
    ASSERT_TRUE(pty.Write(Gga(3) + "$"));
    ASSERT_TRUE(WaitForTime("000003"));
    EXPECT_EQ(sleepsAtNextWait.load(), sleepsAtEmptyWake.load()) << "paused after the first empty wake-up";
}

// A line that brings one character at a time: each wake-up costs the port
// two calls into the kernel, the poll that reports the arrival and the read
// that brings it.
TEST_F(ReceiverThreadTest, EachWakeUpCostsOnePollAndOneRead) {
    Open();
    Start();
    ASSERT_TRUE(pty.Write(Gga(1)));
    ASSERT_TRUE(WaitForTime("000001"));
    const W32SerialCounters before = Counters();
    const std::string sentence = Gga(2);
    for (char c : sentence) {
        const unsigned long long read = W32WaitSerialBytesRead(0, 0);
        ASSERT_TRUE(pty.Write(&c, 1));
        ASSERT_GT(W32WaitSerialBytesRead(read, kPatienceMs), read);
    }
    ASSERT_TRUE(WaitForTime("000002"));
    const W32SerialCounters after = Counters();
    const unsigned long wakeups = after.wakeups - before.wakeups;
    EXPECT_EQ(after.systemCalls - before.systemCalls, 2 * wakeups);
    EXPECT_GT(wakeups, 0u);
    EXPECT_LE(wakeups, sentence.size());
}

TEST_F(ReceiverThreadTest, StopJustBeforeTheWaitIsArmedEndsTheThreadAndPurgesTheInput) {
    Open();
    // The stop comes after the loop's test of the flag and before the wait:
    // its mask change has nothing to end, and the bytes that come then are
    // no event under the new mask.
    AtCall(W32_SERIAL_CALL_WAIT, [&](int n) {
        if (n != 1) return;
        WriteQueued("$GPGGA,1");
        comm->RequestStop();
    });
    Start();
    EXPECT_TRUE(WaitUntil([&] { return ended.load(); })) << "the thread did not see the flag after arming its wait";
    Stop();
    COMSTAT cs{};
    ASSERT_TRUE(ClearCommError(comm->m_hComm, nullptr, &cs));
    EXPECT_EQ(cs.cbInQue, 0u) << "unread input is purged at the thread's end";
    EXPECT_EQ(exitCode, 0u);
}
#endif

TEST_F(ReceiverThreadTest, ReceptionBeginningMidSentence) {
    Open();
    Start();
    ASSERT_TRUE(pty.Write("01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n" + Gga(5) + "$"));
    ASSERT_TRUE(WaitForTime("000005"));
    // The tail is a line of its own, decoded as nothing and sent as it is.
    EXPECT_EQ(Times(), (std::vector<std::string>{"", "000005"}));
    EXPECT_EQ(host.Records().at(0).dLatitude, 0.0);
}

TEST_F(ReceiverThreadTest, SonyReceiverGetsItsStartCommandAndRecordsAtTheirLineFeed) {
    Open(1);
    Start();
    EXPECT_EQ(pty.Read(5), "@DMS\n");
    ASSERT_TRUE(pty.Write("SONY first record\r"));
    Pause(150);
    EXPECT_EQ(host.RecordCount(), 0u) << "a record waits for its line feed";
    ASSERT_TRUE(pty.Write("\n"));
    ASSERT_TRUE(host.WaitForRecords(1));
    Pause(50);
    EXPECT_EQ(host.RecordCount(), 1u);
    Stop();
}

TEST_F(ReceiverThreadTest, OverlongSentenceIsNotDecodedAndTheNextOneIs) {
    Open();
    Start();
    ASSERT_TRUE(pty.Write("$GPGGA," + std::string(293, '9') + "\r\n" + Gga(7) + "$"));
    ASSERT_TRUE(WaitForTime("000007"));
    Pause(50);
    EXPECT_EQ(host.RecordCount(), 1u) << "the 300-character sentence lost its line feed";
}

TEST_F(ReceiverThreadTest, NulByteDropsOnlyItself) {
    Open();
    Start();
    std::string sentence = Gga(123519);
    sentence.insert(12, 1, '\0');  // "$GPGGA,1235" NUL "19,..."
    ASSERT_TRUE(pty.Write(sentence + "$"));
    ASSERT_TRUE(WaitForTime("123519"));
    EXPECT_NEAR(host.LastRecord().dLatitude, 48.1173, 1e-4);
}

TEST_F(ReceiverThreadTest, DecodingResumesAfterAFullBufferOfNoise) {
    Open();
    Start();
    ASSERT_TRUE(pty.Write(std::string(1279, 'x')));
    Pause(50);
    ASSERT_TRUE(pty.Write(Gga(8) + Gga(9) + "$"));
    ASSERT_TRUE(WaitForTime("000009"));
    EXPECT_EQ(TimeBeforeLast(), "000008");
}

TEST_F(ReceiverThreadTest, StopEndsAPendingWaitAtOnce) {
    Open();
    Start();
#ifndef _WIN32
    WaitBlocked();
#else
    Pause(100);
#endif
    EXPECT_FALSE(ended);
    Stop();
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(g_Overlapped.hEvent, nullptr) << "the thread's event is closed at its end";
}

TEST_F(ReceiverThreadTest, StopRightAfterStartNeverHangs) {
    // Stops at every moment of the thread's start: none may need the
    // stop's one-second re-wake.
    for (int i = 0; i < 40; i++) {
        SCOPED_TRACE("cycle " + std::to_string(i));
        Open();
        Start();
        if (i % 2) Pause(i % 5);
        ASSERT_TRUE(Stop());
        comm->ClosePort();
        delete comm;
        comm = nullptr;
    }
    EXPECT_EQ(CountHandles(), handlesBefore);
}

TEST_F(ReceiverThreadTest, NullPointerOrForeignObjectEndsAtOnce) {
    Open();
#ifndef _WIN32
    W32SerialCounters before = Counters();
#endif
    EXPECT_EQ(ReceiverThread(nullptr), 0xFFFFFFFFu);
    CNotALink other;
    EXPECT_EQ(ReceiverThread(&other), 0xFFFFFFFFu);
#ifndef _WIN32
    W32SerialCounters after = Counters();
    EXPECT_EQ(after.waits, before.waits);
    EXPECT_EQ(after.reads, before.reads);
    EXPECT_EQ(CountHandles(), handlesBefore + 1) << "nothing was created beside the port";
#endif
}

TEST_F(ReceiverThreadTest, IdleLineCostsNoCpu) {
    Open();
    Start();
    ASSERT_TRUE(pty.Write(Gga(1) + "$"));
    ASSERT_TRUE(WaitForTime("000001"));
#ifndef _WIN32
    WaitBlocked();
    double cpuBefore = ThreadCpuMilliseconds();
    W32SerialCounters before = Counters();
    Pause(400);
    W32SerialCounters after = Counters();
    EXPECT_EQ(after.waits, before.waits);
    EXPECT_EQ(after.wakeups, before.wakeups) << "the thread blocks while the line is idle";
#else
    double cpuBefore = ThreadCpuMilliseconds();
    Pause(400);
#endif
    EXPECT_LT(ThreadCpuMilliseconds() - cpuBefore, 5.0);
}

#ifndef _WIN32  // a closed COM handle does not hang up the line
TEST_F(ReceiverThreadTest, DeviceClosedMidStreamKeepsTheThreadTurningSlowly) {
    Open();
    Start();
    ASSERT_TRUE(pty.Write(Gga(1) + "$GPGGA,0000"));
    ASSERT_TRUE(WaitForTime("000001"));
    pty.CloseDevice();
    ExpectSlowTurning();
    Stop();
    EXPECT_EQ(exitCode, 0u);
}
#endif

}  // namespace
