#include "LineWriter.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace vpisim {

using Clock = std::chrono::steady_clock;

bool IsSentenceStart(const char* data, size_t size, size_t i) {
    if (i >= size) return false;
    if (data[i] == '$') return true;
    return size - i >= 4 && memcmp(data + i, "SONY", 4) == 0;
}

LineWriter::LineWriter(int deviceFd, int baud, BytesTaken bytesTaken, const std::atomic<bool>* stop)
    : m_fd(deviceFd), m_baud(baud > 0 ? baud : 0), m_bytesTaken(std::move(bytesTaken)), m_stop(stop) {
    int flags = fcntl(m_fd, F_GETFL);
    if (flags >= 0) fcntl(m_fd, F_SETFL, flags | O_NONBLOCK);
}

bool LineWriter::WaitUntilTaken() {
    if (!m_bytesTaken) return true;
    unsigned long long last = m_bytesTaken();
    auto lastProgress = Clock::now();
    while (last < m_written) {
        if (Stopped()) return false;
        unsigned long long now;
        if (waitTaken) {
            now = waitTaken(last, 50);  // short enough to see a stop
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
            now = m_bytesTaken();
        }
        if (now != last) {
            last = now;
            lastProgress = Clock::now();
        } else if (Clock::now() - lastProgress > std::chrono::duration<double>(stallSeconds)) {
            m_error = "the plug-in stopped reading the line";
            return false;
        }
    }
    return true;
}

bool LineWriter::Pace(size_t bytes) {
    if (m_baud == 0) return true;
    auto now = Clock::now();
    if (m_next < now) m_next = now;  // an idle line starts afresh
    while (Clock::now() < m_next) {
        if (Stopped()) return false;
        auto left = m_next - Clock::now();
        std::this_thread::sleep_for(left < std::chrono::milliseconds(50) ? left : std::chrono::milliseconds(50));
    }
    m_next += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(10.0 * bytes / m_baud));
    return true;
}

bool LineWriter::WriteRaw(const char* data, size_t size) {
    while (size > 0) {
        if (Stopped()) return false;
        ssize_t n = write(m_fd, data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
            m_written += static_cast<unsigned long long>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{m_fd, POLLOUT, 0};
            poll(&p, 1, 50);
            continue;
        }
        m_error = std::string("writing to the line failed: ") + strerror(errno);
        return false;
    }
    return true;
}

bool LineWriter::Write(const char* data, size_t size) {
    // Small chunks, about 10 ms of line time each, keep the pacing smooth.
    const size_t chunk = m_baud ? (m_baud / 1000 > 0 ? static_cast<size_t>(m_baud / 1000) : 1) : 4096;
    size_t i = 0;
    while (i < size) {
        if (IsSentenceStart(data, size, i)) {
            if (!WaitUntilTaken()) return false;
            if (holdBack) holdBack();
        }
        // Up to the next sentence start, at most one chunk.
        size_t end = i + 1;
        while (end < size && end - i < chunk && !IsSentenceStart(data, size, end)) ++end;
        if (!Pace(end - i) || !WriteRaw(data + i, end - i)) return false;
        i = end;
    }
    return true;
}

}  // namespace vpisim
