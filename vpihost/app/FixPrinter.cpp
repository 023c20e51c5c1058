#include "FixPrinter.h"

#include <cstring>

#include "FixFormat.h"

namespace vpihost {

void FixPrinter::Print(const tagGPSNAVIINFO& info) {
    // The plug-in overwrites its record after the call: take a copy first.
    tagGPSNAVIINFO copy;
    memcpy(&copy, &info, sizeof copy);
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string line = m_json ? JsonLine(copy, m_count) : HumanLine(copy, m_count);
    ++m_count;
    line += '\n';
    fputs(line.c_str(), m_out);
    fflush(m_out);
    m_track.Add(copy);
}

long FixPrinter::Count() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_count;
}

Track FixPrinter::TrackCopy() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_track;
}

}  // namespace vpihost
