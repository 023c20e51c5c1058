// Start and stop of a GPS link, on the host's UI thread.
#include "serial/GpsLink.h"

#include <afxwin.h>

#include <new>

#include "serial/GPSComm.h"
#include "serial/ModuleState.h"
#include "serial/ReceiverThread.h"
#include "shell/Texts.h"

// The receiver thread's object, kept (not auto-deleted) so that its handle
// stays valid until the stop has seen the thread end and closes it.
static CWinThread* g_pReceiverThread;
// Set while Open runs the start dialog: the link object under the dialog is
// not the stop's to touch.
static int g_bStarting;

// A link that no longer runs: its object deleted, the module state cleared.
static void DiscardLink() {
    delete g_pGPSComm;
    g_pGPSComm = nullptr;
}

void StartGpsLink() {
    // One link at a time: a second start (or one while the dialog is open)
    // would orphan the running link and its thread.
    if (g_pGPSComm) return;

    CGPSComm* pComm = nullptr;
    TRY {
        pComm = new (std::nothrow) CGPSComm;
        if (!pComm) AfxThrowMemoryException();
    }
    CATCH(CException, e) {
        e->Delete();
        g_pGPSComm = nullptr;
        AfxMessageBox(TEXT_OUT_OF_MEMORY, MB_ICONEXCLAMATION);
        return;
    }
    END_CATCH
    g_pGPSComm = pComm;

    g_bStarting = 1;
    int bOpened = pComm->Open();
    g_bStarting = 0;
    if (!bOpened) {
        DiscardLink();
        return;
    }

    CWinThread* pThread = AfxBeginThread(ReceiverThread, pComm, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!pThread) {
        // Undo the whole start: nothing may stay half running.
        pComm->m_bRunning.store(0);
        VPI_ReleaseGpsNavi();
        pComm->ClosePort();
        DiscardLink();
        AfxMessageBox(TEXT_OUT_OF_MEMORY, MB_ICONEXCLAMATION);
        return;
    }
    pThread->m_bAutoDelete = FALSE;
    g_pReceiverThread = pThread;
    g_hThread = pThread->m_hThread;
    pThread->ResumeThread();
}

void StopGpsLink() {
    if (!g_pGPSComm || g_bStarting) return;
    CGPSComm* pComm = g_pGPSComm;

    pComm->RequestStop();
    if (g_pReceiverThread) {
        // A thread that armed its wait just after the first mask change is
        // woken again by each further change; a read that is pending (its
        // bytes gone before it was issued) is ended by aborting it, and so is
        // a write that flow control holds.
        while (WaitForSingleObject(g_pReceiverThread->m_hThread, 1000) == WAIT_TIMEOUT) {
            SetCommMask(pComm->m_hComm, 0);
            PurgeComm(pComm->m_hComm, PURGE_RXABORT | PURGE_TXABORT);
        }
        delete g_pReceiverThread;  // closes the thread handle
        g_pReceiverThread = nullptr;
    }
    // Only now: no record reaches the host after its navigation is released.
    VPI_ReleaseGpsNavi();
    pComm->ClosePort();
    DiscardLink();
}

long __stdcall NaviCallback(int, unsigned int, long) { return -1; }
