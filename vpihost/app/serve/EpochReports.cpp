#include "serve/EpochReports.h"

#include <algorithm>
#include <cstring>

#include "output/FixFormat.h"

namespace vpihost {

namespace {

bool SameTime(const tagGPSNAVIINFO& a, const tagGPSNAVIINFO& b) {
    return strncmp(a.szTime, b.szTime, sizeof a.szTime) == 0;
}

template <typename T>
bool Differ(const T& a, const T& b) {
    return memcmp(&a, &b, sizeof a) != 0;
}

// Whether b says something else than a in a member the reports take.
bool ReportsDiffer(const tagGPSNAVIINFO& a, const tagGPSNAVIINFO& b) {
    return Differ(a.dLatitude, b.dLatitude) || Differ(a.dLongitude, b.dLongitude) || Differ(a.dAltitude, b.dAltitude) ||
           Differ(a.dCourse, b.dCourse) || Differ(a.dSpeed, b.dSpeed) || Differ(a.szTime, b.szTime) ||
           Differ(a.szDate, b.szDate) || a.nSatellites != b.nSatellites;
}

}  // namespace

std::vector<std::string> EpochReports::Add(const tagGPSNAVIINFO& info, double now, const std::string& sentence) {
    std::vector<std::string> out;
    const bool sameEpoch = m_any && SameTime(info, m_last);
    const bool changed = !m_any || ReportsDiffer(m_last, info);
    if (!sameEpoch) {
        if (m_open) {
            out = Report();
            // The gaps inside the epoch just ended tell how long the next
            // may pause before it is complete.
            m_quiet = std::clamp(1.5 * m_widestGap + 0.02, kMinQuiet, kMaxQuiet);
        }
        m_cycle.NewEpoch();
        m_widestGap = 0;
        m_reported = m_reportedQuiet = false;
    } else {
        m_widestGap = std::max(m_widestGap, now - m_lastAt);
        // Reported too early after a pause: wait longer from now on.
        if (!m_open && m_reportedQuiet) m_quiet = std::clamp(1.5 * m_widestGap + 0.02, m_quiet, kMaxQuiet);
    }
    memcpy(&m_last, &info, sizeof m_last);
    m_lastAt = now;
    // A record that changes nothing of a second already reported leaves it so.
    if (!m_reported || changed) m_open = true;
    m_any = true;
    Learn(info);
    if (m_cycle.Ends(sentence, changed) && m_open) Append(&out);
    return out;
}

std::vector<std::string> EpochReports::Expire(double now) {
    if (!m_open || now < Deadline()) return {};
    std::vector<std::string> out = Report();
    m_reportedQuiet = true;
    return out;
}

std::vector<std::string> EpochReports::Finish() { return m_open ? Report() : std::vector<std::string>(); }

double EpochReports::Deadline() const { return m_open ? m_lastAt + m_quiet : 0; }

void EpochReports::Append(std::vector<std::string>* out) {
    for (std::string& report : Report()) out->push_back(std::move(report));
    m_reportedQuiet = false;
}

std::vector<std::string> EpochReports::Report() {
    m_open = false;
    std::string tpv = TpvReport(m_last, m_facts);
    std::string sky = SkyReport(m_last, m_facts);
    std::vector<std::string> out;
    if (!m_reported || tpv != m_lastTpv) out.push_back(tpv);
    if (!sky.empty() && (!m_reported || sky != m_lastSky)) out.push_back(sky);
    m_reported = true;
    m_lastTpv = std::move(tpv);
    if (!sky.empty()) m_lastSky = std::move(sky);
    return out;
}

void EpochReports::Learn(const tagGPSNAVIINFO& info) {
    if (info.dCourse != 0) m_facts.trackSeen = true;
    if (info.dCourse != 0 || info.dSpeed != 0 || !DateText(info).empty()) m_facts.speedSeen = true;
    if (info.nSatellites != 0) m_facts.satellitesSeen = true;
}

}  // namespace vpihost
