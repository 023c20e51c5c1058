// The fixes of a run, for the GPX and SVG files: one point per second of
// receiver time, in the order they came, in segments that a receiver gone
// away ends. Every point is kept: a week at one fix a second is 604,800
// points of 40 bytes. They are stored in blocks that a copy shares, so that
// copying a long track for a write costs a few pointers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "GpsNaviInfo.h"

namespace vpihost {

struct TrackPoint {
    double latitude, longitude, altitude;
    char time[7];  // the record's szTime (hhmmss), NUL-padded
    char date[6];  // yymmdd, or NULs when the record had no six-digit date
    uint8_t flags;

    enum : uint8_t {
        kHasAltitude = 1,      // the receiver has sent an altitude, and a decimal holds it
        kStartsSegment = 2,    // the first point after the receiver was gone
        kAltitudeLeftOut = 4,  // what the formats cannot hold (LeftOut)
        kCourseLeftOut = 8,
        kSpeedLeftOut = 16,
        kDateLeftOut = 32
    };
    std::string Time() const;  // hhmmss, may be empty
    std::string Date() const;  // yymmdd, may be empty
    bool HasAltitude() const { return flags & kHasAltitude; }
    bool StartsSegment() const { return flags & kStartsSegment; }
};

// What the formats could not hold, counted per second of receiver time
// (each second's last record): values that were left out of the GPX file
// and the TPV reports.
struct LeftOut {
    long altitudes = 0;  // no plain decimal holds them
    long courses = 0;    // outside 0 up to 360
    long speeds = 0;     // below 0
    long dates = 0;      // six digits that are no calendar date
};

class Track {
public:
    // Takes the record's fix when it has one (a time and a position other
    // than 0/0); a fix of the last point's second takes that point's place.
    void Add(const tagGPSNAVIINFO& info);
    // The receiver is gone: the next point begins a new segment.
    void Break() { m_break = !Empty(); }

    size_t size() const { return m_size; }
    bool Empty() const { return m_size == 0; }
    const TrackPoint& operator[](size_t i) const { return (*m_blocks[i / kBlock])[i % kBlock]; }
    const TrackPoint& back() const { return (*this)[m_size - 1]; }
    // The module's altitude stays 0 until a sentence carries one (never
    // for Sony receivers): it counts as known from its first other value.
    bool altitudeKnown() const { return m_altitudeSeen; }
    const LeftOut& leftOut() const { return m_leftOut; }
    // ", left out where ... : 2 altitudes, ..." for the run's last line;
    // empty when nothing was.
    std::string LeftOutText() const;

    static constexpr size_t kBlock = 4096;

private:
    using Block = std::vector<TrackPoint>;
    TrackPoint& Last();
    void Count(const TrackPoint& point, long sign);

    std::vector<std::shared_ptr<Block>> m_blocks;
    size_t m_size = 0;
    bool m_altitudeSeen = false;
    bool m_break = false;
    LeftOut m_leftOut;
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

}  // namespace vpihost
