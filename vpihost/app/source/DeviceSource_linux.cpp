// --device: a real receiver. Opened here first, so that a device that
// cannot be used is one clear line, and kept open (never read) to notice a
// hang-up; its folder is watched (inotify) to notice the path vanishing,
// naming another device, or coming back.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <win32_control.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "source/LineSpeed.h"
#include "source/LinuxSources.h"

namespace vpihost {

namespace {

// "... is in use by gpsd (process 1234)" where /proc shows the program that
// has the device, else by another program.
std::string InUse(const std::string& path) {
    char name[64] = "";
    DWORD pid = W32FindSerialDeviceUser(path.c_str(), name, sizeof name);
    return path + " is in use by " +
           (pid != 0 ? std::string(name) + " (process " + std::to_string(pid) + ")" : "another program");
}

std::string NoDevice(const std::string& path) {
    return "there is no device " + path + " (is the receiver plugged in? dmesg names its device)";
}

bool HungUp(int fd) {
    pollfd p{fd, 0, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

// Opens a serial device to watch it (it is never read here), or says in
// the user's terms why it cannot be opened.
int OpenDevice(const std::string& path, std::string* error) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        if (e == ENOENT) {
            *error = NoDevice(path);
        } else if (e == EACCES || e == EPERM) {
            *error = "no permission to open " + path + " (" + strerror(e) +
                     "): on Debian the user must be in the group dialout (sudo adduser $USER dialout, then log in "
                     "again)";
        } else if (e == EBUSY) {
            *error = InUse(path);
        } else if (e == ENXIO || e == ENODEV || e == EIO) {
            *error = "the device " + path + " does not answer (" + strerror(e) + "): is there hardware behind it?";
        } else {
            *error = "cannot open the device " + path + ": " + strerror(e);
        }
        return -1;
    }
    termios tio;
    if (tcgetattr(fd, &tio) != 0) {
        close(fd);
        *error = path + " is not a serial device (not a tty)";
        return -1;
    }
    // A program that has the device open, or holds it with an advisory
    // lock, would split the receiver's data with the plug-in.
    if (W32FindSerialDeviceUser(path.c_str(), nullptr, 0) != 0 ||
        (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)) {
        close(fd);
        *error = InUse(path);
        return -1;
    }
    flock(fd, LOCK_UN);
    return fd;
}

class DeviceSource : public DataSource {
public:
    explicit DeviceSource(std::string path) : m_path(std::move(path)) {}
    ~DeviceSource() override {
        if (m_loop) m_loop->RemoveTimer(&m_lookTimer);
        Unwatch();
        Forget(&m_folderChannel);
        if (m_folderEvents >= 0) close(m_folderEvents);
        MapPorts(nullptr);
    }

    bool Prepare(const SourceSettings& s, std::string* error) {
        if (!StartTap(s, error)) return false;
        // Opened here first, so that a missing or busy device is one clear
        // line rather than the dialog's refusal; kept open to watch it.
        struct stat st;
        if (s.waitForDevice && stat(m_path.c_str(), &st) != 0 && errno == ENOENT) {
            m_absent = NoDevice(m_path);
            m_folderChanged = true;  // it may come before the folder is watched
        } else if (!Watch(error)) {
            return false;
        }
        WatchFolder();
        MapPorts(m_path.c_str());
        return true;
    }

    void Attach(EventLoop& loop) override {
        DataSource::Attach(loop);
        m_loop = &loop;
        WatchDevice();
        if (m_folderEvents >= 0)
            m_folderChannel = loop.Watch(m_folderEvents, EventLoop::kIn, [this](unsigned) { TakeFolderEvents(); });
        else
            m_nextLook = Clock::now() + std::chrono::seconds(1);
        loop.AddTimer(&m_lookTimer);
    }

    std::string DeviceAbsent() const override { return m_absent; }

    std::string DeviceGone() override {
        if (m_watchFd < 0) return std::string();
        bool gone = m_hungUp;
        if (!gone && m_folderChanged) {
            m_folderChanged = false;
            struct stat st;
            gone = stat(m_path.c_str(), &st) != 0 || st.st_rdev != m_watchDevice;
        }
        if (!gone) return std::string();
        Unwatch();
        m_folderChanged = true;  // look for it again at once
        return "the receiver at " + m_path + " is gone";
    }

    bool DeviceBack() override {
        if (!m_folderChanged) return false;
        m_folderChanged = false;
        std::string error;
        if (!Watch(&error)) return false;
        // A device that hangs up as it is opened is not back, and is not held.
        if (HungUp(m_watchFd)) {
            Unwatch();
            return false;
        }
        m_absent.clear();
        return true;
    }

    std::string Description() const override { return m_path; }
    int LineSpeed() const override { return m_watchFd < 0 ? 0 : LineSpeedOf(m_watchFd); }
    std::string PortAdvice(int port) const override { return "COM" + std::to_string(port) + " is " + m_path + " here"; }

private:
    bool Watch(std::string* error) {
        int fd = OpenDevice(m_path, error);
        struct stat st;
        if (fd < 0 || fstat(fd, &st) != 0) {
            if (fd >= 0) close(fd);
            return false;
        }
        Unwatch();
        m_watchFd = fd;
        m_watchDevice = st.st_rdev;
        m_hungUp = false;
        WatchDevice();
        return true;
    }

    void Unwatch() {
        Forget(&m_watchChannel);
        if (m_watchFd >= 0) close(m_watchFd);
        m_watchFd = -1;
    }

    void Forget(int* channel) {
        if (*channel >= 0 && m_loop) m_loop->Forget(*channel);
        *channel = -1;
    }

    // A hang-up or an error of the descriptor kept open; it is reported
    // again and again until closed, so the channel goes at once.
    void WatchDevice() {
        if (!m_loop || m_watchFd < 0) return;
        m_watchChannel = m_loop->Watch(m_watchFd, 0, [this](unsigned events) {
            if (!(events & EventLoop::kHangUp)) return;
            m_hungUp = true;
            Forget(&m_watchChannel);
        });
    }

    // Watches the nearest folder on the device's path that exists; again
    // after each change, since that folder may be gone or a deeper one back.
    void WatchFolder() {
        namespace fs = std::filesystem;
        if (m_folderEvents < 0) m_folderEvents = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_folderEvents < 0) return;
        std::error_code ec;
        fs::path folder = fs::absolute(m_path, ec).parent_path();
        while (!fs::is_directory(folder, ec) && folder.has_relative_path()) folder = folder.parent_path();
        const int watch = inotify_add_watch(m_folderEvents, folder.c_str(),
                                            IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
        if (m_folderWatch >= 0 && watch != m_folderWatch) inotify_rm_watch(m_folderEvents, m_folderWatch);
        m_folderWatch = watch;
    }

    void TakeFolderEvents() {
        alignas(inotify_event) char buffer[4096];
        while (read(m_folderEvents, buffer, sizeof buffer) > 0) {
        }
        m_folderChanged = true;
        WatchFolder();
    }

    std::string m_path;
    // The descriptor kept open to notice a hang-up, and the device number
    // to notice another device under the same path.
    int m_watchFd = -1;
    dev_t m_watchDevice = 0;
    bool m_hungUp = false;
    std::string m_absent;  // why a device waited for is not there yet
    // Changes in the device's folder (or the nearest one that exists, while
    // a folder on the way is gone, as /dev/serial/by-id is without devices):
    // the path may name another device, or none, or be back.
    int m_folderEvents = -1;
    int m_folderWatch = -1;
    bool m_folderChanged = false;
    EventLoop* m_loop = nullptr;
    int m_watchChannel = -1, m_folderChannel = -1;
    // Without folder events (the system's limit reached) the path is
    // looked at every second.
    Clock::time_point m_nextLook = kNever;
    FunctionTimer m_lookTimer{[this] { return m_nextLook; },
                              [this](Clock::time_point now) {
                                  m_folderChanged = true;
                                  m_nextLook = now + std::chrono::seconds(1);
                              }};
};

}  // namespace

std::unique_ptr<DataSource> MakeDeviceSource(const SourceSettings& settings, std::string* error) {
    auto source = std::make_unique<DeviceSource>(settings.device);
    if (!source->Prepare(settings, error)) return nullptr;
    return source;
}

}  // namespace vpihost
