// The reports of the Linux GPS tools' JSON protocol (version 3) made from
// the records the module hands to the host: one TPV (and one SKY) per
// second of receiver time, and the objects that answer the commands.
#pragma once

#include <string>
#include <vector>

#include "GpsNaviInfo.h"
#include "serve/GpsdCommands.h"

namespace vpihost {

constexpr int kProtoMajor = 3;
constexpr int kProtoMinor = 14;

// What the run knows besides the record itself.
struct ReportFacts {
    std::string device;           // the TPV's "device": the --device path, the replay file, ...
    bool timesAreUtc = true;      // not --local-time
    bool trackSeen = false;       // a course other than 0 came in this run
    bool speedSeen = false;       // a date, a speed or a course other than 0 came in this run
    bool satellitesSeen = false;  // a satellite count other than 0 came in this run
};

// The reports' "device": the --device path, the --replay file, else "vpihost".
std::string ReportDevice(const std::string& device, const std::string& replay);

// The TPV of a record. mode 1 without a position (0/0), 3 with an altitude
// other than 0, else 2; members that are not known are left out.
std::string TpvReport(const tagGPSNAVIINFO& info, const ReportFacts& facts);
// The SKY of a record: the satellites used; empty while no count is known.
std::string SkyReport(const tagGPSNAVIINFO& info, const ReportFacts& facts);

// The replies to commands; times in ISO 8601.
std::string VersionReport(const std::string& release);
// The DEVICE: when it was activated, or "activated":0 while it is away
// (activated empty).
std::string DeviceReport(const std::string& device, const std::string& activated, int bps);
std::string DevicesReport(const std::string& device, const std::string& activated, int bps);
std::string WatchReport(const WatchPolicy& policy);
std::string PollReport(const std::string& isoNow, const std::string& tpv, const std::string& sky);
std::string ErrorReport(const std::string& message);

}  // namespace vpihost
