// Worker threads.
#include <afxwin.h>

#include <new>

IMPLEMENT_DYNAMIC(CWinThread, CObject)

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_hThread(nullptr),
      m_nThreadID(0),
      m_bAutoDelete(TRUE),
      m_pfnThreadProc(pfnThreadProc),
      m_pThreadParams(pParam),
      m_hStarted(nullptr) {}

CWinThread::~CWinThread() {
    if (m_hThread) CloseHandle(m_hThread);
    if (m_hStarted) CloseHandle(m_hStarted);
}

DWORD WINAPI CWinThread::ThreadEntry(LPVOID pThis) {
    auto* self = static_cast<CWinThread*>(pThis);
    WaitForSingleObject(self->m_hStarted, INFINITE);
    UINT code = self->m_pfnThreadProc(self->m_pThreadParams);
    if (self->m_bAutoDelete) delete self;
    return code;
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    m_hStarted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!m_hStarted) return FALSE;
    m_hThread = ::CreateThread(lpSecurityAttrs, nStackSize, &CWinThread::ThreadEntry, this,
                               dwCreateFlags | CREATE_SUSPENDED, &m_nThreadID);
    if (!m_hThread) return FALSE;
    // Let the thread past its start gate only once the handle is stored here.
    SetEvent(m_hStarted);
    if (!(dwCreateFlags & CREATE_SUSPENDED)) ::ResumeThread(m_hThread);
    return TRUE;
}

DWORD CWinThread::ResumeThread() { return ::ResumeThread(m_hThread); }

BOOL CWinThread::SetThreadPriority(int nPriority) { return ::SetThreadPriority(m_hThread, nPriority); }

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority, UINT nStackSize,
                           DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    CWinThread* pThread = new (std::nothrow) CWinThread(pfnThreadProc, pParam);
    if (!pThread) return nullptr;
    if (!pThread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs)) {
        delete pThread;
        return nullptr;
    }
    pThread->SetThreadPriority(nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED)) pThread->ResumeThread();
    return pThread;
}
