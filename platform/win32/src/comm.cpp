// Win32 file and serial communications entry points; the work is done by
// SerialPort.
#include <windows.h>

#include <cstring>

#include "serial_faults.h"
#include "serial_port.h"
#include "serial_registry.h"
#include "serial_termios.h"

namespace {

std::shared_ptr<w32::SerialPort> PortOf(HANDLE handle) {
    auto port = w32::LookupAs<w32::SerialPort>(handle);
    if (!port) SetLastError(ERROR_INVALID_HANDLE);
    return port;
}

// The port of a call that starts no operation, unless an injected fault
// has made the device vanish (then null, and the last error set).
std::shared_ptr<w32::SerialPort> PresentPortOf(HANDLE handle) {
    auto port = PortOf(handle);
    if (port && w32::InjectedVanish(port->ComIndex())) return nullptr;
    return port;
}

}  // namespace

WIN32_API HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                                    DWORD dwFlagsAndAttributes, HANDLE) {
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // Devices only exist; they are never created or truncated.
    if (dwCreationDisposition != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return w32::SerialPort::Open(lpFileName, dwFlagsAndAttributes);
}

WIN32_API BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                               LPOVERLAPPED lpOverlapped) {
    auto port = PortOf(hFile);
    if (port) w32::RunSerialHook(port->ComIndex(), W32_SERIAL_CALL_READ, hFile);
    return port ? port->Read(lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped) : FALSE;
}

WIN32_API BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    auto port = PortOf(hFile);
    return port ? port->Write(lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, lpOverlapped) : FALSE;
}

WIN32_API BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                                          BOOL bWait) {
    // An operation that has ended is read from its record, as Windows does,
    // even when the handle has been closed since.
    if (lpOverlapped && lpOverlapped->Internal != w32::kOverlappedPending && !w32::LookupObject(hFile))
        return w32::OverlappedOutcome(*lpOverlapped, lpNumberOfBytesTransferred);
    auto port = PortOf(hFile);
    return port ? port->Result(lpOverlapped, lpNumberOfBytesTransferred, bWait) : FALSE;
}

WIN32_API BOOL WINAPI CancelIo(HANDLE hFile) {
    auto port = PortOf(hFile);
    return port ? port->Cancel() : FALSE;
}

WIN32_API BOOL WINAPI GetCommState(HANDLE hFile, LPDCB lpDCB) {
    auto port = PortOf(hFile);
    return port ? port->GetState(lpDCB) : FALSE;
}

WIN32_API BOOL WINAPI SetCommState(HANDLE hFile, LPDCB lpDCB) {
    auto port = PortOf(hFile);
    if (!port) return FALSE;
    if (!lpDCB) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    w32::RunSerialHook(port->ComIndex(), W32_SERIAL_CALL_SET_STATE, hFile);
    port = PresentPortOf(hFile);
    return port ? port->SetState(*lpDCB) : FALSE;
}

WIN32_API BOOL WINAPI BuildCommDCBA(LPCSTR lpDef, LPDCB lpDCB) {
    if (!w32::ParseCommDefinition(lpDef, lpDCB)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

WIN32_API BOOL WINAPI GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    auto port = PortOf(hFile);
    return port ? port->GetTimeouts(lpCommTimeouts) : FALSE;
}

WIN32_API BOOL WINAPI SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    auto port = PortOf(hFile);
    if (!port) return FALSE;
    if (!lpCommTimeouts) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return port->SetTimeouts(*lpCommTimeouts);
}

WIN32_API BOOL WINAPI SetCommMask(HANDLE hFile, DWORD dwEvtMask) {
    auto port = PresentPortOf(hFile);
    return port ? port->SetMask(dwEvtMask) : FALSE;
}

WIN32_API BOOL WINAPI GetCommMask(HANDLE hFile, LPDWORD lpEvtMask) {
    auto port = PortOf(hFile);
    return port ? port->GetMask(lpEvtMask) : FALSE;
}

WIN32_API BOOL WINAPI WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped) {
    auto port = PortOf(hFile);
    if (port) w32::RunSerialHook(port->ComIndex(), W32_SERIAL_CALL_WAIT, hFile);
    return port ? port->WaitEvent(lpEvtMask, lpOverlapped) : FALSE;
}

WIN32_API BOOL WINAPI ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat) {
    // The stand-in sees no line errors; a failed call reports nothing queued.
    if (lpErrors) *lpErrors = 0;
    if (lpStat) std::memset(lpStat, 0, sizeof *lpStat);
    auto port = PresentPortOf(hFile);
    return port ? port->ClearError(lpStat) : FALSE;
}

WIN32_API BOOL WINAPI PurgeComm(HANDLE hFile, DWORD dwFlags) {
    auto port = PresentPortOf(hFile);
    return port ? port->Purge(dwFlags) : FALSE;
}
