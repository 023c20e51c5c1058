// BuildCommDCBA's text: the MODE command's short form ("96,N,8,1") and its
// long form ("baud=9600 parity=N data=8 stop=1"), with an optional "COMn:".
#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "serial_termios.h"

namespace w32 {
namespace {

// MODE's two-digit baud abbreviations; any other number is the rate itself.
bool ParseBaud(const std::string& text, DWORD* rate) {
    if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
    switch (value) {
        case 11:
            *rate = 110;
            break;
        case 15:
            *rate = 150;
            break;
        case 30:
            *rate = 300;
            break;
        case 60:
            *rate = 600;
            break;
        case 12:
            *rate = 1200;
            break;
        case 24:
            *rate = 2400;
            break;
        case 48:
            *rate = 4800;
            break;
        case 96:
            *rate = 9600;
            break;
        case 19:
            *rate = 19200;
            break;
        default:
            if (value == 0) return false;
            *rate = static_cast<DWORD>(value);
    }
    return true;
}

bool ParseParity(const std::string& text, DCB* dcb) {
    if (text.size() != 1) return false;
    switch (std::tolower(static_cast<unsigned char>(text[0]))) {
        case 'n':
            dcb->Parity = NOPARITY;
            break;
        case 'e':
            dcb->Parity = EVENPARITY;
            break;
        case 'o':
            dcb->Parity = ODDPARITY;
            break;
        case 'm':
            dcb->Parity = MARKPARITY;
            break;
        case 's':
            dcb->Parity = SPACEPARITY;
            break;
        default:
            return false;
    }
    dcb->fParity = dcb->Parity != NOPARITY;
    return true;
}

bool ParseData(const std::string& text, DCB* dcb) {
    if (text.size() != 1 || text[0] < '5' || text[0] > '8') return false;
    dcb->ByteSize = static_cast<BYTE>(text[0] - '0');
    return true;
}

bool ParseStop(const std::string& text, DCB* dcb) {
    if (text == "1") {
        dcb->StopBits = ONESTOPBIT;
    } else if (text == "1.5") {
        dcb->StopBits = ONE5STOPBITS;
    } else if (text == "2") {
        dcb->StopBits = TWOSTOPBITS;
    } else {
        return false;
    }
    return true;
}

bool ParseOnOff(const std::string& text, bool* on) {
    if (strcasecmp(text.c_str(), "on") == 0) {
        *on = true;
    } else if (strcasecmp(text.c_str(), "off") == 0) {
        *on = false;
    } else {
        return false;
    }
    return true;
}

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

// No flow control unless the text names it.
void FlowOff(DCB* dcb) {
    dcb->fOutX = 0;
    dcb->fInX = 0;
    dcb->fOutxCtsFlow = 0;
    dcb->fOutxDsrFlow = 0;
    dcb->fDsrSensitivity = 0;
    dcb->fDtrControl = DTR_CONTROL_ENABLE;
    dcb->fRtsControl = RTS_CONTROL_ENABLE;
}

bool ParseShort(const std::string& text, DCB* dcb) {
    std::string fields[6];
    int count = 0;
    size_t from = 0;
    for (;;) {
        if (count == 6) return false;
        size_t comma = text.find(',', from);
        fields[count++] = Trim(text.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    if (!ParseBaud(fields[0], &dcb->BaudRate)) return false;
    if (count > 1 && !ParseParity(fields[1], dcb)) return false;
    if (count > 2 && !ParseData(fields[2], dcb)) return false;
    if (count > 3 && !ParseStop(fields[3], dcb)) return false;
    if (count > 5) return false;
    if (count > 4) {
        if (strcasecmp(fields[4].c_str(), "x") == 0) {
            dcb->fOutX = dcb->fInX = 1;
        } else if (strcasecmp(fields[4].c_str(), "p") == 0) {
            dcb->fOutxCtsFlow = dcb->fOutxDsrFlow = 1;
            dcb->fDtrControl = DTR_CONTROL_HANDSHAKE;
            dcb->fRtsControl = RTS_CONTROL_HANDSHAKE;
        } else {
            return false;
        }
    }
    return true;
}

bool ParseLong(const std::string& text, DCB* dcb) {
    size_t from = 0;
    while (from < text.size()) {
        size_t begin = text.find_first_not_of(" \t", from);
        if (begin == std::string::npos) break;
        size_t end = text.find_first_of(" \t", begin);
        std::string token = text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        from = end == std::string::npos ? text.size() : end;

        size_t equals = token.find('=');
        if (equals == std::string::npos) return false;
        std::string key = token.substr(0, equals);
        std::string value = token.substr(equals + 1);
        bool on = false;
        if (strcasecmp(key.c_str(), "baud") == 0) {
            if (!ParseBaud(value, &dcb->BaudRate)) return false;
        } else if (strcasecmp(key.c_str(), "parity") == 0) {
            if (!ParseParity(value, dcb)) return false;
        } else if (strcasecmp(key.c_str(), "data") == 0) {
            if (!ParseData(value, dcb)) return false;
        } else if (strcasecmp(key.c_str(), "stop") == 0) {
            if (!ParseStop(value, dcb)) return false;
        } else if (strcasecmp(key.c_str(), "xon") == 0) {
            if (!ParseOnOff(value, &on)) return false;
            dcb->fOutX = dcb->fInX = on;
        } else if (strcasecmp(key.c_str(), "octs") == 0) {
            if (!ParseOnOff(value, &on)) return false;
            dcb->fOutxCtsFlow = on;
        } else if (strcasecmp(key.c_str(), "odsr") == 0) {
            if (!ParseOnOff(value, &on)) return false;
            dcb->fOutxDsrFlow = on;
        } else if (strcasecmp(key.c_str(), "idsr") == 0) {
            if (!ParseOnOff(value, &on)) return false;
            dcb->fDsrSensitivity = on;
        } else if (strcasecmp(key.c_str(), "dtr") == 0) {
            if (strcasecmp(value.c_str(), "hs") == 0) {
                dcb->fDtrControl = DTR_CONTROL_HANDSHAKE;
            } else if (ParseOnOff(value, &on)) {
                dcb->fDtrControl = on ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
            } else {
                return false;
            }
        } else if (strcasecmp(key.c_str(), "rts") == 0) {
            if (strcasecmp(value.c_str(), "hs") == 0) {
                dcb->fRtsControl = RTS_CONTROL_HANDSHAKE;
            } else if (strcasecmp(value.c_str(), "tg") == 0) {
                dcb->fRtsControl = RTS_CONTROL_TOGGLE;
            } else if (ParseOnOff(value, &on)) {
                dcb->fRtsControl = on ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
            } else {
                return false;
            }
        } else if (strcasecmp(key.c_str(), "to") == 0) {
            if (!ParseOnOff(value, &on)) return false;  // time-outs live in COMMTIMEOUTS
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ParseCommDefinition(const char* text, DCB* dcb) {
    if (!text || !dcb) return false;
    std::string definition = Trim(text);
    // An optional device prefix, "COM1:".
    if (definition.size() >= 4 && strncasecmp(definition.c_str(), "COM", 3) == 0) {
        size_t colon = definition.find(':');
        if (colon == std::string::npos) return false;
        definition = Trim(definition.substr(colon + 1));
    }
    if (definition.empty()) return false;
    DCB parsed = *dcb;
    parsed.DCBlength = sizeof(DCB);
    parsed.fBinary = 1;
    FlowOff(&parsed);
    const bool ok =
        definition.find('=') != std::string::npos ? ParseLong(definition, &parsed) : ParseShort(definition, &parsed);
    if (!ok) return false;
    *dcb = parsed;
    return true;
}

}  // namespace w32
