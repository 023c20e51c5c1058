// An SVG picture of the track: drawn at its true scale (east and north
// metres at the track's middle latitude, longitudes unwrapped across 180°),
// latitudes on the left edge and longitudes on the bottom edge, start and
// end marked with their times, a scale bar. Every point is drawn, but a
// line that would repeat one already drawn at the picture's resolution is
// left out, so that a week of laps stays a picture of a few megabytes.
#pragma once

#include <string>

#include "output/Track.h"

namespace vpihost {

// timesAreUtc: the labels' times are marked UTC.
std::string SvgDocument(const Track& track, bool timesAreUtc = true);

}  // namespace vpihost
