// A serial port of the Linux stand-in: a tty in raw, non-blocking mode plus
// a wake-up descriptor. Received bytes are moved from the tty into the port's
// own input buffer, as a Windows driver moves them into its input queue, so
// that a character's arrival is an event (EV_RXCHAR) once and not for as long
// as it waits unread. Overlapped operations that cannot finish at once are
// kept in a small table and finished by whoever calls GetOverlappedResult,
// which blocks in poll() on the tty and the wake-up descriptor; SetCommMask,
// CancelIo, PurgeComm, closing the handle and injected faults finish them
// from other threads.
#pragma once

#include <sys/types.h>
#include <windows.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "object.h"

namespace w32 {

class SerialPort : public KernelObject {
public:
    // Opens the device behind a port name or path; INVALID_HANDLE_VALUE and
    // the last error on failure.
    static HANDLE Open(LPCSTR name, DWORD flags);
    ~SerialPort() override;
    void LastHandleClosed() override;

    BOOL Read(LPVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED ov);
    BOOL Write(LPCVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED ov);
    BOOL WaitEvent(LPDWORD mask, LPOVERLAPPED ov);
    BOOL Result(LPOVERLAPPED ov, LPDWORD done, BOOL wait);
    BOOL Cancel();
    BOOL Purge(DWORD flags);
    BOOL SetMask(DWORD mask);
    BOOL GetMask(LPDWORD mask);
    BOOL ClearError(LPDWORD errors, LPCOMSTAT stat);
    BOOL GetState(LPDCB dcb);
    BOOL SetState(const DCB& dcb);
    BOOL GetTimeouts(LPCOMMTIMEOUTS timeouts);
    BOOL SetTimeouts(const COMMTIMEOUTS& timeouts);

    // Makes a blocked Result() look again (fault changes, shutdown).
    void Wake();
    int ComIndex() const { return m_com; }

private:
    enum class Kind { kFree, kRead, kWrite, kWait };
    using Clock = std::chrono::steady_clock;

    // One outstanding overlapped operation.
    struct Op {
        Kind kind = Kind::kFree;
        LPOVERLAPPED ov = nullptr;
        char* readTo = nullptr;
        const char* writeFrom = nullptr;
        DWORD size = 0;
        DWORD done = 0;
        LPDWORD mask = nullptr;
        Clock::time_point start;
        Clock::time_point lastByte;
        std::thread::id thread;  // the caller that started it, for CancelIo
        bool looked = false;     // Start has just looked and found it unfinished
        bool stuck = false;      // an injected write that never goes out
    };
    static constexpr int kMaxOps = 4;
    // The input queue of a Windows port is 4096 bytes unless SetupComm asks
    // for more.
    static constexpr DWORD kInputSize = 4096;

    SerialPort(int fd, int wake, int com, dev_t dev, ino_t ino, bool overlapped);

    BOOL Start(Op op, LPDWORD done, LPOVERLAPPED ov);
    Op* FindOp(const OVERLAPPED* ov);
    // One attempt to finish an operation; true when it has ended (then the
    // result is in its OVERLAPPED). *deadline gets the next time it needs
    // to look again, when there is one.
    bool Progress(Op& op, Clock::time_point* deadline);
    void Finish(Op& op, DWORD error);
    void FinishAll(Kind kind, DWORD error);
    bool InjectedFault(int kind, DWORD* error);
    // Moves what the tty holds into the input buffer; an arrival is an event
    // for a wait that selects EV_RXCHAR. False when the tty has hung up.
    bool Pull();
    DWORD Buffered() const { return m_inEnd - m_inStart; }
    DWORD TakeBuffered(char* to, DWORD size);

    int m_fd;
    int m_wake;
    int m_com;
    dev_t m_dev;
    ino_t m_ino;
    bool m_overlapped;
    bool m_claimed = false;

    std::mutex m_mutex;
    DWORD m_mask = 0;
    // EV_RXCHAR has happened since the last wait completed or the mask changed.
    bool m_rxEvent = false;
    bool m_hungUp = false;
    // Bytes written may still wait in the tty's output queue.
    bool m_outPending = false;
    char m_in[kInputSize];
    DWORD m_inStart = 0;
    DWORD m_inEnd = 0;
    DCB m_dcb{};
    COMMTIMEOUTS m_timeouts{};
    Op m_ops[kMaxOps];
};

// The Internal member of an OVERLAPPED holds this while the operation is
// outstanding, then 0 or the Win32 error it ended with.
constexpr ULONG_PTR kOverlappedPending = 0x103;

// Win32 error for an errno of the tty.
DWORD ErrorFromErrno(int error);

}  // namespace w32
