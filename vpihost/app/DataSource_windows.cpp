#include "DataSource.h"

namespace vpihost {

struct DataSource::Impl {};

DataSource::DataSource() = default;
DataSource::~DataSource() = default;

bool DataSource::Prepare(const Options& o, bool, std::string* error) {
    if (!o.device.empty() || o.simulate != Receiver::kUnset || !o.replay.empty()) {
        *error = "--device, --simulate and --replay are available on Linux only; on Windows the COM port is real";
        return false;
    }
    return true;
}

bool DataSource::Start(std::string*) { return true; }
bool DataSource::Finished() const { return false; }
std::string DataSource::Failure() const { return std::string(); }
std::string DataSource::Progress() const { return std::string(); }
std::string DataSource::Description() const { return "the COM ports of this computer"; }
void DataSource::Stop() {}

}  // namespace vpihost
