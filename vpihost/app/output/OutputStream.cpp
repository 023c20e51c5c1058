#include "output/OutputStream.h"

#include <algorithm>
#include <cerrno>

#include "run/Wakeup.h"

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vpihost {

OutputStream::OutputStream(int fd, std::FILE* file, size_t capacity) : m_fd(fd), m_file(file), m_capacity(capacity) {
#ifndef _WIN32
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)) return;
    if (S_ISSOCK(st.st_mode)) {
        m_pollable = m_socket = true;
        return;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const int own = open(self.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (own < 0) return;  // written as it comes, as before
    m_fd = own;
    m_ownFd = m_pollable = true;
#endif
}

OutputStream::~OutputStream() {
#ifndef _WIN32
    if (m_ownFd) close(m_fd);
#endif
}

bool OutputStream::Put(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_failed) return false;
    if (m_queue.size() - m_sent + text.size() > m_capacity) {
        ++m_leftOut;
        return false;
    }
    const bool wasIdle = m_sent == m_queue.size();
    if (wasIdle) {
        m_queue.clear();
        m_sent = 0;
        m_lastProgress = Clock::now();  // a stall counts from here
    }
    m_queue += text;
    WriteSome();
    // The loop writes the rest once the stream has room; a line from
    // another thread must not wait for the loop's next event to be seen.
    if (wasIdle && m_sent < m_queue.size()) Wake();
    return !m_failed;
}

void OutputStream::Flush() {
    std::lock_guard<std::mutex> lock(m_mutex);
    WriteSome();
}

void OutputStream::WriteSome() {
    while (!m_failed && m_sent < m_queue.size()) {
        const long n = Write(m_queue.data() + m_sent, m_queue.size() - m_sent);
        if (n > 0) {
            m_sent += static_cast<size_t>(n);
            m_lastProgress = Clock::now();
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        m_failed = true;
    }
    if (m_sent == m_queue.size() || m_failed) {
        m_queue.clear();
        m_sent = 0;
    } else if (m_sent > m_capacity) {
        m_queue.erase(0, m_sent);  // keep the buffer from growing with what went out
        m_sent = 0;
    }
}

long OutputStream::Write(const char* data, size_t size) {
#ifdef _WIN32
    (void)m_socket;
    const size_t n = fwrite(data, 1, size, m_file);
    if (fflush(m_file) != 0 || n < size) {
        errno = EIO;
        return -1;
    }
    return static_cast<long>(n);
#else
    (void)m_file;
    if (m_socket) return static_cast<long>(send(m_fd, data, size, MSG_DONTWAIT | MSG_NOSIGNAL));
    return static_cast<long>(write(m_fd, data, size));
#endif
}

void OutputStream::Drain(Clock::time_point until) {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            WriteSome();
            if (m_failed || m_sent == m_queue.size() || !m_pollable) return;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0) return;
#ifndef _WIN32
        pollfd p{m_fd, POLLOUT, 0};
        poll(&p, 1, static_cast<int>(left));
#endif
    }
}

bool OutputStream::Pending() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sent < m_queue.size();
}

size_t OutputStream::Queued() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size() - m_sent;
}

bool OutputStream::Failed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failed;
}

long OutputStream::TakeLeftOut(bool atEnd) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!atEnd && m_sent < m_queue.size()) return 0;
    long n = m_leftOut;
    m_leftOut = 0;
    if (atEnd) {
        // What is still queued does not go out either; a line cut short
        // counts as left out.
        n += static_cast<long>(std::count(m_queue.begin() + static_cast<long>(m_sent), m_queue.end(), '\n'));
        m_queue.clear();
        m_sent = 0;
    }
    return n;
}

OutputStream::Clock::time_point OutputStream::HeldUntil() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size() - m_sent > kHighWater ? m_lastProgress + kStall : Clock::time_point::min();
}

}  // namespace vpihost
