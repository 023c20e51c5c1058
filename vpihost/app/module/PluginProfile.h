// The plug-in's start settings in the profile, under the id vpihost gives
// its one plug-in: as the module stored them, and as this run will give
// them to the start dialog (an option, else the stored setting).
#pragma once

#include "module/IniProfile.h"
#include "cli/Options.h"

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

int PortToOpen(const Options& options, const IniProfile& profile);
bool SonyToChoose(const Options& options, const IniProfile& profile);

}  // namespace vpihost
