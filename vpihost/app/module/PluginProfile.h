// The plug-in's start settings in the profile, under the id vpihost gives
// its one plug-in: as the module stored them, and as this run will give
// them to the start dialog (an option, else the stored setting).
#pragma once

#include "module/IniProfile.h"
#include "cli/Receiver.h"

namespace vpihost {

constexpr unsigned int kPluginId = 1;
// The module reads it but has no dialog field for it: vpihost stores it.
constexpr char kKeyAnyTalker[] = "GPSNavi AnyTalker";

// 1..4 for COM1 to COM4.
int StoredPort(const IniProfile& profile);
// The plug-in's receiver type (NtReceiverType): NMEA 0183, Sony or none chosen.
int StoredReceiverType(const IniProfile& profile);
// The module takes other talkers than $GP ("GPSNavi AnyTalker" 1).
bool StoredAnyTalker(const IniProfile& profile);

// From the --port and --receiver options (0 and kUnset: as stored).
int PortToOpen(int port, const IniProfile& profile);
bool SonyToChoose(Receiver receiver, const IniProfile& profile);

}  // namespace vpihost
