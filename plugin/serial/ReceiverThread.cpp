// The receiver thread: waits for received characters, reads them, cuts the
// stream into sentences and feeds them to the line assembler.
#include <string.h>

#include "serial/GPSComm.h"
#include "serial/ModuleState.h"
#include "serial/ReceiverThread.h"

void ClearPortError(HANDLE hComm, DWORD /*dwLastError*/) {
    DWORD dwErrors = 0;
    COMSTAT cs;
    ClearCommError(hComm, &dwErrors, &cs);
}

// Completes an operation started on g_Overlapped: TRUE when it ended well.
static BOOL CompleteIo(HANDLE hComm, BOOL bStarted, DWORD* pdwTransfer) {
    if (bStarted) return TRUE;
    DWORD dwError = GetLastError();
    if (dwError != ERROR_IO_PENDING && dwError != 0) return FALSE;
    return GetOverlappedResult(hComm, &g_Overlapped, pdwTransfer, TRUE);
}

// A port that fails every call (an unplugged receiver) must not spin a core.
// The pause is cut into slices so that a stop still ends the thread at once.
static void PauseAfterFailure(CGPSComm* pComm) {
    for (int i = 0; i < 5 && pComm->IsRunning(); i++) Sleep(10);
}

// The Sony start command has to be out before the shared record carries the
// first wait. A line that cannot send (flow control held) is given a second.
static void SendSonyStart(CGPSComm* pComm, HANDLE hComm, DWORD* pdwTransfer) {
    if (WriteFile(hComm, "@DMS\n", 5, pdwTransfer, &g_Overlapped)) return;
    DWORD dwError = GetLastError();
    if (dwError != ERROR_IO_PENDING && dwError != 0) return;
    for (int i = 0; i < 50 && pComm->IsRunning(); i++) {
        if (GetOverlappedResult(hComm, &g_Overlapped, pdwTransfer, FALSE)) return;
        if (GetLastError() != ERROR_IO_INCOMPLETE) return;
        Sleep(20);
    }
    CancelIo(hComm);
    GetOverlappedResult(hComm, &g_Overlapped, pdwTransfer, TRUE);
}

// Reads the bytes that the status query found queued, in reads of at most
// 255 bytes, each framed at once. Windows reports a character's arrival once
// (EV_RXCHAR), not for as long as it waits unread, so nothing may be left
// for a later wake-up; bytes that arrive meanwhile raise the next one.
// 1 when all went well, 0 on a failing read or one that brought nothing.
static int ReadQueued(CGPSComm* pComm, HANDLE hComm, DWORD dwQueued, char* pRead, char* pszBuffer, char* pszSentence,
                      DWORD* pdwTransfer) {
    while (dwQueued > 0 && pComm->IsRunning()) {
        DWORD dwToRead = dwQueued < RECEIVER_READ_SIZE ? dwQueued : RECEIVER_READ_SIZE - 1;
        ResetEvent(g_Overlapped.hEvent);
        *pdwTransfer = 0;
        if (!CompleteIo(hComm, ReadFile(hComm, pRead, dwToRead, pdwTransfer, &g_Overlapped), pdwTransfer)) return 0;
        DWORD dwRead = *pdwTransfer < RECEIVER_READ_SIZE ? *pdwTransfer : RECEIVER_READ_SIZE - 1;
        FrameReceived(pComm, pszBuffer, pRead, (int)dwRead, pszSentence);
        if (dwRead == 0) return 0;  // a port that reports bytes and delivers none
        dwQueued -= dwRead < dwQueued ? dwRead : dwQueued;
    }
    return 1;
}

UINT ReceiverThread(LPVOID pParam) {
    CObject* pObject = (CObject*)pParam;
    if (!pObject || !pObject->IsKindOf(RUNTIME_CLASS(CGPSComm))) return 0xFFFFFFFF;
    CGPSComm* pComm = (CGPSComm*)pObject;
    HANDLE hComm = pComm->m_hComm;

    DWORD dwTransfer = 0;
    DWORD dwEvtMask = 0;
    DWORD dwErrors = 0;
    COMSTAT cs;
    char szRead[RECEIVER_READ_SIZE];
    char szSentence[RECEIVER_SENTENCE_SIZE];
    char szBuffer[RECEIVER_BUFFER_SIZE];
    szBuffer[0] = '\0';

    memset(&g_Overlapped, 0, sizeof(g_Overlapped));
    g_Overlapped.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (pComm->m_nProtocol == NT_RECEIVER_SONY) SendSonyStart(pComm, hComm, &dwTransfer);
    ResetEvent(g_Overlapped.hEvent);
    SetCommMask(hComm, EV_RXCHAR);

    // What arrived before the mask was set raised no event, and neither do
    // bytes left behind by a failed turn: such a turn looks at the queue
    // without waiting.
    BOOL bWait = FALSE;
    int nFailures = 0;
    while (pComm->IsRunning()) {
        BOOL bOk = TRUE;
        if (bWait) {
            bOk = WaitCommEvent(hComm, &dwEvtMask, &g_Overlapped);
            if (bOk) {
                // Completed at once: its count is that of the wait, not of
                // the last read.
                GetOverlappedResult(hComm, &g_Overlapped, &dwTransfer, FALSE);
            } else {
                DWORD dwError = GetLastError();
                if (dwError == ERROR_IO_PENDING || dwError == 0) {
                    // A stop that came just before the wait was armed changed
                    // the mask too early to end it: look at the flag once more.
                    if (!pComm->IsRunning()) {
                        // A mask change ends the wait as well; Wine leaves a
                        // wait pending on CancelIo alone.
                        SetCommMask(hComm, 0);
                        CancelIo(hComm);
                        GetOverlappedResult(hComm, &g_Overlapped, &dwTransfer, TRUE);
                        break;
                    }
                    bOk = GetOverlappedResult(hComm, &g_Overlapped, &dwTransfer, TRUE);
                } else {
                    SetLastError(dwError);
                }
            }
            bOk = bOk && dwTransfer != 0 && (dwEvtMask & EV_RXCHAR);
        }
        BOOL bRead = FALSE;
        if (bOk) {
            memset(&cs, 0, sizeof(cs));
            ClearCommError(hComm, &dwErrors, &cs);
            bRead = cs.cbInQue != 0;
            if (bRead) {
                bOk = ReadQueued(pComm, hComm, cs.cbInQue, szRead, szBuffer, szSentence, &dwTransfer);
            } else if (bWait) {
                bOk = FALSE;  // woken, and nothing there
            }
        }
        if (!bOk) {
            ClearPortError(hComm, GetLastError());
            // One empty wake-up is routine on Windows (the bytes went with
            // the previous read); only failures in a row mean a port that
            // fails every call, and that must not spin a core.
            if (++nFailures > 1) PauseAfterFailure(pComm);
        } else if (bRead) {
            nFailures = 0;
        }
        bWait = bOk;
        ResetEvent(g_Overlapped.hEvent);
    }

    PurgeComm(hComm, PURGE_RXCLEAR);
    CloseHandle(g_Overlapped.hEvent);
    g_Overlapped.hEvent = NULL;
    return 0;
}
