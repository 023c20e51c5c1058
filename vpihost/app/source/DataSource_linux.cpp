#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <win32_control.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "source/DataSource.h"
#include "source/LineSpeed.h"
#include "module/PluginProfile.h"
#include "source/PseudoTerminal.h"
#include "source/ReplayWriter.h"
#include "source/SentenceIds.h"
#include "Sentences.h"
#include "Simulator.h"
#include "run/Wakeup.h"

namespace vpihost {

namespace {

const char* const kPortNames[] = {"COM1", "COM2", "COM3", "COM4"};
// The stand-in's device for COM1 is ...0, and so on.
const char kDefaultDevice[] = "/dev/ttyS";

// Bytes the plug-in's side has read from any of the ports so far.
unsigned long long BytesReadAtPorts() {
    unsigned long long total = 0;
    for (const char* name : kPortNames) {
        W32SerialCounters counters{};
        if (W32GetSerialCounters(name, &counters)) total += counters.bytesRead;
    }
    return total;
}

void MapPorts(const char* path) {
    for (const char* name : kPortNames) W32MapComPort(name, path);
}

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

// What the plug-in read, on the reading thread: its sentence identifiers,
// and with --log the bytes, appended to the file.
struct ReadTap {
    int fd = -1;
    std::atomic<bool> failed{false};
    std::atomic<int> error{0};
    SentenceIds ids;
};

void TapRead(void* context, int, const void* bytes, size_t size) {
    auto* tap = static_cast<ReadTap*>(context);
    const char* at = static_cast<const char*>(bytes);
    tap->ids.Take(at, size);
    if (tap->fd < 0) return;
    while (size > 0 && !tap->failed.load()) {
        ssize_t n = write(tap->fd, at, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            tap->error = n < 0 ? errno : EIO;
            tap->failed = true;
            Wake();
            return;
        }
        at += n;
        size -= static_cast<size_t>(n);
    }
}

}  // namespace

struct DataSource::Impl {
    Options options;
    bool sony = false;
    std::string description =
        std::string("the default devices (") + kDefaultDevice + "0 for COM1 to " + kDefaultDevice + "3 for COM4)";
    PseudoTerminal pty;
    std::unique_ptr<vpisim::Simulator> simulator;
    std::unique_ptr<ReplayWriter> replay;
    // --device: a descriptor kept open to notice a hang-up, and the device
    // number to notice another device under the same path.
    int watchFd = -1;
    dev_t watchDevice = 0;
    bool hungUp = false;
    std::string absent;  // why a device waited for is not there yet
    // Changes in the device's folder (or the nearest one that exists, while
    // a folder on the way is gone, as /dev/serial/by-id is without devices):
    // the path may name another device, or none, or be back.
    int folderEvents = -1;
    int folderWatch = -1;
    bool folderChanged = false;
    ReadTap log;

    ~Impl() {
        // Writers first: they use the pseudo-terminal.
        replay.reset();
        simulator.reset();
        MapPorts(nullptr);
        W32SetSerialTap(nullptr, nullptr);
        if (log.fd >= 0) close(log.fd);
        if (watchFd >= 0) close(watchFd);
        if (folderEvents >= 0) close(folderEvents);
    }

    bool OpenPty(std::string* error) {
        if (!pty.Open(error)) return false;
        MapPorts(pty.portPath().c_str());
        return true;
    }

    bool Watch(std::string* error) {
        int fd = OpenDevice(options.device, error);
        struct stat st;
        if (fd < 0 || fstat(fd, &st) != 0) {
            if (fd >= 0) close(fd);
            return false;
        }
        if (watchFd >= 0) close(watchFd);
        watchFd = fd;
        watchDevice = st.st_rdev;
        hungUp = false;
        return true;
    }

    void Unwatch() {
        if (watchFd >= 0) close(watchFd);
        watchFd = -1;
    }

    // Watches the nearest folder on the device's path that exists; again
    // after each change, since that folder may be gone or a deeper one back.
    void WatchFolder() {
        namespace fs = std::filesystem;
        if (folderEvents < 0) folderEvents = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (folderEvents < 0) return;
        std::error_code ec;
        fs::path folder = fs::absolute(options.device, ec).parent_path();
        while (!fs::is_directory(folder, ec) && folder.has_relative_path()) folder = folder.parent_path();
        const int watch = inotify_add_watch(folderEvents, folder.c_str(),
                                            IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
        if (folderWatch >= 0 && watch != folderWatch) inotify_rm_watch(folderEvents, folderWatch);
        folderWatch = watch;
    }

    void TakeFolderEvents() {
        alignas(inotify_event) char buffer[4096];
        while (read(folderEvents, buffer, sizeof buffer) > 0) {
        }
        folderChanged = true;
        WatchFolder();
    }
};

DataSource::DataSource() : m(new Impl) {}
DataSource::~DataSource() = default;

bool DataSource::Prepare(const Options& o, const IniProfile& profile, std::string* error) {
    m->options = o;
    m->sony = SonyToChoose(o, profile);
    if (!o.logPath.empty()) {
        m->log.fd = open(o.logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (m->log.fd < 0) {
            *error = "cannot write the log " + o.logPath + ": " + strerror(errno);
            return false;
        }
    }
    W32SetSerialTap(&TapRead, &m->log);
    if (!o.device.empty()) {
        // Opened here first, so that a missing or busy device is one clear
        // line rather than the dialog's refusal; kept open to watch it.
        struct stat st;
        if (o.waitForDevice && stat(o.device.c_str(), &st) != 0 && errno == ENOENT) {
            m->absent = NoDevice(o.device);
            m->folderChanged = true;  // it may come before the folder is watched
        } else if (!m->Watch(error)) {
            return false;
        }
        m->WatchFolder();
        MapPorts(o.device.c_str());
        m->description = o.device;
        return true;
    }
    if (!o.replay.empty()) {
        m->replay.reset(new ReplayWriter);
        if (!m->replay->Open(o.replay, error) || !m->OpenPty(error)) return false;
        m->description = "the replay of " + o.replay + " on " + m->pty.portPath();
        return true;
    }
    if (o.simulate != Receiver::kUnset) {
        if (!m->OpenPty(error)) return false;
        bool simSony = o.simulate == Receiver::kSony;
        m->simulator.reset(new vpisim::Simulator(simSony ? vpisim::Receiver::kSony : vpisim::Receiver::kNmea,
                                                 o.simSpeedKmh > 0 ? o.simSpeedKmh : vpisim::Route::kDefaultSpeedKmh,
                                                 m->pty.deviceFd(), [] { return BytesReadAtPorts(); }));
        m->simulator->onFailure = &Wake;
        char speed[32];
        snprintf(speed, sizeof speed, "%g", m->simulator->route().SpeedKmh());
        m->description = std::string("a simulated ") +
                         (simSony ? "Sony receiver (9600 baud)" : "NMEA receiver (4800 baud)") + " driving at " +
                         speed + " km/h, on " + m->pty.portPath();
        return true;
    }
    return true;
}

bool DataSource::Start(std::string*) {
    if (m->simulator) m->simulator->Start();
    if (m->replay) {
        const Options& o = m->options;
        int baud = o.fast ? 0 : o.baud > 0 ? o.baud : m->sony ? vpisim::kSonyBaud : vpisim::kNmeaBaud;
        // Counted from here: only what the running link reads. The wait
        // wakes at each read, so that a file dense in sentence starts goes
        // at the reader's pace.
        unsigned long long baseline = W32WaitSerialBytesRead(0, 0);
        m->replay->Start(
            m->pty.deviceFd(), baud, [baseline] { return W32WaitSerialBytesRead(0, 0) - baseline; },
            [baseline](unsigned long long than, int timeoutMs) {
                return W32WaitSerialBytesRead(baseline + than, static_cast<DWORD>(timeoutMs)) - baseline;
            });
    }
    return true;
}

bool DataSource::Finished() const { return m->replay && m->replay->Done(); }

std::string DataSource::Failure() const {
    if (m->log.failed.load())
        return "cannot write the log " + m->options.logPath + ": " + strerror(m->log.error.load());
    if (m->simulator) return m->simulator->Error();
    if (m->replay) return m->replay->Failure();
    return std::string();
}

std::string DataSource::DeviceAbsent() const { return m->absent; }

std::string DataSource::DeviceGone() {
    if (m->watchFd < 0) return std::string();
    bool gone = m->hungUp;
    if (!gone && m->folderChanged) {
        m->folderChanged = false;
        struct stat st;
        gone = stat(m->options.device.c_str(), &st) != 0 || st.st_rdev != m->watchDevice;
    }
    if (!gone) return std::string();
    m->Unwatch();
    m->folderChanged = true;  // look for it again at once
    return "the receiver at " + m->options.device + " is gone";
}

bool DataSource::DeviceBack() {
    if (!m->folderChanged) return false;
    m->folderChanged = false;
    std::string error;
    if (!m->Watch(&error)) return false;
    // A device that hangs up as it is opened is not back, and is not held.
    if (HungUp(m->watchFd)) {
        m->Unwatch();
        return false;
    }
    m->absent.clear();
    return true;
}

void DataSource::Wait(std::chrono::steady_clock::time_point until) {
    using namespace std::chrono;
    // Without folder events (the system's limit reached) the path is
    // looked at every second.
    const bool lookAnyway = !m->options.device.empty() && m->folderEvents < 0;
    if (lookAnyway) until = std::min(until, steady_clock::now() + seconds(1));
    timespec timeout{};
    if (until != steady_clock::time_point::max()) {
        const auto left = std::max(steady_clock::duration::zero(), until - steady_clock::now());
        const auto whole = duration_cast<seconds>(left);
        timeout.tv_sec = static_cast<time_t>(whole.count());
        timeout.tv_nsec = static_cast<long>(duration_cast<nanoseconds>(left - whole).count());
    }
    pollfd fds[] = {{WakeFd(), POLLIN, 0}, {m->watchFd, 0, 0}, {m->folderEvents, POLLIN, 0}};
    const bool forEver = until == steady_clock::time_point::max();
    if (ppoll(fds, 3, forEver ? nullptr : &timeout, nullptr) < 0) return;
    if (fds[0].revents & POLLIN) DrainWakeup();
    if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) m->hungUp = true;
    if (fds[2].revents & POLLIN) m->TakeFolderEvents();
    if (lookAnyway) m->folderChanged = true;
}

std::string DataSource::Progress() const { return m->replay ? m->replay->Progress() : std::string(); }

std::string DataSource::Description() const { return m->description; }

int DataSource::LineSpeed() const {
    int fd = m->watchFd >= 0 ? m->watchFd : m->pty.portFd();
    return fd < 0 ? 0 : LineSpeedOf(fd);
}

void DataSource::WatchModule(HMODULE) {}
std::vector<std::string> DataSource::SentenceIdsRead() const { return m->log.ids.Seen(); }

std::string DataSource::PortAdvice(int port) const {
    const Options& o = m->options;
    if (!o.device.empty()) return "COM" + std::to_string(port) + " is " + o.device + " here";
    if (m->pty.portFd() >= 0) return "COM" + std::to_string(port) + " is " + m->pty.portPath() + " here";
    return "COM" + std::to_string(port) + " is " + kDefaultDevice + std::to_string(port - 1) +
           " here; name the receiver's device with --device PATH, or try --simulate nmea for a simulated receiver";
}

void DataSource::Stop() {
    if (m->replay) m->replay->Stop();
    if (m->simulator) m->simulator->Stop();
}

}  // namespace vpihost
