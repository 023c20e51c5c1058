#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <win32_control.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "DataSource.h"
#include "LineSpeed.h"
#include "PluginProfile.h"
#include "PseudoTerminal.h"
#include "ReplayWriter.h"
#include "SentenceIds.h"
#include "Sentences.h"
#include "Simulator.h"

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

// Opens a serial device to watch it (it is never read here), or says in
// the user's terms why it cannot be opened.
int OpenDevice(const std::string& path, std::string* error) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        if (e == ENOENT) {
            *error = "there is no device " + path + " (is the receiver plugged in? dmesg names its device)";
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
    ReadTap log;

    ~Impl() {
        // Writers first: they use the pseudo-terminal.
        replay.reset();
        simulator.reset();
        MapPorts(nullptr);
        W32SetSerialTap(nullptr, nullptr);
        if (log.fd >= 0) close(log.fd);
        if (watchFd >= 0) close(watchFd);
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
        return true;
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
        if (!m->Watch(error)) return false;
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

std::string DataSource::DeviceGone() const {
    if (m->watchFd < 0) return std::string();
    pollfd p{m->watchFd, 0, 0};
    const bool hungUp = poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
    struct stat st;
    const bool vanished = stat(m->options.device.c_str(), &st) != 0 || st.st_rdev != m->watchDevice;
    if (!hungUp && !vanished) return std::string();
    return "the receiver at " + m->options.device + " is gone";
}

bool DataSource::DeviceBack() {
    std::string error;
    if (!m->Watch(&error)) return false;
    pollfd p{m->watchFd, 0, 0};
    return !(poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)));
}

std::string DataSource::Progress() const { return m->replay ? m->replay->Progress() : std::string(); }

std::string DataSource::Description() const { return m->description; }

int DataSource::LineSpeed() const {
    int fd = m->watchFd >= 0 ? m->watchFd : m->pty.portFd();
    return fd < 0 ? 0 : LineSpeedOf(fd);
}

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
