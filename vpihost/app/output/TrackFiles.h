// The files a run writes besides its records: the GPX track and its picture
// (the --log is the data source's).
#pragma once

#include <string>

#include "cli/Options.h"
#include "output/Track.h"

namespace vpihost {

// Before the run: false, said with the system's reason, when an output file
// cannot be written; nothing existing is changed.
bool OutputsWritable(const Options& options);

// The track files asked for, each replaced whole (AtomicFile.h) as the run
// goes and at its end, so that a killed run leaves valid files.
class TrackFiles {
public:
    explicit TrackFiles(const Options& options) : m_o(options) {}

    bool Asked() const { return !m_o.gpx.empty() || !m_o.svg.empty(); }
    // Writes them from the track. A file that cannot be written is said
    // once in the run, with the system's reason.
    void Write(const Track& track);
    // A write has failed in this run.
    bool Failed() const { return m_gpxFailed || m_svgFailed; }

private:
    void WriteOne(const std::string& path, const std::string& text, bool* failed);

    const Options& m_o;
    bool m_gpxFailed = false;
    bool m_svgFailed = false;
};

}  // namespace vpihost
