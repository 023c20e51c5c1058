// Win32 file and serial communications entry points; the work is done by
// SerialPort.
#include <windows.h>

#include "serial_port.h"
#include "serial_registry.h"
#include "serial_termios.h"

namespace {

std::shared_ptr<w32::SerialPort> PortOf(HANDLE handle) {
    auto port = w32::LookupAs<w32::SerialPort>(handle);
    if (!port) SetLastError(ERROR_INVALID_HANDLE);
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
    if (lpOverlapped && lpOverlapped->Internal != w32::kOverlappedPending && !w32::LookupObject(hFile)) {
        if (lpNumberOfBytesTransferred) *lpNumberOfBytesTransferred = static_cast<DWORD>(lpOverlapped->InternalHigh);
        if (lpOverlapped->Internal == 0) return TRUE;
        SetLastError(static_cast<DWORD>(lpOverlapped->Internal));
        return FALSE;
    }
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
    return port->SetState(*lpDCB);
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
    auto port = PortOf(hFile);
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
    auto port = PortOf(hFile);
    return port ? port->ClearError(lpErrors, lpStat) : FALSE;
}

WIN32_API BOOL WINAPI PurgeComm(HANDLE hFile, DWORD dwFlags) {
    auto port = PortOf(hFile);
    return port ? port->Purge(dwFlags) : FALSE;
}
