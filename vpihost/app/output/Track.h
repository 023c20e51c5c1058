// The fixes of a run, for the GPX and SVG files: one point per second of
// receiver time, in the order they came.
#pragma once

#include <string>
#include <vector>

#include "GpsNaviInfo.h"

namespace vpihost {

struct TrackPoint {
    double latitude, longitude, altitude;
    bool hasAltitude;  // false until the receiver has sent an altitude
    std::string time;  // hhmmss, may be empty
    std::string date;  // yymmdd, may be empty
};

class Track {
public:
    // Takes the record's fix when it has one (a time and a position other
    // than 0/0); a fix of the last point's second takes that point's place.
    void Add(const tagGPSNAVIINFO& info);
    const std::vector<TrackPoint>& points() const { return m_points; }
    // The module's altitude stays 0 until a sentence carries one (never
    // for Sony receivers): it counts as known from its first other value.
    bool altitudeKnown() const { return m_altitudeSeen; }

    // A day of 1 Hz fixes with room to spare; later fixes are not kept.
    static constexpr size_t kMaxPoints = 200000;

private:
    std::vector<TrackPoint> m_points;
    bool m_altitudeSeen = false;
};

// Which record's date is the date of its second. The module's record is
// a running composite: a GGA moves the time on and leaves the date of the
// last RMC, so at midnight the new day's first GGA carries yesterday's
// date. A date belongs to the time it came with and the later times of
// that day.
class DateStamp {
public:
    // The record's date (yymmdd) when it is its time's (hhmmss), else empty.
    std::string DateOf(const std::string& time, const std::string& date);

private:
    std::string m_date;   // the last date seen
    std::string m_since;  // the time it came with
};

// GPX 1.1; times are given only when they are UTC and a date is known: a
// point from before the first date (a position sentence ahead of the one
// that carries the date) takes the date of the next dated point.
std::string GpxDocument(const Track& track, bool timesAreUtc);

// An SVG picture of the track: scaled to fit, start and end marked, a scale
// bar.
std::string SvgDocument(const Track& track);

}  // namespace vpihost
