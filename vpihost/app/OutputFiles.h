// The files a run writes besides its records: the GPX track and its picture
// (the --log is the data source's).
#pragma once

#include <string>

#include "Options.h"
#include "Track.h"

namespace vpihost {

// Before the run: false, said with the system's reason, when an output file
// cannot be written; nothing existing is changed.
bool OutputsWritable(const Options& options);

// Writes the track files asked for; false when one could not be written
// (said with the system's reason).
bool WriteTrackFiles(const Options& options, const Track& track);

}  // namespace vpihost
