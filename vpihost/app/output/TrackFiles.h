// The files a run writes besides its records: the GPX track and its picture
// (the --log is the data source's), and the track they are made from.
#pragma once

#include <string>

#include "output/RecordConsumer.h"
#include "output/Track.h"

namespace vpihost {

// Before the run: false, said with the system's reason, when an output file
// cannot be written; nothing existing is changed.
bool OutputsWritable(const std::string& gpx, const std::string& svg, const std::string& log);

// The track of the run's records, and the files asked for, each replaced
// whole (AtomicFile.h) as the run goes and at its end, so that a killed run
// leaves valid files.
class TrackFiles : public RecordConsumer {
public:
    // Empty paths are not asked for; timesAreUtc: not --local-time.
    TrackFiles(std::string gpx, std::string svg, bool timesAreUtc)
        : m_gpx(std::move(gpx)), m_svg(std::move(svg)), m_timesAreUtc(timesAreUtc) {}

    void Take(const Record& record) override { m_track.Add(record.stamped); }
    const Track& track() const { return m_track; }

    bool Asked() const { return !m_gpx.empty() || !m_svg.empty(); }
    // Writes them from the track. A file that cannot be written is said
    // once in the run, with the system's reason.
    void Write();
    // A write has failed in this run.
    bool Failed() const { return m_gpxFailed || m_svgFailed; }

private:
    void WriteOne(const std::string& path, const std::string& text, bool* failed);

    std::string m_gpx, m_svg;
    bool m_timesAreUtc;
    Track m_track;
    bool m_gpxFailed = false;
    bool m_svgFailed = false;
};

}  // namespace vpihost
