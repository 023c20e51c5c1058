// The fixes of a run, for the GPX and SVG files: one point per distinct
// position and time, in the order they came.
#pragma once

#include <string>
#include <vector>

#include "GpsNaviInfo.h"

namespace vpihost {

struct TrackPoint {
    double latitude, longitude, altitude;
    std::string time;  // hhmmss, may be empty
    std::string date;  // yymmdd, may be empty
};

class Track {
public:
    // Takes the record's fix when it has one (a time and a position other
    // than 0/0) and it differs from the last point.
    void Add(const tagGPSNAVIINFO& info);
    const std::vector<TrackPoint>& points() const { return m_points; }

    // A day of 1 Hz fixes with room to spare; later fixes are not kept.
    static constexpr size_t kMaxPoints = 200000;

private:
    std::vector<TrackPoint> m_points;
};

// GPX 1.1; times are given only when they are UTC and have a date.
std::string GpxDocument(const Track& track, bool timesAreUtc);

// An SVG picture of the track: scaled to fit, start and end marked, a scale
// bar.
std::string SvgDocument(const Track& track);

}  // namespace vpihost
