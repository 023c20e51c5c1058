// The reports of the Linux GPS tools' JSON protocol (version 3) made from
// the records the module hands to the host: one TPV (and one SKY) per
// second of receiver time, and the objects that answer the commands.
#pragma once

#include <string>
#include <vector>

#include "GpsNaviInfo.h"

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
std::string DevicesReport(const std::string& device, const std::string& activated, int bps);
std::string WatchReport(bool enable, bool json);
std::string PollReport(const std::string& isoNow, const std::string& tpv, const std::string& sky);
std::string ErrorReport(const std::string& message);

// Groups records into epochs, the runs of records with one receiver time
// (szTime), and gives each epoch's reports from its last record: when the
// next epoch begins, when no record came for a while (Expire), or at the
// end (Finish). A record for an epoch already reported gives its reports
// again only when they changed. Times are seconds of a steady clock.
class EpochReports {
public:
    explicit EpochReports(ReportFacts facts) : m_facts(std::move(facts)) {}

    // The reports that this record completes (none, or the last epoch's).
    std::vector<std::string> Add(const tagGPSNAVIINFO& info, double now);
    // The open epoch's reports once it has been quiet past Deadline().
    std::vector<std::string> Expire(double now);
    std::vector<std::string> Finish();
    // When the open epoch counts as complete; 0 when none is open.
    double Deadline() const;

    const std::string& LastTpv() const { return m_lastTpv; }
    const std::string& LastSky() const { return m_lastSky; }

    // Bounds of the quiet time that ends an epoch: a receiver's sentences
    // of one second come closer together than the gap before the next.
    static constexpr double kMinQuiet = 0.05;
    static constexpr double kMaxQuiet = 0.5;

private:
    std::vector<std::string> Report();
    void Learn(const tagGPSNAVIINFO& info);

    ReportFacts m_facts;
    bool m_open = false;      // an epoch has records not yet reported
    bool m_any = false;       // a record has come
    tagGPSNAVIINFO m_last{};  // the last record
    double m_lastAt = 0;      // when it came
    double m_widestGap = 0;   // the widest gap inside this epoch
    double m_quiet = kMaxQuiet;
    bool m_reported = false;  // the open epoch's reports went out once
    std::string m_lastTpv, m_lastSky;
};

}  // namespace vpihost
