#include "DataSource.h"

namespace vpihost {

struct DataSource::Impl {};

DataSource::DataSource() = default;
DataSource::~DataSource() = default;

bool DataSource::Prepare(const Options& o, bool, std::string* error) {
    if (!o.device.empty() || o.simulate != Receiver::kUnset || !o.replay.empty() || !o.logPath.empty()) {
        *error =
            "--device, --simulate, --replay and --log are available on Linux only; on Windows the COM port is real";
        return false;
    }
    return true;
}

bool DataSource::Start(std::string*) { return true; }
bool DataSource::Finished() const { return false; }
std::string DataSource::Failure() const { return std::string(); }
std::string DataSource::DeviceGone() const { return std::string(); }
bool DataSource::DeviceBack() { return false; }
std::string DataSource::Progress() const { return std::string(); }
std::string DataSource::Description() const { return "the COM ports of this computer"; }
int DataSource::LineSpeed() const { return 0; }
void DataSource::Stop() {}

}  // namespace vpihost
