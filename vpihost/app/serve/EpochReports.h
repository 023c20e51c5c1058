// One TPV (and one SKY) per second of receiver time from the records the
// module hands over, each the running composite of all before it.
#pragma once

#include <string>
#include <vector>

#include "GpsNaviInfo.h"
#include "serve/CycleEnd.h"
#include "serve/GpsdReports.h"

namespace vpihost {

// Groups records into epochs, the runs of records with one receiver time
// (szTime), and gives each epoch's reports from its last record: when the
// record of the sentence that ends the receiver's cycle arrives (CycleEnd),
// else when the next epoch begins, when no record came for a while
// (Expire), or at the end (Finish). A record for an epoch already reported
// gives its reports again only when they changed. Times are seconds of a
// steady clock.
class EpochReports {
public:
    explicit EpochReports(ReportFacts facts) : m_facts(std::move(facts)) {}

    // The reports that this record completes (none, the last epoch's, or
    // its own epoch's). sentence: the one the record came from ("$GPRMC"),
    // empty where it is not known; without it only the pause ends a second.
    std::vector<std::string> Add(const tagGPSNAVIINFO& info, double now, const std::string& sentence = std::string());
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
    void Append(std::vector<std::string>* out);

    ReportFacts m_facts;
    CycleEnd m_cycle;
    bool m_open = false;      // an epoch has records not yet reported
    bool m_any = false;       // a record has come
    tagGPSNAVIINFO m_last{};  // the last record
    double m_lastAt = 0;      // when it came
    double m_widestGap = 0;   // the widest gap inside this epoch
    double m_quiet = kMaxQuiet;
    bool m_reported = false;       // the open epoch's reports went out once
    bool m_reportedQuiet = false;  // ... after a pause, not at the end of the cycle
    std::string m_lastTpv, m_lastSky;
};

}  // namespace vpihost
