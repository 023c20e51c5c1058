#include "source/ReadTap.h"

#include <fcntl.h>
#include <unistd.h>
#include <win32_control.h>

#include <cerrno>
#include <cstring>

#include "cli/Console.h"
#include "run/Wakeup.h"

namespace vpihost {

namespace {

void OnRead(void* context, int, const void* bytes, size_t size) {
    static_cast<ReadTap*>(context)->Copy(static_cast<const char*>(bytes), size);
}

}  // namespace

ReadTap::ReadTap() : m_ring(kCapacity) { W32SetSerialTap(&OnRead, this); }

ReadTap::~ReadTap() {
    W32SetSerialTap(nullptr, nullptr);
    if (m_logFd >= 0) close(m_logFd);
}

bool ReadTap::LogTo(const std::string& path, std::string* error) {
    // A named pipe without a reader would hold the start: ENXIO instead.
    m_logFd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (m_logFd >= 0) fcntl(m_logFd, F_SETFL, fcntl(m_logFd, F_GETFL) & ~O_NONBLOCK);
    if (m_logFd < 0) {
        *error = "cannot write the log " + path + ": " + strerror(errno);
        return false;
    }
    m_logPath = path;
    return true;
}

void ReadTap::Copy(const char* bytes, size_t size) {
    m_origins.Read(bytes, size);
    bool wasEmpty;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        wasEmpty = m_size == 0;
        const size_t fits = std::min(size, m_ring.size() - m_size);
        for (size_t i = 0; i < fits; ++i) m_ring[(m_head + m_size + i) % m_ring.size()] = bytes[i];
        m_size += fits;
        m_lost += size - fits;
    }
    if (wasEmpty) Wake();
}

void ReadTap::Drain() {
    unsigned long long lost;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_taken.resize(m_size);
        for (size_t i = 0; i < m_size; ++i) m_taken[i] = m_ring[(m_head + i) % m_ring.size()];
        m_head = (m_head + m_size) % m_ring.size();
        m_size = 0;
        lost = m_lost;
    }
    if (lost > m_lostSaid) {
        ErrorLine(std::to_string(lost - m_lostSaid) + " bytes the module read could not be looked at" +
                  (m_logFd >= 0 ? " or logged" : "") + ": they came faster than vpihost could take them");
        m_lostSaid = lost;
    }
    if (m_taken.empty()) return;
    m_ids.Take(m_taken.data(), m_taken.size());
    Log(m_taken.data(), m_taken.size());
    if (!m_listeners.empty()) Split(m_taken.data(), m_taken.size());
}

void ReadTap::Log(const char* at, size_t size) {
    while (m_logFd >= 0 && size > 0 && m_failure.empty()) {
        const ssize_t n = write(m_logFd, at, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_failure = "cannot write the log " + m_logPath + ": " + strerror(n < 0 ? errno : EIO);
            Wake();
            return;
        }
        at += n;
        size -= static_cast<size_t>(n);
    }
}

void ReadTap::Split(const char* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (c == '\n') {
            if (!m_line.empty() && m_line.back() == '\r') m_line.pop_back();
            if (!m_cut)
                for (LineListener* listener : m_listeners) listener->Line(m_line);
            m_line.clear();
            m_cut = false;
        } else if (m_line.size() < kMaxLine) {
            m_line += c;
        } else if (!m_cut) {
            m_cut = true;
            for (LineListener* listener : m_listeners) listener->Line(m_line);
        }
    }
}

}  // namespace vpihost
