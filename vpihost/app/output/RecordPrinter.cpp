#include "output/RecordPrinter.h"

#include "cli/ProgressLine.h"
#include "output/FixFormat.h"

namespace vpihost {

namespace {

bool SameSecond(const tagGPSNAVIINFO& a, const tagGPSNAVIINFO& b) {
    return FieldText(a.szTime, sizeof a.szTime) == FieldText(b.szTime, sizeof b.szTime);
}

}  // namespace

void RecordPrinter::Take(const Record& r) {
    if (OneLinePerSecond()) {
        // A receiver sends a burst of sentences each second, each a record:
        // the second's last record is shown once the next second begins.
        if (m_holding && !SameSecond(m_held, r.info)) Write(HumanLine(m_held, m_heldNumber));
        m_held = r.info;
        m_heldNumber = r.number;
        m_holding = true;
        return;
    }
    if (m_format != Format::kTpv) {
        Write(m_format == Format::kText ? HumanLine(r.info, r.number) : JsonLine(r.info, r.number));
        return;
    }
    for (std::string& report : m_epochs.Add(r.stamped, SteadySeconds(r.at), r.sentence)) Write(std::move(report));
}

void RecordPrinter::Finish() {
    if (m_holding) Write(HumanLine(m_held, m_heldNumber));
    m_holding = false;
    if (m_format == Format::kTpv)
        for (std::string& report : m_epochs.Finish()) Write(std::move(report));
}

void RecordPrinter::Write(std::string line) {
    if (m_format == Format::kText && !m_headerWritten) line = HumanHeader() + "\n" + line;
    line += '\n';
    const auto held = ClearProgressLine();
    // The header goes with the first line that goes out.
    if (m_out.Put(line)) m_headerWritten = true;
}

}  // namespace vpihost
