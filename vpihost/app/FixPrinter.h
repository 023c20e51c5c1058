// Where every record the plug-in sends goes: a line on stdout (text, the
// record as JSON, or a TPV object) and, when asked for, the track. Called
// from the receiver thread and the UI thread.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>

#include "Track.h"

namespace vpihost {

class FixPrinter {
public:
    enum class Format { kText, kJson, kTpv };

    // timesAreUtc: the module reports UTC (not --local-time).
    FixPrinter(std::FILE* out, Format format, bool timesAreUtc)
        : m_out(out), m_format(format), m_timesAreUtc(timesAreUtc) {}

    void Print(const tagGPSNAVIINFO& info);

    long Count();
    // Records that carried a position (not 0/0).
    long PositionCount();
    Track TrackCopy();
    // Writing a record failed (a closed pipe, a full disk): nobody reads
    // the records any more. Later records still reach the track.
    bool OutputFailed() const { return m_outputFailed.load(); }

private:
    std::FILE* m_out;
    Format m_format;
    bool m_timesAreUtc;
    std::mutex m_mutex;
    long m_count = 0;
    long m_positions = 0;
    Track m_track;
    DateStamp m_dates;
    std::atomic<bool> m_outputFailed{false};
};

}  // namespace vpihost
