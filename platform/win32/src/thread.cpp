// Threads: created running or suspended; the handle is signalled and the exit
// code set when the thread function returns.
#include <windows.h>
#include <win32_control.h>

#include <atomic>
#include <thread>
#include <time.h>

#include "object.h"

namespace {

class Thread : public w32::Waitable {
public:
    Thread() : Waitable(true, false) {}

    std::atomic<DWORD> m_exitCode{STILL_ACTIVE};
    std::mutex m_mutex;
    std::condition_variable m_resumed;
    DWORD m_suspendCount = 0;
    DWORD m_id = 0;
};

std::atomic<DWORD> g_nextThreadId{1};
std::atomic<int> g_failCreations{0};
std::atomic<size_t> g_runningThreads{0};
std::atomic<unsigned long long> g_sleeps{0};
thread_local DWORD t_threadId = 0;

}  // namespace

WIN32_API DWORD WINAPI GetCurrentThreadId(void) {
    if (t_threadId == 0) t_threadId = g_nextThreadId.fetch_add(1);
    return t_threadId;
}

WIN32_API HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress,
                                     LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (!lpStartAddress) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    for (int left = g_failCreations.load(); left > 0;) {
        if (g_failCreations.compare_exchange_weak(left, left - 1)) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
    }
    auto thread = std::make_shared<Thread>();
    thread->m_suspendCount = (dwCreationFlags & CREATE_SUSPENDED) ? 1 : 0;
    thread->m_id = g_nextThreadId.fetch_add(1);
    try {
        // The running thread holds its own reference, so closing the handle
        // early does not pull the object away from under it.
        ++g_runningThreads;
        std::thread([thread, lpStartAddress, lpParameter] {
            t_threadId = thread->m_id;
            {
                std::unique_lock<std::mutex> lock(thread->m_mutex);
                thread->m_resumed.wait(lock, [&] { return thread->m_suspendCount == 0; });
            }
            DWORD code = lpStartAddress(lpParameter);
            thread->m_exitCode = code;
            --g_runningThreads;
            thread->Signal();
        }).detach();
    } catch (const std::system_error&) {
        --g_runningThreads;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (lpThreadId) *lpThreadId = thread->m_id;
    return w32::InsertObject(thread);
}

WIN32_API DWORD WINAPI ResumeThread(HANDLE hThread) {
    auto thread = w32::LookupAs<Thread>(hThread);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<DWORD>(-1);
    }
    DWORD previous;
    {
        std::lock_guard<std::mutex> lock(thread->m_mutex);
        previous = thread->m_suspendCount;
        if (thread->m_suspendCount > 0) --thread->m_suspendCount;
    }
    thread->m_resumed.notify_all();
    return previous;
}

WIN32_API BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    auto thread = w32::LookupAs<Thread>(hThread);
    if (!thread || !lpExitCode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *lpExitCode = thread->m_exitCode;
    return TRUE;
}

WIN32_API BOOL WINAPI SetThreadPriority(HANDLE hThread, int) {
    if (!w32::LookupAs<Thread>(hThread)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;  // every thread runs at the normal priority here
}

WIN32_API void WINAPI Sleep(DWORD dwMilliseconds) {
    g_sleeps.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

WIN32_API DWORD WINAPI GetTickCount(void) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<DWORD>(now.tv_sec * 1000ull + now.tv_nsec / 1000000);
}

WIN32_API void W32FailThreadCreations(int count) { g_failCreations = count; }

WIN32_API size_t W32CountRunningThreads(void) { return g_runningThreads.load(); }

WIN32_API unsigned long long W32CountSleeps(void) { return g_sleeps.load(); }
