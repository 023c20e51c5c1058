// BuildCommDCBA's text as Windows reads it: an optional "COMn:" and then
// either the MODE command's old form ("96,N,8,1" with an optional ",x" or
// ",p") or its new form ("baud=9600 parity=N data=8 stop=1"), never both.
// Only the members the text names change, except that the old form always
// sets the flow control members and the new form always sets the stop bits
// (2 at 110 baud, else 1, unless it names them). fBinary and fParity never
// change. A text Windows refuses leaves the DCB alone.
#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "serial_termios.h"

namespace w32 {
namespace {

// A cursor over the text.
class Cursor {
public:
    explicit Cursor(const char* text) : m_at(text) {}

    bool AtEnd() const { return *m_at == '\0'; }
    char Peek() const { return *m_at; }
    char Take() { return AtEnd() ? '\0' : *m_at++; }
    void SkipSpaces() {
        while (*m_at == ' ') ++m_at;
    }
    bool Skip(char c) {
        if (*m_at != c) return false;
        ++m_at;
        return true;
    }
    bool SkipWord(const char* word) {
        const size_t n = std::strlen(word);
        if (strncasecmp(m_at, word, n) != 0) return false;
        m_at += n;
        return true;
    }
    // Decimal digits, at least one; a value past 32 bits reads as MAXDWORD.
    bool Number(DWORD* value) {
        if (!std::isdigit(static_cast<unsigned char>(*m_at))) return false;
        char* end = nullptr;
        const unsigned long long n = std::strtoull(m_at, &end, 10);
        *value = n > MAXDWORD ? MAXDWORD : static_cast<DWORD>(n);
        m_at = end;
        return true;
    }
    bool Contains(char c) const { return std::strchr(m_at, c) != nullptr; }

private:
    const char* m_at;
};

// MODE's two-digit rates stand for the rate they begin; any other number is
// the rate itself.
DWORD Rate(DWORD value) {
    switch (value) {
        case 11:
        case 15:
        case 30:
        case 60:
            return value * 10;
        case 12:
        case 24:
        case 48:
        case 96:
            return value * 100;
        case 19:
            return 19200;
        default:
            return value;
    }
}

bool Parity(Cursor& c, DCB* dcb) {
    static const char kLetters[] = "noems";  // NOPARITY .. SPACEPARITY
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(c.Take())));
    const char* found = letter ? std::strchr(kLetters, letter) : nullptr;
    if (!found) return false;
    dcb->Parity = static_cast<BYTE>(found - kLetters);
    return true;
}

bool DataBits(Cursor& c, DCB* dcb) {
    DWORD bits = 0;
    if (!c.Number(&bits) || bits < 5 || bits > 8) return false;
    dcb->ByteSize = static_cast<BYTE>(bits);
    return true;
}

bool StopBits(Cursor& c, DCB* dcb) {
    if (c.SkipWord("1.5")) {
        dcb->StopBits = ONE5STOPBITS;
        return true;
    }
    DWORD bits = 0;
    if (!c.Number(&bits) || (bits != 1 && bits != 2)) return false;
    dcb->StopBits = bits == 1 ? ONESTOPBIT : TWOSTOPBITS;
    return true;
}

bool OnOff(Cursor& c, DWORD* on) {
    if (c.SkipWord("on")) {
        *on = 1;
    } else if (c.SkipWord("off")) {
        *on = 0;
    } else {
        return false;
    }
    return true;
}

// "COMn" with n from 1, then a colon or a space.
bool DevicePrefix(Cursor& c) {
    if (!c.SkipWord("COM")) return true;
    if (c.Peek() < '1' || c.Peek() > '9') return false;
    DWORD port = 0;
    c.Number(&port);
    if (c.Peek() != ':' && c.Peek() != ' ') return false;
    c.SkipSpaces();
    if (c.Skip(':')) c.SkipSpaces();
    return true;
}

bool Comma(Cursor& c) {
    c.SkipSpaces();
    if (!c.Skip(',')) return false;
    c.SkipSpaces();
    return true;
}

// The old form's flow control: none, x (XON/XOFF) or p (hardware).
bool OldFlow(char letter, DCB* dcb) {
    letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    if (letter != '\0' && letter != 'x' && letter != 'p') return false;
    const bool hardware = letter == 'p';
    dcb->fInX = dcb->fOutX = letter == 'x';
    dcb->fOutxCtsFlow = dcb->fOutxDsrFlow = hardware;
    dcb->fDtrControl = hardware ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
    dcb->fRtsControl = hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    return true;
}

bool ParseOld(Cursor& c, DCB* dcb) {
    DWORD rate = 0;
    if (!c.Number(&rate)) return false;
    dcb->BaudRate = Rate(rate);
    if (!Comma(c) || !Parity(c, dcb) || !Comma(c) || !DataBits(c, dcb) || !Comma(c) || !StopBits(c, dcb)) return false;
    c.SkipSpaces();
    char flow = '\0';
    if (c.Skip(',')) {
        c.SkipSpaces();
        flow = c.Take();
        c.SkipSpaces();
    }
    return OldFlow(flow, dcb) && c.AtEnd();
}

// dtr= and rts= take MODE's handshake values as well.
bool LineControl(Cursor& c, DWORD* control, bool rts) {
    DWORD on = 0;
    if (c.SkipWord("hs")) {
        *control = rts ? RTS_CONTROL_HANDSHAKE : DTR_CONTROL_HANDSHAKE;
    } else if (rts && c.SkipWord("tg")) {
        *control = RTS_CONTROL_TOGGLE;
    } else if (OnOff(c, &on)) {
        *control = on;  // ENABLE is 1, DISABLE 0 for both lines
    } else {
        return false;
    }
    return true;
}

struct Named {
    bool baud = false;
    bool stop = false;
};

// One "key=value" of the new form.
bool NewSetting(Cursor& c, DCB* dcb, Named* named) {
    DWORD value = 0;
    if (c.SkipWord("baud=")) {
        named->baud = true;
        if (!c.Number(&value)) return false;
        dcb->BaudRate = Rate(value);
    } else if (c.SkipWord("parity=")) {
        return Parity(c, dcb);
    } else if (c.SkipWord("data=")) {
        return DataBits(c, dcb);
    } else if (c.SkipWord("stop=")) {
        named->stop = true;
        return StopBits(c, dcb);
    } else if (c.SkipWord("to=")) {
        return OnOff(c, &value);  // time-outs live in COMMTIMEOUTS
    } else if (c.SkipWord("xon=")) {
        if (!OnOff(c, &value)) return false;
        dcb->fOutX = dcb->fInX = value;
    } else if (c.SkipWord("odsr=")) {
        if (!OnOff(c, &value)) return false;
        dcb->fOutxDsrFlow = value;
    } else if (c.SkipWord("octs=")) {
        if (!OnOff(c, &value)) return false;
        dcb->fOutxCtsFlow = value;
    } else if (c.SkipWord("idsr=")) {
        if (!OnOff(c, &value)) return false;
        dcb->fDsrSensitivity = value;
    } else if (c.SkipWord("dtr=")) {
        if (!LineControl(c, &value, false)) return false;
        dcb->fDtrControl = value;
    } else if (c.SkipWord("rts=")) {
        if (!LineControl(c, &value, true)) return false;
        dcb->fRtsControl = value;
    } else {
        return false;
    }
    return true;
}

bool ParseNew(Cursor& c, DCB* dcb) {
    Named named;
    for (c.SkipSpaces(); !c.AtEnd(); c.SkipSpaces()) {
        if (!NewSetting(c, dcb, &named)) return false;
        if (!c.AtEnd() && c.Peek() != ' ') return false;
    }
    if (!named.stop) dcb->StopBits = named.baud && dcb->BaudRate == 110 ? TWOSTOPBITS : ONESTOPBIT;
    return true;
}

}  // namespace

bool ParseCommDefinition(const char* text, DCB* dcb) {
    if (!text || !dcb) return false;
    Cursor c(text);
    if (c.Peek() == ' ' || !DevicePrefix(c) || c.AtEnd()) return false;
    DCB parsed = *dcb;
    parsed.DCBlength = sizeof(DCB);
    if (!(c.Contains(',') ? ParseOld(c, &parsed) : ParseNew(c, &parsed))) return false;
    *dcb = parsed;
    return true;
}

}  // namespace w32
