// The files a run writes besides its records: the GPX track and its picture
// (the --log is the data source's), and the track they are made from.
#pragma once

#include <cstdint>
#include <string>

#include "output/RecordConsumer.h"
#include "output/Track.h"

namespace vpihost {

// Before the run: false, said with the reason, when an output cannot be
// written (a folder, a socket, a named pipe for the log that nobody
// reads ...); nothing existing is changed. A named pipe or a character
// device for the GPX or the picture is said to get the document at the end.
bool OutputsWritable(const std::string& gpx, const std::string& svg, const std::string& log);

// The track of the run's records, and the files asked for. A file is
// replaced whole (AtomicFile.h) as the run goes and at its end, so that a
// killed run leaves valid files; a named pipe or a device gets the whole
// document once, at the end. The GPX file is made from the settled text of
// the last one, copied, and the points after it: a week of points costs a
// copy in the kernel, not their formatting.
class TrackFiles : public RecordConsumer {
public:
    // Empty paths are not asked for; timesAreUtc: not --local-time.
    TrackFiles(std::string gpx, std::string svg, bool timesAreUtc);
    ~TrackFiles() override;
    TrackFiles(const TrackFiles&) = delete;
    TrackFiles& operator=(const TrackFiles&) = delete;

    void Take(const Record& record) override { m_track.Add(record.stamped); }
    const Track& track() const { return m_track; }
    // The receiver is gone: its next point begins a new segment.
    void ReceiverPresent(bool present) override {
        if (!present) m_track.Break();
    }

    bool Asked() const { return !m_gpx.path.empty() || !m_svg.path.empty(); }
    // Writes them from the track; last: the run's final write, the only one
    // into a pipe or a device. A file that cannot be written is said once
    // in the run, with the reason.
    void Write(bool last = false) { Write(m_track, last); }
    // The same from another track (what a test or a benchmark builds).
    void Write(const Track& track, bool last = false);
    // A write has failed in this run.
    bool Failed() const { return m_gpx.failed || m_svg.failed; }
    // The processor time that the last Write took (this thread, in the
    // kernel too), in seconds: what the schedule keeps to a share of the time.
    double LastWriteCost() const { return m_lastCost; }

private:
    struct Output {
        std::string path;
        const char* what;  // "GPX file", "picture"
        bool stream = false;
        bool failed = false;
        // The GPX file last written, open, and how much of it is settled.
        int kept = -1;
        size_t settledPoints = 0;
        uint64_t settledBytes = 0;
    };
    void WriteGpx(const Track& track);
    void Failure(Output& out, const std::string& reason);

    Output m_gpx, m_svg;
    bool m_timesAreUtc;
    Track m_track;
    double m_lastCost = 0;
};

}  // namespace vpihost
