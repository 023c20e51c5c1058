#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <win32_control.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "DataSource.h"
#include "PseudoTerminal.h"
#include "ReplayWriter.h"
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
    PseudoTerminal pty;
    std::unique_ptr<vpisim::Simulator> simulator;
    std::unique_ptr<ReplayWriter> replay;

    ~Impl() {
        // Writers first: they use the pseudo-terminal.
        replay.reset();
        simulator.reset();
        MapPorts(nullptr);
    }

    bool OpenPty(std::string* error) {
        if (!pty.Open(error)) return false;
        MapPorts(pty.portPath().c_str());
        return true;
    }
};

DataSource::DataSource() : m(new Impl) {}
DataSource::~DataSource() = default;

bool DataSource::Prepare(const Options& o, int, bool sony, std::string* error) {
    m->options = o;
    m->sony = sony;
    if (!o.device.empty()) {
        // Tried here once, so that a missing or busy device is one clear
        // line rather than the dialog's refusal.
        int fd = open(o.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        // A port that another program holds: its exclusive mode refuses the
        // open, or its lock (which every opener through the stand-in takes)
        // is taken.
        if ((fd < 0 && errno == EBUSY) || (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)) {
            if (fd >= 0) close(fd);
            *error = o.device + " is in use by another program";
            return false;
        }
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
        // Counted from here: only what the running link reads.
        unsigned long long baseline = BytesReadAtPorts();
        m->replay->Start(m->pty.deviceFd(), baud, [baseline] { return BytesReadAtPorts() - baseline; });
    }
    return true;
}

bool DataSource::Finished() const { return m->replay && m->replay->Done(); }

std::string DataSource::Failure() const {
    if (m->simulator) return m->simulator->Error();
    if (m->replay) return m->replay->Failure();
    return std::string();
}

std::string DataSource::Progress() const { return m->replay ? m->replay->Progress() : std::string(); }

std::string DataSource::Description() const { return m->description; }

void DataSource::Stop() {
    if (m->replay) m->replay->Stop();
    if (m->simulator) m->simulator->Stop();
}

}  // namespace vpihost
