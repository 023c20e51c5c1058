// Line settings: DCB over termios, the MODE-style definitions, time-outs.
#include <sys/ioctl.h>
#include <termios.h>

#include <cstring>

#include "CommTestSupport.h"

namespace {

DCB FlowEverywhere() {
    DCB dcb;
    memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 1200;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fOutX = dcb.fInX = 1;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = 1;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.EvtChar = '\n';
    return dcb;
}

void ExpectNoFlowControl(const DCB& dcb) {
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    EXPECT_NE(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
    EXPECT_NE(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
}

}  // namespace

// The start dialog's two texts, and every rate that MODE abbreviates to two digits.
TEST(BuildCommDcbTest, ShortForms) {
    struct {
        const char* text;
        DWORD baud;
    } cases[] = {{"48,N,8,1", 4800}, {"96,N,8,1", 9600}, {" 96, n, 8, 1 ", 9600}, {"COM2: 48,N,8,1", 4800},
                 {"11,N,8,1", 110},  {"15,N,8,1", 150},  {"30,N,8,1", 300},       {"60,N,8,1", 600},
                 {"12,N,8,1", 1200}, {"24,N,8,1", 2400}, {"19,N,8,1", 19200}};
    for (const auto& c : cases) {
        DCB dcb = FlowEverywhere();
        ASSERT_TRUE(BuildCommDCBA(c.text, &dcb)) << c.text;
        EXPECT_EQ(dcb.BaudRate, c.baud) << c.text;
        EXPECT_EQ(dcb.ByteSize, 8) << c.text;
        EXPECT_EQ(dcb.Parity, NOPARITY) << c.text;
        EXPECT_EQ(dcb.StopBits, ONESTOPBIT) << c.text;
        EXPECT_EQ(dcb.fBinary, 1u);
        EXPECT_EQ(dcb.fParity, 0u);
        ExpectNoFlowControl(dcb);
        EXPECT_EQ(dcb.EvtChar, '\n') << "fields the text does not name stay";
    }
}

TEST(BuildCommDcbTest, LongFormAndOtherValues) {
    DCB dcb = FlowEverywhere();
    ASSERT_TRUE(BuildCommDCBA("baud=4800 parity=N data=8 stop=1", &dcb));
    EXPECT_EQ(dcb.BaudRate, 4800u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    ExpectNoFlowControl(dcb);

    ASSERT_TRUE(BuildCommDCBA("BAUD=19200 PARITY=o DATA=7 STOP=2 xon=on", &dcb));
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.Parity, ODDPARITY);
    EXPECT_EQ(dcb.fParity, 1u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.fOutX, 1u);
    EXPECT_EQ(dcb.fInX, 1u);

    ASSERT_TRUE(BuildCommDCBA("115200,e,7,1.5,p", &dcb));
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, ONE5STOPBITS);
    EXPECT_EQ(dcb.fOutxCtsFlow, 1u);
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
    EXPECT_EQ(dcb.fOutX, 0u);

    ASSERT_TRUE(BuildCommDCBA("12,s,5", &dcb));
    EXPECT_EQ(dcb.BaudRate, 1200u);
    EXPECT_EQ(dcb.Parity, SPACEPARITY);
    EXPECT_EQ(dcb.ByteSize, 5);
}

TEST(BuildCommDcbTest, MalformedTextLeavesTheDcbAlone) {
    for (const char* text :
         {"", "   ", "xx", "96,Q,8,1", "96,N,9,1", "96,N,8,3", "96,N,8,1,z", "96,N,8,1,x,1", "0,N,8,1",
          "baud=", "baud=96 parity=N junk", "speed=9600", "COM1 96,N,8,1", "99999999,N,8,1", "96,,8,1"}) {
        DCB dcb = FlowEverywhere();
        SetLastError(0);
        EXPECT_FALSE(BuildCommDCBA(text, &dcb)) << '"' << text << '"';
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        DCB untouched = FlowEverywhere();
        EXPECT_EQ(memcmp(&dcb, &untouched, sizeof dcb), 0) << text;
    }
    DCB dcb = FlowEverywhere();
    EXPECT_FALSE(BuildCommDCBA(nullptr, &dcb));
    EXPECT_FALSE(BuildCommDCBA("96,N,8,1", nullptr));
}

using CommStateTest = CommTest;

TEST_F(CommStateTest, SetCommStateProgramsTheTty) {
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

TEST_F(CommStateTest, TheWholeDcbAndAnyRateReachTheTty) {
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

TEST_F(CommStateTest, ImpossibleSettingsAreRefusedAndKeepTheOldOnes) {
    HANDLE port = OpenPort("COM3");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    DCB good;
    ASSERT_TRUE(GetCommState(port, &good));
    ASSERT_TRUE(BuildCommDCBA("48,N,8,1", &good));
    ASSERT_TRUE(SetCommState(port, &good));

    auto refused = [&](void (*change)(DCB&)) {
        DCB bad = good;
        change(bad);
        SetLastError(0);
        bool ok = SetCommState(port, &bad);
        return !ok && GetLastError() == static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    };
    EXPECT_TRUE(refused([](DCB& d) { d.BaudRate = 0; }));
    EXPECT_TRUE(refused([](DCB& d) { d.ByteSize = 9; }));
    EXPECT_TRUE(refused([](DCB& d) { d.ByteSize = 4; }));
    EXPECT_TRUE(refused([](DCB& d) { d.Parity = 5; }));
    EXPECT_TRUE(refused([](DCB& d) { d.StopBits = 3; }));
    EXPECT_TRUE(refused([](DCB& d) { d.StopBits = ONE5STOPBITS; }));  // only with 5 data bits
    EXPECT_TRUE(refused([](DCB& d) {
        d.ByteSize = 5;
        d.StopBits = TWOSTOPBITS;
    }));
    EXPECT_FALSE(SetCommState(port, nullptr));

    DCB now;
    ASSERT_TRUE(GetCommState(port, &now));
    EXPECT_EQ(now.BaudRate, 4800u);
    EXPECT_EQ(now.ByteSize, 8);
    CloseHandle(port);
}

TEST_F(CommStateTest, TimeoutsAreKept) {
    HANDLE port = OpenPort("COM3");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    COMMTIMEOUTS timeouts;
    ASSERT_TRUE(GetCommTimeouts(port, &timeouts));
    timeouts.ReadIntervalTimeout = 5;
    timeouts.WriteTotalTimeoutConstant = 77;
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    COMMTIMEOUTS back{};
    ASSERT_TRUE(GetCommTimeouts(port, &back));
    EXPECT_EQ(back.ReadIntervalTimeout, 5u);
    EXPECT_EQ(back.WriteTotalTimeoutConstant, 77u);
    EXPECT_FALSE(GetCommTimeouts(port, nullptr));
    EXPECT_FALSE(SetCommTimeouts(port, nullptr));
    CloseHandle(port);
}

TEST_F(CommStateTest, CallsOnHandlesThatAreNoPortFail) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DCB dcb{};
    COMMTIMEOUTS timeouts{};
    DWORD mask = 0;
    char buffer[4];
    DWORD n = 0;
    OVERLAPPED ov{};
    ov.Internal = 0x103;  // pending: a record that has ended is read without its handle
    for (HANDLE h : {event, static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        SetLastError(0);
        EXPECT_FALSE(GetCommState(h, &dcb));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(SetCommState(h, &dcb));
        EXPECT_FALSE(GetCommTimeouts(h, &timeouts));
        EXPECT_FALSE(SetCommMask(h, EV_RXCHAR));
        EXPECT_FALSE(WaitCommEvent(h, &mask, &ov));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(ReadFile(h, buffer, 4, &n, &ov));
        EXPECT_FALSE(WriteFile(h, buffer, 4, &n, &ov));
        EXPECT_FALSE(GetOverlappedResult(h, &ov, &n, TRUE));
        EXPECT_FALSE(ClearCommError(h, nullptr, nullptr));
        EXPECT_FALSE(PurgeComm(h, PURGE_RXCLEAR));
        EXPECT_FALSE(CancelIo(h));
    }
    CloseHandle(event);
}
