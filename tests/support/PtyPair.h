// A pseudo-terminal that plays a serial device for Linux tests: the plug-in
// opens the port side through a COM name, the test writes and reads at the
// device side. Both sides are raw before anything is written, so bytes sent
// before the plug-in configures the port pass unchanged.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <win32_control.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "Timing.h"

class PtyPair {
public:
    explicit PtyPair(const char* comName = "COM2") : m_comName(comName) {
        char name[128] = {};
        if (openpty(&m_device, &m_port, name, nullptr, nullptr) != 0) return;
        termios tio;
        for (int fd : {m_device, m_port}) {
            tcgetattr(fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(fd, TCSANOW, &tio);
        }
        m_path = name;
        W32MapComPort(m_comName.c_str(), m_path.c_str());
    }

    ~PtyPair() {
        W32MapComPort(m_comName.c_str(), nullptr);
        CloseDevice();
        if (m_port >= 0) close(m_port);
    }

    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return !m_path.empty(); }
    const std::string& path() const { return m_path; }
    const char* comName() const { return m_comName.c_str(); }
    int deviceFd() const { return m_device; }
    // The port side, held open by the pair: for looking at the tty's modes
    // (a port opened exclusively keeps new openers out).
    int portFd() const { return m_port; }

    // Sends bytes from the device side, all of them.
    bool Write(const std::string& bytes) { return Write(bytes.data(), bytes.size()); }
    bool Write(const char* data, size_t size) {
        while (size > 0) {
            ssize_t n = write(m_device, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    // What the plug-in sent, waiting up to timeoutMs for at least `atLeast`
    // bytes.
    std::string Read(size_t atLeast, int timeoutMs = kPatienceMs) {
        std::string got;
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < atLeast) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{m_device, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0 || !(p.revents & POLLIN)) break;
            char buffer[256];
            ssize_t n = read(m_device, buffer, sizeof buffer);
            if (n <= 0) break;
            got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }

    // Bytes waiting in the port side's input queue.
    int QueuedAtPort() const {
        int queued = -1;
        ioctl(m_port, FIONREAD, &queued);
        return queued;
    }

    // Unplugs the device: the port side is hung up for good.
    void CloseDevice() {
        if (m_device >= 0) close(m_device);
        m_device = -1;
    }

private:
    std::string m_comName;
    std::string m_path;
    int m_device = -1;
    int m_port = -1;
};
