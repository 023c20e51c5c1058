// DCB to termios and back.
#include "serial_termios.h"

#include <cstring>

namespace w32 {
namespace {

struct BaudRate {
    DWORD rate;
    speed_t speed;
};

constexpr BaudRate kBaudRates[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool SpeedOf(DWORD rate, speed_t* speed) {
    for (const BaudRate& b : kBaudRates) {
        if (b.rate == rate) {
            *speed = b.speed;
            return true;
        }
    }
    return false;
}

bool RateIsClose(DWORD actual, DWORD asked) {
    const double ratio = static_cast<double>(actual) / asked;
    return ratio > 0.98 && ratio < 1.02;
}

DWORD RateOf(speed_t speed) {
    for (const BaudRate& b : kBaudRates) {
        if (b.speed == speed) return b.rate;
    }
    return 0;
}

}  // namespace

void MakeRaw(termios* tio) {
    cfmakeraw(tio);
    // cfmakeraw leaves IXOFF, IXANY, INPCK, ONLCR, ECHOE and a few others:
    // none is Windows'.
    tio->c_iflag = 0;
    tio->c_oflag = 0;
    tio->c_lflag = 0;
    tio->c_cflag |= CLOCAL | CREAD;
    tio->c_cc[VMIN] = 1;
    tio->c_cc[VTIME] = 0;
}

DCB DcbFromTermios(const termios& tio) {
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = RateOf(cfgetospeed(&tio));
    dcb.fBinary = 1;
    dcb.fParity = (tio.c_iflag & INPCK) ? 1 : 0;
    switch (tio.c_cflag & CSIZE) {
        case CS5:
            dcb.ByteSize = 5;
            break;
        case CS6:
            dcb.ByteSize = 6;
            break;
        case CS7:
            dcb.ByteSize = 7;
            break;
        default:
            dcb.ByteSize = 8;
            break;
    }
    if (!(tio.c_cflag & PARENB)) {
        dcb.Parity = NOPARITY;
    } else if (tio.c_cflag & CMSPAR) {
        dcb.Parity = (tio.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    } else {
        dcb.Parity = (tio.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    }
    if (tio.c_cflag & CSTOPB) {
        dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    } else {
        dcb.StopBits = ONESTOPBIT;
    }
    const bool hardware = (tio.c_cflag & CRTSCTS) != 0;
    dcb.fOutxCtsFlow = hardware;
    dcb.fRtsControl = hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fOutX = (tio.c_iflag & IXON) ? 1 : 0;
    dcb.fInX = (tio.c_iflag & IXOFF) ? 1 : 0;
    dcb.fTXContinueOnXoff = 1;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

bool ApplyDcb(int fd, const DCB& dcb, DWORD* error) {
    *error = ERROR_INVALID_PARAMETER;
    termios old;
    if (tcgetattr(fd, &old) != 0) {
        *error = ERROR_GEN_FAILURE;
        return false;
    }
    if (dcb.BaudRate == 0) return false;
    termios tio = old;
    MakeRaw(&tio);
    speed_t speed;
    const bool named = SpeedOf(dcb.BaudRate, &speed);
    if (named) {
        tio.c_cflag &= ~CIBAUD;  // an earlier termios2 rate: input follows output again
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
    }

    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL);
    switch (dcb.ByteSize) {
        case 5:
            tio.c_cflag |= CS5;
            break;
        case 6:
            tio.c_cflag |= CS6;
            break;
        case 7:
            tio.c_cflag |= CS7;
            break;
        case 8:
            tio.c_cflag |= CS8;
            break;
        default:
            return false;
    }
    switch (dcb.Parity) {
        case NOPARITY:
            break;
        case ODDPARITY:
            tio.c_cflag |= PARENB | PARODD;
            break;
        case EVENPARITY:
            tio.c_cflag |= PARENB;
            break;
        case MARKPARITY:
            tio.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case SPACEPARITY:
            tio.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            return false;
    }
    // As on Windows: 1.5 stop bits only with 5 data bits, 2 only with more.
    switch (dcb.StopBits) {
        case ONESTOPBIT:
            break;
        case ONE5STOPBITS:
            if (dcb.ByteSize != 5) return false;
            tio.c_cflag |= CSTOPB;
            break;
        case TWOSTOPBITS:
            if (dcb.ByteSize == 5) return false;
            tio.c_cflag |= CSTOPB;
            break;
        default:
            return false;
    }
    // Input modes from the DCB alone (MakeRaw cleared them all).
    if (dcb.fParity && dcb.Parity != NOPARITY) tio.c_iflag |= INPCK;
    if (dcb.fOutX) tio.c_iflag |= IXON;
    if (dcb.fInX) tio.c_iflag |= IXOFF;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) tio.c_cflag |= CRTSCTS;
    tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);

    const DWORD oldRate = LineSpeed(fd);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) return false;
    // A rate without a Bnnn constant goes through termios2. A driver sets the
    // nearest rate its clock allows; one too far off is refused, as Windows
    // refuses it.
    const bool applied = (named || SetLineSpeed(fd, dcb.BaudRate)) && RateIsClose(LineSpeed(fd), dcb.BaudRate);
    if (!applied) {
        tcsetattr(fd, TCSANOW, &old);
        if (oldRate) SetLineSpeed(fd, oldRate);
        return false;
    }
    *error = 0;
    return true;
}

}  // namespace w32
