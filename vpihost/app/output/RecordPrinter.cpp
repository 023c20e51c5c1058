#include "output/RecordPrinter.h"

#include <chrono>
#include <cstring>

#include "output/FixFormat.h"
#include "cli/ProgressLine.h"

namespace vpihost {

namespace {

bool SameSecond(const tagGPSNAVIINFO& a, const tagGPSNAVIINFO& b) {
    return FieldText(a.szTime, sizeof a.szTime) == FieldText(b.szTime, sizeof b.szTime);
}

}  // namespace

void RecordPrinter::Print(const tagGPSNAVIINFO& info) {
    // The plug-in overwrites its record after the call: take a copy first.
    tagGPSNAVIINFO copy;
    memcpy(&copy, &info, sizeof copy);
    std::lock_guard<std::mutex> lock(m_mutex);
    // The track's and the TPVs' times take a date only where it is that
    // second's.
    tagGPSNAVIINFO stamped = copy;
    if (m_dates.DateOf(FieldText(copy.szTime, sizeof copy.szTime), FieldText(copy.szDate, sizeof copy.szDate)).empty())
        memset(stamped.szDate, 0, sizeof stamped.szDate);
    if (m_listener) m_listener->Hand(stamped);
    m_track.Add(stamped);
    if (copy.dLatitude != 0 || copy.dLongitude != 0) ++m_positions;
    const long n = m_count++;
    if (OneLinePerSecond()) {
        // A receiver sends a burst of sentences each second, each a record:
        // the second's last record is shown once the next second begins.
        if (m_holding && !SameSecond(m_held, copy)) Write(HumanLine(m_held, m_heldNumber));
        m_held = copy;
        m_heldNumber = n;
        m_holding = true;
        return;
    }
    if (m_format != Format::kTpv) {
        Write(m_format == Format::kText ? HumanLine(copy, n) : JsonLine(copy, n));
        return;
    }
    const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    for (std::string& report : m_epochs.Add(stamped, now)) Write(std::move(report));
}

void RecordPrinter::Finish() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_holding) Write(HumanLine(m_held, m_heldNumber));
    m_holding = false;
    if (m_format == Format::kTpv)
        for (std::string& report : m_epochs.Finish()) Write(std::move(report));
}

void RecordPrinter::Write(std::string line) {
    if (m_outputFailed.load()) return;
    if (m_format == Format::kText && !m_headerWritten) line = HumanHeader() + "\n" + line;
    m_headerWritten = true;
    line += '\n';
    const auto held = ClearProgressLine();
    if (fputs(line.c_str(), m_out) < 0 || fflush(m_out) != 0) m_outputFailed = true;
}

long RecordPrinter::Count() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_count;
}

long RecordPrinter::PositionCount() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_positions;
}

Track RecordPrinter::TrackCopy() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_track;
}

}  // namespace vpihost
