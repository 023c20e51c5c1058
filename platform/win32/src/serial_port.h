// A serial port of the Linux stand-in: a tty in raw, non-blocking mode plus
// a wake-up descriptor. Received bytes are moved from the tty into the port's
// own input buffer, as a Windows driver moves them into its input queue, so
// that a character's arrival is an event (EV_RXCHAR) once and not for as long
// as it waits unread. The tty plays the device's own buffer: it is read when
// poll() reports input, and where a caller must know at once, but not again
// for the query and the wait that follow a wake-up (m_freshForQuery).
// Overlapped operations that cannot finish at once are kept in a small table
// and finished by whoever calls GetOverlappedResult, which blocks in poll()
// on the tty and the wake-up descriptor; SetCommMask, CancelIo, PurgeComm,
// closing the handle and fault changes wake it from other threads. Injected
// faults are taken at the edge (serial_faults.h).
#pragma once

#include <sys/types.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "object.h"
#include "serial_faults.h"

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
    BOOL ClearError(LPCOMSTAT stat);
    BOOL GetState(LPDCB dcb);
    BOOL SetState(const DCB& dcb);
    BOOL GetTimeouts(LPCOMMTIMEOUTS timeouts);
    BOOL SetTimeouts(const COMMTIMEOUTS& timeouts);

    // Makes a blocked Result() look again (fault changes, shutdown).
    void Wake();
    int ComIndex() const { return m_com; }

private:
    using Kind = SerialIo;
    using Clock = std::chrono::steady_clock;

    // One outstanding overlapped operation.
    struct Op {
        Kind kind = Kind::kNone;
        LPOVERLAPPED ov = nullptr;
        char* readTo = nullptr;
        const char* writeFrom = nullptr;
        DWORD size = 0;
        DWORD done = 0;
        LPDWORD mask = nullptr;
        Clock::time_point start;
        Clock::time_point lastByte;
        std::thread::id thread;  // the caller that started it, for CancelIo
        bool held = false;       // an injected fault holds it (a write that never goes out)
    };
    static constexpr int kMaxOps = 4;
    // The input queue of a Windows port is 4096 bytes unless SetupComm asks
    // for more.
    static constexpr DWORD kInputSize = 4096;

    SerialPort(int fd, int wake, int com, dev_t dev, ino_t ino, bool overlapped);

    BOOL Start(Op op, LPDWORD done, LPOVERLAPPED ov);
    // A free slot for an operation on the record, or null with the error.
    Op* Slot(const Op& op, const OVERLAPPED* record, DWORD* error);
    Op* FindOp(const OVERLAPPED* ov);
    // One look at an operation: the injected faults, then the rules of its
    // kind. True when it has ended (the result is then in its OVERLAPPED).
    // `lookAtTty`: read the tty even though no poll has reported input.
    // *deadline gets the next time it needs a look, when there is one.
    bool Look(Op& op, bool lookAtTty, Clock::time_point* deadline);
    // The rules of each kind: true when the operation is done, *error then
    // 0 or its failure.
    bool WaitDone(Op& op, bool lookAtTty, DWORD* error);
    bool ReadDone(Op& op, bool lookAtTty, Clock::time_point* deadline, DWORD* error);
    bool WriteDone(Op& op, DWORD* error);
    // When a read that is not done yet ends by its time-outs; max() for
    // never, a time not after `now` for at once.
    Clock::time_point ReadEnd(const Op& op, Clock::time_point now) const;
    // Blocks in poll() until the tty or the wake-up descriptor has news for
    // the operation, or the deadline.
    void AwaitChange(const Op& op, Clock::time_point deadline, std::unique_lock<std::mutex>& lock);
    // Empties the wake-up descriptor of wakes that came while nobody waited,
    // before the look that precedes a wait: what they were for is seen by
    // that look, and the poll then blocks instead of returning at once.
    void DrainWakes();
    void ReadWakes();
    void Finish(Op& op, DWORD error);
    void FinishAll(Kind kind, DWORD error);
    // Moves what the tty holds into the input buffer, when poll() has
    // reported input or `lookAtTty`; an arrival is an event for a wait that
    // selects EV_RXCHAR. False when the tty has hung up.
    bool Pull(bool lookAtTty);
    DWORD Buffered() const { return m_inEnd - m_inStart; }
    DWORD TakeBuffered(char* to, DWORD size);

    int m_fd;
    int m_wake;
    // Wake() has written to m_wake since it was last emptied.
    std::atomic<bool> m_wakePending{false};
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
    // The tty may hold input no read has taken: poll() said so, or the last
    // read filled the buffer (or none has been made yet).
    bool m_ttyReady = true;
    // A wait has just completed on an arrival, right after the read that
    // brought it: the next status query, and the next wait when it starts,
    // take the input queue as it is and do not read the tty again. What
    // comes meanwhile is found by the next look (the wait's poll), as bytes
    // that came a moment later, so that a woken reader pays one poll and
    // one read per wake-up.
    bool m_freshForQuery = false;
    bool m_freshForWait = false;
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

// What GetOverlappedResult reports for a record that has ended.
BOOL OverlappedOutcome(const OVERLAPPED& ov, LPDWORD done);

// Win32 error for an errno of the tty.
DWORD ErrorFromErrno(int error);

}  // namespace w32
