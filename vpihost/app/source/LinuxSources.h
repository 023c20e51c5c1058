// The Linux sources (DataSource.h) and what they share: the COM port names
// mapped to the one device of the run.
#pragma once

#include <memory>
#include <string>

#include "source/DataSource.h"

namespace vpihost {

// COM1 to COM4 to path; nullptr for the stand-in's defaults.
void MapPorts(const char* path);
// Bytes the plug-in's side has read from any of the ports so far.
unsigned long long BytesReadAtPorts();

std::unique_ptr<DataSource> MakeDeviceSource(const SourceSettings& settings, std::string* error);
std::unique_ptr<DataSource> MakeSimulatedReceiver(const SourceSettings& settings, std::string* error);
std::unique_ptr<DataSource> MakeReplaySource(const SourceSettings& settings, std::string* error);

}  // namespace vpihost
