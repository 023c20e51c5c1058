// Threads, and (from afxdlg.h) windows and dialogs of the small framework.
#ifndef AFX_WIN_H
#define AFX_WIN_H

#include "afx.h"

typedef UINT(__cdecl* AFX_THREADPROC)(LPVOID);

// A worker thread. With m_bAutoDelete (the default) the object deletes itself
// and closes m_hThread when the thread function returns, as MFC's does.
class CWinThread : public CObject {
    DECLARE_DYNAMIC(CWinThread)
public:
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    ~CWinThread() override;

    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
    DWORD ResumeThread();
    BOOL SetThreadPriority(int nPriority);

    HANDLE m_hThread;
    DWORD m_nThreadID;
    BOOL m_bAutoDelete;

private:
    static DWORD WINAPI ThreadEntry(LPVOID pThis);

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
    HANDLE m_hStarted;  // the thread waits for it, so m_hThread is set before it runs
};

// Creates a worker thread; null when it cannot be created.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority = THREAD_PRIORITY_NORMAL,
                           UINT nStackSize = 0, DWORD dwCreateFlags = 0,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);

#if __has_include("afxstr.h")
#include "afxstr.h"
#endif
#if __has_include("afxdlg.h")
#include "afxdlg.h"
#endif

#endif
