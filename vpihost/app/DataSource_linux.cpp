#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <win32_control.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "DataSource.h"
#include "LineWriter.h"
#include "Sentences.h"
#include "Simulator.h"

namespace vpihost {

namespace {

const char* const kPortNames[] = {"COM1", "COM2", "COM3", "COM4"};

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

}  // namespace

struct DataSource::Impl {
    Options options;
    bool sony = false;
    std::string description = "the default devices (/dev/ttyS0 for COM1 to /dev/ttyS3 for COM4)";

    // The pseudo-terminal: device side written here, port side kept open so
    // that the line and its queue live as long as the run.
    int deviceFd = -1;
    int portFd = -1;
    std::string portPath;

    std::unique_ptr<vpisim::Simulator> simulator;

    int replayFd = -1;
    unsigned long long replaySize = 0;
    std::atomic<unsigned long long> replayWritten{0};
    std::atomic<bool> replayDone{false};
    std::atomic<bool> stop{false};
    std::thread replayThread;
    mutable std::mutex mutex;
    std::string failure;

    ~Impl() {
        stop = true;
        if (replayThread.joinable()) replayThread.join();
        simulator.reset();
        MapPorts(nullptr);
        for (int fd : {deviceFd, portFd, replayFd})
            if (fd >= 0) close(fd);
    }

    bool OpenPty(std::string* error) {
        char name[128] = {};
        if (openpty(&deviceFd, &portFd, name, nullptr, nullptr) != 0) {
            *error = std::string("cannot create a pseudo-terminal: ") + strerror(errno);
            return false;
        }
        // Raw from the start: bytes written before the plug-in configures the
        // port pass unchanged.
        for (int fd : {deviceFd, portFd}) {
            termios tio;
            tcgetattr(fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(fd, TCSANOW, &tio);
        }
        portPath = name;
        MapPorts(portPath.c_str());
        return true;
    }

    void Fail(const std::string& reason) {
        std::lock_guard<std::mutex> lock(mutex);
        if (failure.empty()) failure = reason;
    }

    void Replay() {
        unsigned long long baseline = BytesReadAtPorts();
        int baud = options.fast ? 0 : (options.baud > 0 ? options.baud : sony ? vpisim::kSonyBaud : vpisim::kNmeaBaud);
        vpisim::LineWriter writer(
            deviceFd, baud, [baseline] { return BytesReadAtPorts() - baseline; }, &stop);
        char buffer[1024];  // small, so that the progress line moves
        for (;;) {
            ssize_t n = read(replayFd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                Fail(std::string("reading the replay failed: ") + strerror(errno));
                return;
            }
            if (n == 0) break;
            if (!writer.Write(buffer, static_cast<size_t>(n))) {
                if (!stop.load()) Fail(writer.Error());
                return;
            }
            replayWritten = writer.Written();
        }
        if (!writer.WaitUntilTaken()) {
            if (!stop.load()) Fail(writer.Error());
            return;
        }
        replayDone = true;
    }
};

DataSource::DataSource() : m(new Impl) {}
DataSource::~DataSource() = default;

bool DataSource::Prepare(const Options& o, bool sony, std::string* error) {
    m->options = o;
    m->sony = sony;
    if (!o.device.empty()) {
        // Tried here once, so that a missing or busy device is one clear
        // line rather than the dialog's refusal.
        int fd = open(o.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            *error = "cannot open the device " + o.device + ": " + strerror(errno);
            return false;
        }
        close(fd);
        MapPorts(o.device.c_str());
        m->description = o.device;
        return true;
    }
    if (!o.replay.empty()) {
        m->replayFd = open(o.replay.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (m->replayFd < 0 || fstat(m->replayFd, &st) != 0 || !S_ISREG(st.st_mode)) {
            *error = "cannot open the replay " + o.replay + ": " + (m->replayFd < 0 ? strerror(errno) : "not a file");
            return false;
        }
        m->replaySize = static_cast<unsigned long long>(st.st_size);
        if (!m->OpenPty(error)) return false;
        m->description = "the replay of " + o.replay + " on " + m->portPath;
        return true;
    }
    if (o.simulate != Receiver::kUnset) {
        if (!m->OpenPty(error)) return false;
        bool simSony = o.simulate == Receiver::kSony;
        m->simulator.reset(new vpisim::Simulator(simSony ? vpisim::Receiver::kSony : vpisim::Receiver::kNmea,
                                                 o.simSpeedKmh > 0 ? o.simSpeedKmh : vpisim::Route::kDefaultSpeedKmh,
                                                 m->deviceFd, [] { return BytesReadAtPorts(); }));
        char speed[32];
        snprintf(speed, sizeof speed, "%g", m->simulator->route().SpeedKmh());
        m->description = std::string("a simulated ") +
                         (simSony ? "Sony receiver (9600 baud)" : "NMEA receiver (4800 baud)") + " driving at " +
                         speed + " km/h, on " + m->portPath;
        return true;
    }
    return true;
}

bool DataSource::Start(std::string*) {
    if (m->simulator) m->simulator->Start();
    if (m->replayFd >= 0) m->replayThread = std::thread([this] { m->Replay(); });
    return true;
}

bool DataSource::Finished() const { return m->replayDone.load(); }

std::string DataSource::Failure() const {
    if (m->simulator) {
        std::string error = m->simulator->Error();
        if (!error.empty()) return error;
    }
    std::lock_guard<std::mutex> lock(m->mutex);
    return m->failure;
}

std::string DataSource::Progress() const {
    if (m->replayFd < 0) return std::string();
    unsigned long long written = m->replayWritten.load();
    char text[96];
    snprintf(text, sizeof text, "replay %llu of %llu bytes (%.0f%%)", written, m->replaySize,
             m->replaySize ? 100.0 * static_cast<double>(written) / static_cast<double>(m->replaySize) : 100.0);
    return text;
}

std::string DataSource::Description() const { return m->description; }

void DataSource::Stop() {
    m->stop = true;
    if (m->replayThread.joinable()) m->replayThread.join();
    if (m->simulator) m->simulator->Stop();
}

}  // namespace vpihost
