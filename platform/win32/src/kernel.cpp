// Handles, last error, events and waits.
#include <windows.h>
#include <win32_control.h>

#include "object.h"

namespace {
thread_local DWORD t_lastError = 0;
}

WIN32_API DWORD WINAPI GetLastError(void) { return t_lastError; }
WIN32_API void WINAPI SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }

WIN32_API BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (!w32::RemoveObject(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

WIN32_API HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }

WIN32_API BOOL WINAPI DuplicateHandle(HANDLE hSourceProcess, HANDLE hSource, HANDLE hTargetProcess, LPHANDLE lpTarget,
                                      DWORD, BOOL, DWORD dwOptions) {
    if (hSourceProcess != GetCurrentProcess() || hTargetProcess != GetCurrentProcess() || !lpTarget) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto object = w32::LookupObject(hSource);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *lpTarget = w32::InsertObject(object);
    if (dwOptions & DUPLICATE_CLOSE_SOURCE) w32::RemoveObject(hSource);
    return TRUE;
}

WIN32_API HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
    if (lpName) {  // named events are not needed by anything here
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return w32::InsertObject(std::make_shared<w32::Event>(bManualReset != FALSE, bInitialState != FALSE));
}

static std::shared_ptr<w32::Event> EventOf(HANDLE hEvent) {
    auto event = w32::LookupAs<w32::Event>(hEvent);
    if (!event) SetLastError(ERROR_INVALID_HANDLE);
    return event;
}

WIN32_API BOOL WINAPI SetEvent(HANDLE hEvent) {
    auto event = EventOf(hEvent);
    if (!event) return FALSE;
    event->Signal();
    return TRUE;
}

WIN32_API BOOL WINAPI ResetEvent(HANDLE hEvent) {
    auto event = EventOf(hEvent);
    if (!event) return FALSE;
    event->Unsignal();
    return TRUE;
}

WIN32_API DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    auto object = std::dynamic_pointer_cast<w32::Waitable>(w32::LookupObject(hHandle));
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return object->Wait(dwMilliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

WIN32_API size_t W32CountHandles(void) { return w32::CountObjects(); }
