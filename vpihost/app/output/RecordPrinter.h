// Where every record the plug-in sends goes: a line on stdout (text, the
// record as JSON, or a TPV object) and, when asked for, the track. Called
// from the receiver thread and the UI thread.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "serve/GpsdReports.h"
#include "output/RecordListener.h"
#include "output/Track.h"

namespace vpihost {

class RecordPrinter {
public:
    enum class Format { kText, kJson, kTpv };

    // timesAreUtc: the module reports UTC (not --local-time). everyRecord:
    // a text line for each record; else one per second of receiver time
    // (JSON is always per record). device: the TPV objects' "device".
    RecordPrinter(std::FILE* out, Format format, bool timesAreUtc, bool everyRecord,
               const std::string& device = std::string())
        : m_out(out), m_format(format), m_everyRecord(everyRecord), m_epochs(ReportFacts{device, timesAreUtc}) {}

    // Hands the record to the listener, if any, then prints it: a TPV (and
    // a SKY) once its second is complete.
    void Print(const tagGPSNAVIINFO& info);
    // What is held back for the last second: its text line, its TPV; at the
    // end of a run.
    void Finish();
    void SetListener(RecordListener* listener) { m_listener = listener; }

    long Count();
    // Records that carried a position (not 0/0).
    long PositionCount();
    Track TrackCopy();
    // Writing a record failed (a closed pipe, a full disk): nobody reads
    // the records any more. Later records still reach the track.
    bool OutputFailed() const { return m_outputFailed.load(); }

private:
    bool OneLinePerSecond() const { return m_format == Format::kText && !m_everyRecord; }
    void Write(std::string line);

    std::FILE* m_out;
    Format m_format;
    bool m_everyRecord;
    EpochReports m_epochs;
    RecordListener* m_listener = nullptr;
    std::mutex m_mutex;
    long m_count = 0;
    long m_positions = 0;
    Track m_track;
    bool m_headerWritten = false;
    // One line per second: the latest record of the second not yet shown.
    bool m_holding = false;
    tagGPSNAVIINFO m_held{};
    long m_heldNumber = 0;
    DateStamp m_dates;
    std::atomic<bool> m_outputFailed{false};
};

}  // namespace vpihost
