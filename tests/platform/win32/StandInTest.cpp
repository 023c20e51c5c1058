// What only the stand-in shows, beneath or beside the Win32 contract
// (OverlappedTest.cpp, LineSettingsTest.cpp): the tty behind a port, a
// device that hangs up, misuse that Windows leaves undefined and the stand-in
// refuses, and a blocked wait that does not spin.
#include <sys/ioctl.h>
#include <termios.h>

#include <cstring>
#include <thread>

#include "CommTestSupport.h"

namespace {

using TtyTest = CommTest;

TEST_F(TtyTest, SetCommStateProgramsTheTty) {
    HANDLE port = OpenPort("COM3");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    DCB dcb;
    ASSERT_TRUE(GetCommState(port, &dcb));
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    ASSERT_TRUE(BuildCommDCBA("48,N,8,1", &dcb));
    dcb.EvtChar = '\n';
    ASSERT_TRUE(SetCommState(port, &dcb));

    termios tio;
    const int fd = pty.portFd();
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B4800));
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B4800));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);

    ASSERT_TRUE(BuildCommDCBA("96,E,7,2", &dcb));
    ASSERT_TRUE(SetCommState(port, &dcb));
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
    // A pseudo-terminal forces 8 data bits without parity; the stop bits show.
    EXPECT_EQ(tio.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));

    DCB back;
    ASSERT_TRUE(GetCommState(port, &back));
    EXPECT_EQ(back.BaudRate, 9600u);
    EXPECT_EQ(back.ByteSize, 7);
    EXPECT_EQ(back.Parity, EVENPARITY);
    EXPECT_EQ(back.StopBits, TWOSTOPBITS);
    EXPECT_EQ(back.EvtChar, '\n');
    CloseHandle(port);
}

// The kernel's termios2, which carries any rate in bits per second.
struct LineSettings2 {
    tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed, c_ospeed;
};
constexpr unsigned long kGetLineSettings2 = _IOR('T', 0x2A, LineSettings2);

TEST_F(TtyTest, TheWholeDcbAndAnyRateReachTheTty) {
    HANDLE port = OpenPort("COM3");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    const int fd = pty.portFd();
    DCB base;
    ASSERT_TRUE(GetCommState(port, &base));
    ASSERT_TRUE(BuildCommDCBA("48,N,8,1", &base));
    struct Case {
        void (*change)(DCB&);
        tcflag_t iflag;    // exactly
        tcflag_t crtscts;  // CRTSCTS or 0
    };
    const Case cases[] = {
        {[](DCB&) {}, 0, 0},
        {[](DCB& d) { d.fOutX = 1; }, IXON, 0},
        {[](DCB& d) { d.fInX = 1; }, IXOFF, 0},
        {[](DCB& d) {
             d.Parity = EVENPARITY;
             d.fParity = 1;
         },
         INPCK, 0},
        {[](DCB& d) { d.Parity = EVENPARITY; }, 0, 0},  // parity sent, not checked
        {[](DCB& d) {
             d.fOutxCtsFlow = 1;
             d.fRtsControl = RTS_CONTROL_HANDSHAKE;
         },
         0, CRTSCTS},
    };
    for (const Case& c : cases) {
        // Whatever the tty had before must not survive.
        termios tio;
        ASSERT_EQ(tcgetattr(fd, &tio), 0);
        tio.c_iflag |= IXON | IXOFF | IXANY | INPCK | IGNPAR | ICRNL | IMAXBEL;
        tio.c_oflag |= OPOST | ONLCR;
        tio.c_lflag |= ECHO | ICANON | ISIG | IEXTEN;
        tio.c_cflag |= CRTSCTS | HUPCL;
        ASSERT_EQ(tcsetattr(fd, TCSANOW, &tio), 0);
        DCB dcb = base;
        c.change(dcb);
        ASSERT_TRUE(SetCommState(port, &dcb));
        ASSERT_EQ(tcgetattr(fd, &tio), 0);
        EXPECT_EQ(tio.c_iflag, c.iflag) << "case " << (&c - cases);
        EXPECT_EQ(tio.c_oflag, 0u);
        EXPECT_EQ(tio.c_lflag, 0u);
        EXPECT_EQ(tio.c_cflag & (CRTSCTS | HUPCL), c.crtscts) << "case " << (&c - cases);
    }
    // Rates without a Bnnn constant go through as well.
    for (DWORD rate : {12345u, 14400u, 56000u, 128000u, 256000u, 4800u}) {
        DCB dcb = base;
        dcb.BaudRate = rate;
        ASSERT_TRUE(SetCommState(port, &dcb)) << rate;
        LineSettings2 line{};
        ASSERT_EQ(ioctl(fd, kGetLineSettings2, &line), 0);
        EXPECT_EQ(line.c_ospeed, rate);
        EXPECT_EQ(line.c_ispeed, rate);
    }
    CloseHandle(port);
}

class StandInPortTest : public CommTest {
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

    HANDLE port = INVALID_HANDLE_VALUE;
    OVERLAPPED ov;
    DWORD mask = 0xDEAD;
};

// Windows leaves a record used twice undefined.
TEST_F(StandInPortTest, OneOperationPerRecord) {
    ArmPendingWait();
    char buffer[8];
    DWORD n = 0;
    SetLastError(0);
    EXPECT_FALSE(ReadFile(port, buffer, 1, &n, &ov)) << "the record carries the wait";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // A record that carries nothing has nothing to complete.
    OVERLAPPED unused{};
    unused.Internal = 0x103;
    EXPECT_FALSE(GetOverlappedResult(port, &unused, &n, TRUE));
    EXPECT_FALSE(GetOverlappedResult(port, nullptr, &n, TRUE));
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    EXPECT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
}

TEST_F(StandInPortTest, OverlappedHandleNeedsARecord) {
    char buffer[4];
    DWORD n = 0;
    EXPECT_FALSE(ReadFile(port, buffer, 4, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(WaitCommEvent(port, nullptr, &ov));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(PurgeComm(port, 0x100));
}

TEST_F(StandInPortTest, HungUpDeviceFailsWaitsAndReads) {
    ArmPendingWait();
    BOOL result = TRUE;
    DWORD error = 0;
    DWORD n = 0;
    std::thread waiter([&] {
        result = GetOverlappedResult(port, &ov, &n, TRUE);
        error = GetLastError();
    });
    EXPECT_TRUE(W32WaitSerialBlocked("COM3", kPatienceMs));
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

TEST_F(StandInPortTest, ABlockedWaitDoesNotWakeWhileTheLineIsIdle) {
    ArmPendingWait();
    DWORD n = 0;
    std::thread waiter([&] { GetOverlappedResult(port, &ov, &n, TRUE); });
    EXPECT_TRUE(W32WaitSerialBlocked("COM3", kPatienceMs));
    W32SerialCounters before = CountersOf("COM3");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    W32SerialCounters after = CountersOf("COM3");
    EXPECT_EQ(after.wakeups, before.wakeups) << "blocked in poll, not polling";
    SetCommMask(port, EV_RXCHAR);
    waiter.join();
}

TEST_F(CommTest, NullPointersAndNoPortHandlesAreRefused) {
    DCB dcb;
    memset(&dcb, 0, sizeof dcb);
    EXPECT_FALSE(BuildCommDCBA(nullptr, &dcb));
    EXPECT_FALSE(BuildCommDCBA("96,N,8,1", nullptr));
    HANDLE port = OpenPort("COM3");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SetCommState(port, nullptr));
    EXPECT_FALSE(GetCommTimeouts(port, nullptr));
    EXPECT_FALSE(SetCommTimeouts(port, nullptr));
    CloseHandle(port);
    // Windows would wait on these handles for ever.
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED ov{};
    ov.Internal = 0x103;  // pending: a record that has ended is read without its handle
    DWORD n = 0;
    for (HANDLE h : {event, static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE})
        EXPECT_FALSE(GetOverlappedResult(h, &ov, &n, TRUE));
    CloseHandle(event);
}

}  // namespace
