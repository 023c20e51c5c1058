// Serial ports over termios: open, overlapped waits, reads and writes, and
// their completion in GetOverlappedResult.
#include "serial_port.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "serial_holder.h"
#include "serial_registry.h"
#include "serial_tap.h"
#include "serial_termios.h"

namespace w32 {
namespace {

void UnsignalEvent(HANDLE event) {
    if (!event) return;
    if (auto e = LookupAs<Event>(event)) e->Unsignal();
}

}  // namespace

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
        case ENOTDIR:
            return ERROR_FILE_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EBUSY:
            return ERROR_ACCESS_DENIED;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_GEN_FAILURE;  // EIO and friends: the device has failed
    }
}

SerialPort::SerialPort(int fd, int wake, int com, dev_t dev, ino_t ino, bool overlapped)
    : m_fd(fd), m_wake(wake), m_com(com), m_dev(dev), m_ino(ino), m_overlapped(overlapped) {}

SerialPort::~SerialPort() {
    // Leave the open set before the descriptors go, so that nobody wakes a
    // closed descriptor.
    if (m_claimed) ReleaseSerialDevice(m_dev, m_ino);
    // The tty may stay open elsewhere (a test's end of a pseudo-terminal):
    // its exclusive mode must not outlive this port.
    ioctl(m_fd, TIOCNXCL);
    close(m_wake);
    close(m_fd);  // drops the lock as well
}

void SerialPort::LastHandleClosed() {
    // As on Windows, closing the port ends the operations still pending on it.
    std::lock_guard<std::mutex> lock(m_mutex);
    FinishAll(Kind::kWait, ERROR_OPERATION_ABORTED);
    FinishAll(Kind::kRead, ERROR_OPERATION_ABORTED);
    FinishAll(Kind::kWrite, ERROR_OPERATION_ABORTED);
    Wake();
}

namespace {

// The device behind a port name, or a path given as it is; empty for
// anything else.
std::string DevicePath(LPCSTR name, int com) {
    if (com != 0) return DevicePathOf(com);
    if (name && name[0] == '/') return name;
    return {};
}

// Opens the tty for this process alone; -1 and *error when it cannot be had.
int OpenTty(const std::string& path, struct stat* st, termios* tio, DWORD* error) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // A serial driver without hardware behind the node answers EIO: for
        // Windows that port does not exist. EBUSY: another program holds it
        // in exclusive mode.
        *error = errno == EIO ? ERROR_FILE_NOT_FOUND : ErrorFromErrno(errno);
        return -1;
    }
    if (fstat(fd, st) != 0 || tcgetattr(fd, tio) != 0) {  // not a tty: not a port
        *error = ERROR_FILE_NOT_FOUND;
    } else if (flock(fd, LOCK_EX | LOCK_NB) != 0 || FindDeviceUser(st->st_rdev, nullptr) != 0) {
        // Windows opens a port for one user only, across all programs: an
        // advisory lock that every opener of this stand-in takes (and that
        // other careful programs honour), and no other process that has the
        // device open already (a reader without a lock would split the data
        // with us). Both end with the process that held the port.
        *error = ERROR_ACCESS_DENIED;
    } else {
        return fd;
    }
    close(fd);
    return -1;
}

}  // namespace

HANDLE SerialPort::Open(LPCSTR name, DWORD flags) {
    const int com = ComIndexOf(name);
    const std::string path = DevicePath(name, com);
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    CountSerial(com, SerialCounter::kOpen);
    if (InjectedOpenFailure(com)) return INVALID_HANDLE_VALUE;
    struct stat st;
    termios tio;
    DWORD error = ERROR_TOO_MANY_OPEN_FILES;
    const int fd = OpenTty(path, &st, &tio, &error);
    const int wake = fd < 0 ? -1 : eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake < 0) {
        if (fd >= 0) close(fd);
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    // A device node may have several names; the device number identifies it.
    dev_t dev = S_ISCHR(st.st_mode) ? st.st_rdev : st.st_dev;
    ino_t ino = S_ISCHR(st.st_mode) ? 0 : st.st_ino;
    std::shared_ptr<SerialPort> port(new SerialPort(fd, wake, com, dev, ino, (flags & FILE_FLAG_OVERLAPPED) != 0));
    if (!ClaimSerialDevice(dev, ino, port.get())) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    port->m_claimed = true;
    // The tty's exclusive mode keeps later openers without privileges out.
    // A pseudo-terminal keeps that mode while its other end is open, after
    // this process has gone too (killed, say), so it is not used there.
    if (!IsPseudoTerminal(dev)) ioctl(fd, TIOCEXCL);
    // A Windows port has no line discipline: raw from the first byte.
    MakeRaw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    port->m_dcb = DcbFromTermios(tio);
    port->m_dcb.BaudRate = LineSpeed(fd);
    return InsertObject(port);
}

void SerialPort::Wake() {
    // Not counted: the registry calls this under its own lock. The flag
    // first, so that the descriptor is never left full with the flag clear.
    m_wakePending.store(true);
    uint64_t one = 1;
    ssize_t written = write(m_wake, &one, sizeof one);
    (void)written;  // a full counter wakes as well
}

SerialPort::Op* SerialPort::FindOp(const OVERLAPPED* ov) {
    for (Op& op : m_ops) {
        if (op.kind != Kind::kNone && op.ov == ov) return &op;
    }
    return nullptr;
}

bool SerialPort::Pull(bool lookAtTty) {
    if (m_hungUp) return false;
    if (!m_ttyReady && !lookAtTty) return true;
    if (m_inStart == m_inEnd) m_inStart = m_inEnd = 0;
    if (m_inEnd == kInputSize && m_inStart > 0) {
        std::memmove(m_in, m_in + m_inStart, Buffered());
        m_inEnd -= m_inStart;
        m_inStart = 0;
    }
    if (m_inEnd == kInputSize) return true;  // full: the rest waits in the tty
    for (;;) {
        CountSerial(m_com, SerialCounter::kSystemCall);
        ssize_t n = read(m_fd, m_in + m_inEnd, kInputSize - m_inEnd);
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) {
            m_inEnd += static_cast<DWORD>(n);
            m_ttyReady = m_inEnd == kInputSize;  // a read that filled the buffer may have left some
            if (m_mask & EV_RXCHAR) m_rxEvent = true;
            return true;
        }
        m_ttyReady = false;
        if (n < 0 && errno == EAGAIN) return true;
        m_hungUp = true;  // end of file or EIO on a tty: hung up
        return false;
    }
}

DWORD SerialPort::TakeBuffered(char* to, DWORD size) {
    DWORD n = std::min(size, Buffered());
    std::memcpy(to, m_in + m_inStart, n);
    m_inStart += n;
    return n;
}

void SerialPort::Finish(Op& op, DWORD error) {
    LPOVERLAPPED ov = op.ov;
    if (op.kind == Kind::kWait && error && op.mask) *op.mask = 0;
    if (op.kind == Kind::kRead && !error) {
        CountSerialBytes(m_com, op.done);
        TapSerialBytes(m_com, op.readTo, op.done);
    }
    ov->InternalHigh = op.done;
    ov->Internal = error;
    op = Op{};
    SignalOverlappedEvent(ov);
}

void SerialPort::FinishAll(Kind kind, DWORD error) {
    for (Op& op : m_ops) {
        if (op.kind == kind) Finish(op, error);
    }
}

bool SerialPort::Look(Op& op, bool lookAtTty, Clock::time_point* deadline) {
    *deadline = Clock::time_point::max();
    DWORD error = 0;
    bool done = true;
    switch (InjectAtLook(m_com, op.kind, op.held, op.done == 0 && op.size > 0, &error)) {
        case Injected::kFail:
        case Injected::kEmpty:
            break;
        case Injected::kHold:
            return false;
        case Injected::kNone:
            if (op.kind == Kind::kWait) done = WaitDone(op, lookAtTty, &error);
            if (op.kind == Kind::kRead) done = ReadDone(op, lookAtTty, deadline, &error);
            if (op.kind == Kind::kWrite) done = WriteDone(op, &error);
            break;
    }
    if (done) Finish(op, error);
    return done;
}

bool SerialPort::WaitDone(Op& op, bool lookAtTty, DWORD* error) {
    if (!Pull(lookAtTty)) {
        *error = ERROR_GEN_FAILURE;  // hung up: the device has gone
        return true;
    }
    // Only a character that arrived since the last wait completed (or the
    // mask changed) completes this one; bytes that merely wait unread do not.
    if (!(m_mask & EV_RXCHAR) || !m_rxEvent) return false;
    m_rxEvent = false;
    m_freshForQuery = m_freshForWait = true;
    *op.mask = EV_RXCHAR;
    op.done = sizeof(DWORD);
    return true;
}

bool SerialPort::ReadDone(Op& op, bool lookAtTty, Clock::time_point* deadline, DWORD* error) {
    DWORD before = op.done;
    op.done += TakeBuffered(op.readTo + op.done, op.size - op.done);
    if (op.done < op.size) {
        if (!Pull(lookAtTty)) {
            *error = ERROR_GEN_FAILURE;
            return true;
        }
        op.done += TakeBuffered(op.readTo + op.done, op.size - op.done);
    }
    const Clock::time_point now = Clock::now();
    if (op.done > before) op.lastByte = now;
    if (op.done == op.size) return true;
    *deadline = ReadEnd(op, now);
    return *deadline <= now;
}

SerialPort::Clock::time_point SerialPort::ReadEnd(const Op& op, Clock::time_point now) const {
    // Read time-outs as Windows defines them.
    const DWORD interval = m_timeouts.ReadIntervalTimeout;
    const DWORD multiplier = m_timeouts.ReadTotalTimeoutMultiplier;
    const DWORD constant = m_timeouts.ReadTotalTimeoutConstant;
    Clock::time_point end = Clock::time_point::max();
    if (interval == MAXDWORD && multiplier == 0 && constant == 0) return now;  // what is there, at once
    if (interval == MAXDWORD && multiplier == MAXDWORD && constant > 0 && constant < MAXDWORD) {
        if (op.done > 0) return now;
        end = op.start + std::chrono::milliseconds(constant);
    } else if (multiplier || constant) {
        end = op.start + std::chrono::milliseconds(uint64_t{multiplier} * op.size + constant);
    }
    if (interval && interval != MAXDWORD && op.done > 0)
        end = std::min(end, op.lastByte + std::chrono::milliseconds(interval));
    return end;
}

bool SerialPort::WriteDone(Op& op, DWORD* error) {
    while (op.done < op.size) {
        CountSerial(m_com, SerialCounter::kSystemCall);
        ssize_t n = write(m_fd, op.writeFrom + op.done, op.size - op.done);
        if (n > 0) {
            op.done += static_cast<DWORD>(n);
            m_outPending = true;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            return false;
        } else {
            *error = n < 0 ? ErrorFromErrno(errno) : ERROR_GEN_FAILURE;
            return true;
        }
    }
    return true;
}

SerialPort::Op* SerialPort::Slot(const Op& op, const OVERLAPPED* record, DWORD* error) {
    Op* slot = nullptr;
    bool waitPending = false;
    for (Op& o : m_ops) {
        if (o.kind == Kind::kWait) waitPending = true;
        if (o.kind == Kind::kNone && !slot) slot = &o;
    }
    // One outstanding operation per record, one wait per port, and a wait
    // needs something to wait for.
    if (FindOp(record) || (op.kind == Kind::kWait && (waitPending || m_mask == 0))) {
        *error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    if (!slot) *error = ERROR_NOT_ENOUGH_MEMORY;
    return slot;
}

BOOL SerialPort::Start(Op op, LPDWORD done, LPOVERLAPPED ov) {
    OVERLAPPED local{};
    const bool sync = !m_overlapped;
    if (!sync && !ov) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    LPOVERLAPPED record = sync ? &local : ov;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        DWORD error = 0;
        Op* slot = Slot(op, record, &error);
        if (!slot) {
            SetLastError(error);
            return FALSE;
        }
        const StartFaults faults = InjectAtStart(m_com, op.kind);
        op.held = faults.held;
        op.ov = record;
        op.start = op.lastByte = Clock::now();
        op.thread = std::this_thread::get_id();
        record->Internal = kOverlappedPending;
        record->InternalHigh = 0;
        UnsignalEvent(record->hEvent);
        *slot = op;
        const bool lookAtTty = op.kind != Kind::kWait || !std::exchange(m_freshForWait, false);
        Clock::time_point deadline;
        if (!faults.deferred && Look(*slot, lookAtTty, &deadline)) return OverlappedOutcome(*record, done);
    }
    if (sync) return Result(record, done, TRUE);
    if (done) *done = 0;
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

BOOL SerialPort::Result(LPOVERLAPPED ov, LPDWORD done, BOOL wait) {
    if (!ov) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        Op* op = FindOp(ov);
        if (!op) {
            if (ov->Internal == kOverlappedPending) {  // started elsewhere, or never: nothing to wait for
                SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
            }
            return OverlappedOutcome(*ov, done);
        }
        if (m_hungUp && op->kind != Kind::kWrite) {
            Finish(*op, ERROR_GEN_FAILURE);
            continue;
        }
        // A caller who will not wait must learn of bytes already in the tty;
        // one who waits learns of them from the poll.
        if (wait) DrainWakes();
        Clock::time_point deadline;
        if (Look(*op, !wait, &deadline)) continue;
        if (!wait) {
            SetLastError(ERROR_IO_INCOMPLETE);
            return FALSE;
        }
        AwaitChange(*op, deadline, lock);
    }
}

void SerialPort::AwaitChange(const Op& op, Clock::time_point deadline, std::unique_lock<std::mutex>& lock) {
    short events = 0;
    if (op.kind == Kind::kRead || (op.kind == Kind::kWait && (m_mask & EV_RXCHAR) && m_inEnd < kInputSize))
        events = POLLIN;
    if (op.kind == Kind::kWrite && !op.held) events = POLLOUT;
    int timeout = -1;
    if (deadline != Clock::time_point::max()) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        timeout = left < 0 ? 0 : static_cast<int>(left);
    }
    pollfd fds[2] = {{m_fd, events, 0}, {m_wake, POLLIN, 0}};
    lock.unlock();
    MarkSerialBlocked(m_com, true);
    poll(fds, 2, timeout);
    MarkSerialBlocked(m_com, false);
    CountSerial(m_com, SerialCounter::kWakeup);
    CountSerial(m_com, SerialCounter::kSystemCall);
    if (fds[1].revents & POLLIN) {
        m_wakePending.store(false);
        ReadWakes();
    }
    lock.lock();
    if (events & POLLIN) m_ttyReady = (fds[0].revents & POLLIN) != 0;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) m_hungUp = true;
}

void SerialPort::DrainWakes() {
    // A wake between its flag and its write finds nothing here and makes
    // the poll return at once, as it should.
    if (m_wakePending.exchange(false)) ReadWakes();
}

void SerialPort::ReadWakes() {
    CountSerial(m_com, SerialCounter::kSystemCall);
    uint64_t count;
    ssize_t drained = read(m_wake, &count, sizeof count);
    (void)drained;
}

BOOL OverlappedOutcome(const OVERLAPPED& ov, LPDWORD done) {
    if (done) *done = static_cast<DWORD>(ov.InternalHigh);
    if (ov.Internal == 0) return TRUE;
    SetLastError(static_cast<DWORD>(ov.Internal));
    return FALSE;
}

BOOL SerialPort::Read(LPVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED ov) {
    CountSerial(m_com, SerialCounter::kRead);
    if (!buffer && size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Op op;
    op.kind = Kind::kRead;
    op.readTo = static_cast<char*>(buffer);
    op.size = size;
    return Start(op, done, ov);
}

BOOL SerialPort::Write(LPCVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED ov) {
    CountSerial(m_com, SerialCounter::kWrite);
    if (!buffer && size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Op op;
    op.kind = Kind::kWrite;
    op.writeFrom = static_cast<const char*>(buffer);
    op.size = size;
    return Start(op, done, ov);
}

BOOL SerialPort::WaitEvent(LPDWORD mask, LPOVERLAPPED ov) {
    CountSerial(m_com, SerialCounter::kWait);
    if (!mask) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Op op;
    op.kind = Kind::kWait;
    op.mask = mask;
    return Start(op, nullptr, ov);
}

BOOL SerialPort::Cancel() {
    // CancelIo ends only what the calling thread started.
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Op& op : m_ops) {
        if (op.kind != Kind::kNone && op.thread == std::this_thread::get_id()) Finish(op, ERROR_OPERATION_ABORTED);
    }
    Wake();
    return TRUE;
}

BOOL SerialPort::Purge(DWORD flags) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (flags & PURGE_RXABORT) FinishAll(Kind::kRead, ERROR_OPERATION_ABORTED);
    if (flags & PURGE_TXABORT) FinishAll(Kind::kWrite, ERROR_OPERATION_ABORTED);
    if (flags & PURGE_RXCLEAR) {
        m_inStart = m_inEnd = 0;
        m_ttyReady = m_freshForQuery = m_freshForWait = false;
        CountSerial(m_com, SerialCounter::kSystemCall);
        tcflush(m_fd, TCIFLUSH);
    }
    if (flags & PURGE_TXCLEAR) {
        CountSerial(m_com, SerialCounter::kSystemCall);
        tcflush(m_fd, TCOFLUSH);
    }
    Wake();
    return TRUE;
}

BOOL SerialPort::SetMask(DWORD mask) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool missWait = InjectedMaskMissesWait(m_com);
    // What has arrived so far came under the old mask: the new one starts
    // with no event.
    Pull(true);
    m_mask = mask;
    m_rxEvent = false;
    // Changing the mask ends a pending wait, which reports no event.
    for (Op& op : m_ops) {
        if (op.kind != Kind::kWait || missWait) continue;
        *op.mask = 0;
        op.done = sizeof(DWORD);
        Finish(op, 0);
    }
    Wake();
    return TRUE;
}

BOOL SerialPort::GetMask(LPDWORD mask) {
    if (!mask) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    *mask = m_mask;
    return TRUE;
}

BOOL SerialPort::ClearError(LPCOMSTAT stat) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Pull(!std::exchange(m_freshForQuery, false));
    int pending = 0;
    if (m_outPending) {
        CountSerial(m_com, SerialCounter::kSystemCall);
        if (ioctl(m_fd, TIOCOUTQ, &pending) != 0) {
            SetLastError(ERROR_GEN_FAILURE);
            return FALSE;
        }
        // Nothing written since cannot be queued: no need to ask again.
        if (pending <= 0) m_outPending = false;
    }
    if (stat) {
        stat->cbInQue = Buffered();
        stat->cbOutQue = pending < 0 ? 0 : static_cast<DWORD>(pending);
    }
    return TRUE;
}

BOOL SerialPort::GetState(LPDCB dcb) {
    if (!dcb) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    *dcb = m_dcb;
    return TRUE;
}

BOOL SerialPort::SetState(const DCB& dcb) {
    std::lock_guard<std::mutex> lock(m_mutex);
    DWORD error = 0;
    if (!ApplyDcb(m_fd, dcb, &error)) {
        SetLastError(error);
        return FALSE;
    }
    m_dcb = dcb;
    m_dcb.DCBlength = sizeof(DCB);
    return TRUE;
}

BOOL SerialPort::GetTimeouts(LPCOMMTIMEOUTS timeouts) {
    if (!timeouts) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    *timeouts = m_timeouts;
    return TRUE;
}

BOOL SerialPort::SetTimeouts(const COMMTIMEOUTS& timeouts) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_timeouts = timeouts;
    return TRUE;
}

}  // namespace w32
