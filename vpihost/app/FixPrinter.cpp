#include "FixPrinter.h"

#include <cstring>

#include "FixFormat.h"
#include "ProgressLine.h"

namespace vpihost {

void FixPrinter::Print(const tagGPSNAVIINFO& info) {
    // The plug-in overwrites its record after the call: take a copy first.
    tagGPSNAVIINFO copy;
    memcpy(&copy, &info, sizeof copy);
    std::lock_guard<std::mutex> lock(m_mutex);
    // The track's and TPV's times take a date only where it is that second's.
    tagGPSNAVIINFO stamped = copy;
    if (m_dates.DateOf(FieldText(copy.szTime, sizeof copy.szTime), FieldText(copy.szDate, sizeof copy.szDate)).empty())
        memset(stamped.szDate, 0, sizeof stamped.szDate);
    m_track.Add(stamped);
    if (copy.dLatitude != 0 || copy.dLongitude != 0) ++m_positions;
    std::string line = m_format == Format::kText   ? HumanLine(copy, m_count)
                       : m_format == Format::kJson ? JsonLine(copy, m_count)
                                                   : TpvLine(stamped, m_timesAreUtc, m_track.altitudeKnown());
    ++m_count;
    if (m_outputFailed.load()) return;
    line += '\n';
    const auto held = ClearProgressLine();
    if (fputs(line.c_str(), m_out) < 0 || fflush(m_out) != 0) m_outputFailed = true;
}

long FixPrinter::Count() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_count;
}

long FixPrinter::PositionCount() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_positions;
}

Track FixPrinter::TrackCopy() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_track;
}

}  // namespace vpihost
