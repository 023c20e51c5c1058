// The records as lines on stdout: a text line per second of receiver time
// (or per record), the record as JSON, or a TPV object. Runs on the loop;
// the lines go into the records' stream (OutputStream.h), which leaves out
// what a reader that does not read has no room for, and counts it.
#pragma once

#include <string>

#include "output/OutputStream.h"
#include "output/RecordConsumer.h"
#include "serve/EpochReports.h"

namespace vpihost {

class RecordPrinter : public RecordConsumer {
public:
    using Clock = std::chrono::steady_clock;
    enum class Format { kText, kJson, kTpv };

    // timesAreUtc: the module reports UTC (not --local-time). everyRecord:
    // a text line for each record; else one per second of receiver time
    // (JSON is always per record). device: the TPV objects' "device".
    RecordPrinter(OutputStream& out, Format format, bool timesAreUtc, bool everyRecord,
                  const std::string& device = std::string())
        : m_out(out), m_format(format), m_everyRecord(everyRecord), m_epochs(ReportFacts{device, timesAreUtc}) {}

    // A TPV (and a SKY) once its second is complete.
    void Take(const Record& record) override;
    // What is held back for the last second: its text line, its TPV.
    void Finish() override;
    Clock::time_point HeldUntil() const override { return m_out.HeldUntil(); }

private:
    bool OneLinePerSecond() const { return m_format == Format::kText && !m_everyRecord; }
    void Write(std::string line);

    OutputStream& m_out;
    Format m_format;
    bool m_everyRecord;
    EpochReports m_epochs;
    bool m_headerWritten = false;
    // One line per second: the latest record of the second not yet shown.
    bool m_holding = false;
    tagGPSNAVIINFO m_held{};
    long m_heldNumber = 0;
};

}  // namespace vpihost
