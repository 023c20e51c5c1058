// Kernel objects of the Linux stand-in: handles, events, threads, errors,
// modules and resources.
#ifndef W32_KERNEL_H
#define W32_KERNEL_H

#include "types.h"

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

struct OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    union {
        struct {
            DWORD Offset;
            DWORD OffsetHigh;
        };
        LPVOID Pointer;
    };
    HANDLE hEvent;
};
typedef OVERLAPPED* LPOVERLAPPED;

typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID lpParameter);

#define WAIT_OBJECT_0 0u
#define WAIT_ABANDONED 0x80u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu
#define STILL_ACTIVE 259u
#define CREATE_SUSPENDED 0x4u
#define THREAD_PRIORITY_NORMAL 0
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3
#define DUPLICATE_CLOSE_SOURCE 0x1u
#define DUPLICATE_SAME_ACCESS 0x2u

#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_VERSION MAKEINTRESOURCEA(16)
#define RT_DLGINIT MAKEINTRESOURCEA(240)

WIN32_API BOOL WINAPI CloseHandle(HANDLE hObject);
WIN32_API BOOL WINAPI DuplicateHandle(HANDLE hSourceProcess, HANDLE hSource, HANDLE hTargetProcess, LPHANDLE lpTarget,
                                      DWORD dwAccess, BOOL bInherit, DWORD dwOptions);
WIN32_API HANDLE WINAPI GetCurrentProcess(void);
WIN32_API DWORD WINAPI GetLastError(void);
WIN32_API void WINAPI SetLastError(DWORD dwErrCode);

WIN32_API HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES lpAttributes, BOOL bManualReset, BOOL bInitialState,
                                     LPCSTR lpName);
WIN32_API BOOL WINAPI SetEvent(HANDLE hEvent);
WIN32_API BOOL WINAPI ResetEvent(HANDLE hEvent);
WIN32_API DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

WIN32_API HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpAttributes, SIZE_T dwStackSize,
                                     LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                                     LPDWORD lpThreadId);
WIN32_API DWORD WINAPI ResumeThread(HANDLE hThread);
WIN32_API BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
WIN32_API BOOL WINAPI SetThreadPriority(HANDLE hThread, int nPriority);
WIN32_API DWORD WINAPI GetCurrentThreadId(void);
WIN32_API void WINAPI Sleep(DWORD dwMilliseconds);
WIN32_API DWORD WINAPI GetTickCount(void);

WIN32_API HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
WIN32_API DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

typedef INT_PTR(WINAPI* FARPROC)();
WIN32_API HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
WIN32_API BOOL WINAPI FreeLibrary(HMODULE hLibModule);
WIN32_API FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);

WIN32_API HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
WIN32_API HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
WIN32_API LPVOID WINAPI LockResource(HGLOBAL hResData);
WIN32_API DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);
WIN32_API BOOL WINAPI FreeResource(HGLOBAL hResData);

WIN32_API int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                         WCHAR* lpWideCharStr, int cchWideChar);
WIN32_API int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, const WCHAR* lpWideCharStr, int cchWideChar,
                                         LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                         LPBOOL lpUsedDefaultChar);
#define CP_ACP 0
#define CP_UTF8 65001

#endif
