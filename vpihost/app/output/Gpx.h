// The track as GPX 1.1, in pieces: the points whose text can no longer
// change (settled) and the rest, so that a long track's periodic write
// formats only its last points (TrackFiles copies the settled text from
// the file it wrote before).
#pragma once

#include <string>

#include "output/Track.h"

namespace vpihost {

// Times are given only when they are UTC, with a calendar date and a time
// of day. A point without a date of its own (a position sentence ahead of
// the one that carries the date, a GGA just after midnight) takes the date
// of the next dated point of its segment, the day before when its time is
// later in the day, if that point comes within this many points.
constexpr size_t kDateLookAhead = 600;

std::string GpxHead();
std::string GpxTail();
// The <trkpt> lines of the points [from, to), each segment's end and
// start before the point that begins a new one.
void AppendGpxPoints(const Track& track, size_t from, size_t to, bool timesAreUtc, std::string* out);
// How many points from the first have their final text, given that the
// first `from` have: all but the last (the second's later records replace
// it) and any that still wait for a date.
size_t GpxSettled(const Track& track, size_t from, bool timesAreUtc);

// The whole document.
std::string GpxDocument(const Track& track, bool timesAreUtc);

}  // namespace vpihost
