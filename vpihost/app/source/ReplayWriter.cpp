#include "source/ReplayWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "run/Wakeup.h"

namespace vpihost {

ReplayWriter::~ReplayWriter() {
    Stop();
    if (m_fd >= 0) close(m_fd);
}

bool ReplayWriter::Open(const std::string& path, std::string* error) {
    m_fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (m_fd < 0 || fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = "cannot open the replay " + path + ": " + (m_fd < 0 ? strerror(errno) : "not a file");
        return false;
    }
    m_size = static_cast<unsigned long long>(st.st_size);
    return true;
}

void ReplayWriter::Start(int deviceFd, int baud, vpisim::LineWriter::BytesTaken bytesTaken,
                         vpisim::LineWriter::WaitTaken waitTaken, HoldBack* holdBack) {
    if (m_fd < 0 || m_thread.joinable()) return;
    m_thread = std::thread([this, deviceFd, baud, bytesTaken, waitTaken, holdBack] {
        Run(deviceFd, baud, bytesTaken, waitTaken, holdBack);
    });
}

void ReplayWriter::Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

void ReplayWriter::Fail(const std::string& reason) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_failure.empty()) m_failure = reason;
    }
    Wake();
}

std::string ReplayWriter::Failure() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failure;
}

std::string ReplayWriter::Progress() const {
    unsigned long long written = m_written.load();
    char text[96];
    snprintf(text, sizeof text, "replay %llu of %llu bytes (%.0f%%)", written, m_size,
             m_size ? 100.0 * static_cast<double>(written) / static_cast<double>(m_size) : 100.0);
    return text;
}

void ReplayWriter::Run(int deviceFd, int baud, vpisim::LineWriter::BytesTaken bytesTaken,
                       vpisim::LineWriter::WaitTaken waitTaken, HoldBack* holdBack) {
    vpisim::LineWriter writer(deviceFd, baud, std::move(bytesTaken), &m_stop);
    writer.waitTaken = std::move(waitTaken);
    if (holdBack) writer.holdBack = [this, holdBack] { holdBack->Wait(m_stop); };
    char buffer[1024];  // small, so that the progress line moves
    for (;;) {
        ssize_t n = read(m_fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            Fail(std::string("reading the replay failed: ") + strerror(errno));
            return;
        }
        if (n == 0) break;
        if (!writer.Write(buffer, static_cast<size_t>(n))) {
            if (!m_stop.load()) Fail(writer.Error());
            return;
        }
        m_written = writer.Written();
    }
    if (!writer.WaitUntilTaken()) {
        if (!m_stop.load()) Fail(writer.Error());
        return;
    }
    m_done = true;
    Wake();
}

}  // namespace vpihost
