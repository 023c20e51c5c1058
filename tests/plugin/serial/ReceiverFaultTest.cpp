// The receiver thread under faults injected at the port and under bad input:
// no crash, no hang, no busy loop, and decoding resumes when the line does.
#include <random>

#include "ReceiverFixture.h"

namespace {

using ReceiverFaultTest = ReceiverTest;

TEST_F(ReceiverFaultTest, FailingWaitsTurnSlowlyAndWhatIsQueuedIsStillRead) {
    Open();
    ASSERT_TRUE(W32SetSerialFault(kPort, W32_SERIAL_FAULT_WAIT, 0, -1));
    Start();
    ASSERT_TRUE(pty.Write(Gga(1) + "$"));
    ExpectSlowTurning();
    // After each failure the thread looks at the queue without waiting.
    EXPECT_TRUE(WaitForTime("000001"));
    W32ClearSerialFaults(kPort);
    ASSERT_TRUE(pty.Write(Gga(2).substr(1) + "$"));
    EXPECT_TRUE(WaitForTime("000002"));
    Stop();
}

TEST_F(ReceiverFaultTest, FailingReadsLoseNothingOnceTheyWork) {
    Open();
    ASSERT_TRUE(W32SetSerialFault(kPort, W32_SERIAL_FAULT_READ, ERROR_OPERATION_ABORTED, -1));
    Start();
    ASSERT_TRUE(pty.Write(Gga(2) + Gga(3) + "$"));
    ExpectSlowTurning();
    W32ClearSerialFaults(kPort);
    EXPECT_TRUE(WaitForTime("000003"));
    EXPECT_EQ(Times(), (std::vector<std::string>{"000002", "000003"}));
}

TEST_F(ReceiverFaultTest, StopEndsTheThreadWhileItPausesAfterFailures) {
    Open();
    ASSERT_TRUE(W32SetSerialFault(kPort, W32_SERIAL_FAULT_WAIT, 0, -1));
    Start();
    // Failures in a row from the second wait on: the thread pauses.
    ASSERT_TRUE(WaitUntil([&] { return Counters().waits >= 3; }));
    Stop();
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(ReceiverFaultTest, DeviceVanishingInMidStream) {
    Open();
    Start();
    std::atomic<bool> writing{true};
    std::thread device([&] {
        for (int i = 1; writing; i++) {
            pty.Write(Gga(i % 1000000));
            Pause(5);
        }
    });
    ASSERT_TRUE(host.WaitForRecords(5));
    const unsigned long faults = Counters().faults;
    ASSERT_TRUE(W32SetSerialFault(kPort, W32_SERIAL_FAULT_VANISH, 0, -1));
    // What a read brought before the first failing call has been handed
    // over by then; the thread works one call at a time.
    ASSERT_TRUE(WaitUntil([&] { return Counters().faults > faults; }));
    const size_t during = host.RecordCount();
    ASSERT_TRUE(WaitUntil([&] { return Counters().faults > faults + 3; })) << "it keeps trying";
    EXPECT_EQ(host.RecordCount(), during) << "nothing is read while the device is gone";
    W32ClearSerialFaults(kPort);
    EXPECT_TRUE(host.WaitForRecords(host.RecordCount() + 5)) << "decoding resumes";
    writing = false;
    device.join();
    Stop();
}

TEST_F(ReceiverFaultTest, ReadsThatDeliverNothingLoseNothing) {
    Open();
    ASSERT_TRUE(W32SetSerialFault(kPort, W32_SERIAL_FAULT_EMPTY_READ, 0, 3));
    Start();
    ASSERT_TRUE(pty.Write(Gga(6) + Gga(7) + "$"));
    ASSERT_TRUE(WaitForTime("000007"));
    EXPECT_EQ(Times(), (std::vector<std::string>{"000006", "000007"}));
    EXPECT_EQ(Counters().faults, 3u);
}

TEST_F(ReceiverFaultTest, PortThatNeverDeliversDoesNotSpin) {
    Open();
    ASSERT_TRUE(W32SetSerialFault(kPort, W32_SERIAL_FAULT_EMPTY_READ, 0, -1));
    Start();
    ASSERT_TRUE(pty.Write(Gga(8) + "$"));
    ExpectSlowTurning();
    W32ClearSerialFaults(kPort);
    EXPECT_TRUE(WaitForTime("000008"));
}

TEST_F(ReceiverFaultTest, SonyCommandThatCompletesLateComesBeforeTheFirstWait) {
    Open(1);
    ASSERT_TRUE(W32SetSerialFault(kPort, W32_SERIAL_FAULT_PENDING_WRITE, 0, 1));
    Start();
    EXPECT_EQ(pty.Read(5), "@DMS\n");
    ASSERT_TRUE(pty.Write("SONY one\r\nSONY two\r\nSONY"));
    ASSERT_TRUE(host.WaitForRecords(2));
    // Had the wait been armed on the record that still carried the write,
    // every wait would have failed.
    EXPECT_EQ(Counters().faults, 1u);
}

TEST_F(ReceiverFaultTest, SonyCommandThatNeverGoesOutIsGivenUpAfterASecond) {
    Open(1);
    ASSERT_TRUE(W32SetSerialFault(kPort, W32_SERIAL_FAULT_STUCK_WRITE, 0, 1));
    Start();
    ASSERT_TRUE(pty.Write("SONY one\r\nSONY"));
    EXPECT_TRUE(host.WaitForRecords(1)) << "the held write must be cancelled before the first wait";
    EXPECT_EQ(pty.Read(1, 50), "");
    Stop();
}

TEST_F(ReceiverFaultTest, SonyCommandThatFailsDoesNotStopReception) {
    Open(1);
    ASSERT_TRUE(W32SetSerialFault(kPort, W32_SERIAL_FAULT_VANISH, 0, 1));  // the write
    Start();
    ASSERT_TRUE(pty.Write("SONY one\r\nSONY"));
    EXPECT_TRUE(host.WaitForRecords(1));
}

TEST_F(ReceiverFaultTest, TenMegabytesOfNoiseThenValidSentences) {
    Open();
    Start();
    std::mt19937 random(99);
    std::string noise(10 << 20, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    auto start = Clock::now();
    ASSERT_TRUE(pty.Write(noise));
    ASSERT_TRUE(pty.Write("\r\n" + Gga(235959) + Gga(235958) + "$"));
    ASSERT_TRUE(WaitForTime("235958", 2 * kPatienceMs));
    RecordProperty("noise_ms", static_cast<int>(MillisecondsSince(start)));
    tagGPSNAVIINFO last = host.LastRecord();
    EXPECT_NEAR(last.dLatitude, 48.1173, 1e-4);
    EXPECT_EQ(last.nSatellites, 8);
    EXPECT_EQ(TimeBeforeLast(), "235959");
    Stop();
}

}  // namespace
