#include <win32_control.h>

#include "source/DataSource.h"
#include "source/LinuxSources.h"

namespace vpihost {

namespace {

const char* const kPortNames[] = {"COM1", "COM2", "COM3", "COM4"};
// The stand-in's device for COM1 is ...0, and so on.
const char kDefaultDevice[] = "/dev/ttyS";

// No source option: the stand-in's defaults, /dev/ttyS0 for COM1 and so on.
class PortDefaults : public DataSource {
public:
    bool Prepare(const SourceSettings& settings, std::string* error) { return StartTap(settings, error); }
    std::string Description() const override {
        return std::string("the default devices (") + kDefaultDevice + "0 for COM1 to " + kDefaultDevice +
               "3 for COM4)";
    }
    std::string PortAdvice(int port) const override {
        return "COM" + std::to_string(port) + " is " + kDefaultDevice + std::to_string(port - 1) +
               " here; name the receiver's device with --device PATH, or try --simulate nmea for a simulated "
               "receiver";
    }
};

}  // namespace

void MapPorts(const char* path) {
    for (const char* name : kPortNames) W32MapComPort(name, path);
}

unsigned long long BytesReadAtPorts() {
    unsigned long long total = 0;
    for (const char* name : kPortNames) {
        W32SerialCounters counters{};
        if (W32GetSerialCounters(name, &counters)) total += counters.bytesRead;
    }
    return total;
}

std::unique_ptr<DataSource> MakeDataSource(const SourceSettings& s, std::string* error) {
    if (!s.device.empty()) return MakeDeviceSource(s, error);
    if (!s.replay.empty()) return MakeReplaySource(s, error);
    if (s.simulate != Receiver::kUnset) return MakeSimulatedReceiver(s, error);
    auto defaults = std::make_unique<PortDefaults>();
    if (!defaults->Prepare(s, error)) return nullptr;
    return defaults;
}

std::unique_ptr<DataSource> MakePortDefaults() { return std::make_unique<PortDefaults>(); }

}  // namespace vpihost
