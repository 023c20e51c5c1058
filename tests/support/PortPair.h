// A null-modem cable for the tests that run a live link: the plug-in opens
// the COM port `comName`, the test plays the receiver at the cable's other
// end with Write and Read.
//
// Linux: a pseudo-terminal (PtyPair.h), its port side mapped to the COM name.
// Windows: two COM ports joined by a cable, named by the runner in
// NT_TEST_NULL_MODEM as "COM2 COM5" (the plug-in's port, then the test's).
// Under Wine scripts/test joins two linked pseudo-terminals with socat and
// points the prefix's ports at them. The cable is shared by every test of a
// program, so each pair starts by emptying both ends.
#pragma once

#ifndef _WIN32
#include "PtyPair.h"
using PortPair = PtyPair;
#else
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Timing.h"

class PortPair {
public:
    explicit PortPair(const char* comName = "COM2") : m_comName(comName) {
        const char* cable = getenv("NT_TEST_NULL_MODEM");
        char port[16] = {}, device[16] = {};
        if (!cable || sscanf(cable, "%15s %15s", port, device) != 2 || m_comName != port) return;
        m_device = Open(device, GENERIC_READ | GENERIC_WRITE);
        if (m_device == INVALID_HANDLE_VALUE) return;
        // 8 data bits, no translation of what the test sends.
        DCB dcb;
        memset(&dcb, 0, sizeof dcb);
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(m_device, &dcb) || !BuildCommDCBA("96,N,8,1", &dcb) || !SetCommState(m_device, &dcb)) return;
        // Bytes an earlier test left on the cable, in either direction.
        HANDLE portSide = Open(port, GENERIC_READ | GENERIC_WRITE);
        if (portSide == INVALID_HANDLE_VALUE) return;
        Sleep(20);
        PurgeComm(portSide, PURGE_RXCLEAR | PURGE_TXCLEAR);
        PurgeComm(m_device, PURGE_RXCLEAR | PURGE_TXCLEAR);
        CloseHandle(portSide);
        m_ok = true;
    }

    ~PortPair() {
        if (m_device != INVALID_HANDLE_VALUE) CloseHandle(m_device);
    }

    PortPair(const PortPair&) = delete;
    PortPair& operator=(const PortPair&) = delete;

    // False (and the reason on stderr) when the runner has not cabled the port.
    bool ok() const {
        if (!m_ok)
            fprintf(stderr, "%s is not cabled: NT_TEST_NULL_MODEM must name it and a second COM port\n",
                    m_comName.c_str());
        return m_ok;
    }
    const char* comName() const { return m_comName.c_str(); }

    bool Write(const std::string& bytes) { return Write(bytes.data(), bytes.size()); }
    bool Write(const char* data, size_t size) {
        while (size > 0) {
            DWORD chunk = size > 65536 ? 65536 : static_cast<DWORD>(size), written = 0;
            if (!WriteFile(m_device, data, chunk, &written, nullptr) || written == 0) return false;
            data += written;
            size -= written;
        }
        return true;
    }

    // What the plug-in sent, waiting up to timeoutMs for at least `atLeast`
    // bytes.
    std::string Read(size_t atLeast, int timeoutMs = kPatienceMs) {
        std::string got;
        DWORD start = GetTickCount();
        // Reads what is queued; Wine does not end a read early on the
        // "return when a byte arrives" timeouts, so the queue is polled.
        COMMTIMEOUTS timeouts = {MAXDWORD, 0, 0, 0, 0};
        SetCommTimeouts(m_device, &timeouts);
        while (got.size() < atLeast && GetTickCount() - start < static_cast<DWORD>(timeoutMs)) {
            char buffer[256];
            DWORD n = 0;
            if (!ReadFile(m_device, buffer, sizeof buffer, &n, nullptr)) break;
            if (n == 0) Sleep(5);
            got.append(buffer, n);
        }
        return got;
    }

private:
    static HANDLE Open(const char* name, DWORD access) {
        std::string path = std::string("\\\\.\\") + name;
        return CreateFileA(path.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }

    std::string m_comName;
    HANDLE m_device = INVALID_HANDLE_VALUE;
    bool m_ok = false;
};
#endif
