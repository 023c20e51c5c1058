#include "output/Track.h"

#include <cmath>
#include <cstring>

#include "output/FixFormat.h"

namespace vpihost {

namespace {

std::string Padded(const char* text, size_t width) { return FieldText(text, width); }

// "N what" with the plural's s.
std::string Counted(long n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); }

}  // namespace

std::string TrackPoint::Time() const { return Padded(time, sizeof time); }
std::string TrackPoint::Date() const { return Padded(date, sizeof date); }

TrackPoint& Track::Last() {
    // Blocks are shared with copies: the last one is copied before it changes.
    std::shared_ptr<Block>& block = m_blocks.back();
    if (block.use_count() > 1) {
        auto own = std::make_shared<Block>();
        own->reserve(kBlock);
        own->assign(block->begin(), block->end());
        block = std::move(own);
    }
    return block->back();
}

void Track::Count(const TrackPoint& point, long sign) {
    m_leftOut.altitudes += sign * !!(point.flags & TrackPoint::kAltitudeLeftOut);
    m_leftOut.courses += sign * !!(point.flags & TrackPoint::kCourseLeftOut);
    m_leftOut.speeds += sign * !!(point.flags & TrackPoint::kSpeedLeftOut);
    m_leftOut.dates += sign * !!(point.flags & TrackPoint::kDateLeftOut);
}

void Track::Add(const tagGPSNAVIINFO& info) {
    if (std::isfinite(info.dAltitude) && info.dAltitude != 0) m_altitudeSeen = true;
    if (!std::isfinite(info.dLatitude) || !std::isfinite(info.dLongitude)) return;
    if (std::fabs(info.dLatitude) > 90 || std::fabs(info.dLongitude) > 180) return;
    if (info.dLatitude == 0 && info.dLongitude == 0) return;
    const std::string time = FieldText(info.szTime, sizeof TrackPoint::time);
    if (time.empty()) return;
    const std::string date = FieldText(info.szDate, sizeof info.szDate);
    const bool sixDigitDate = date.size() == 6 && date.find_first_not_of("0123456789") == std::string::npos;
    const bool altitude = m_altitudeSeen && !DecimalText(info.dAltitude).empty();

    TrackPoint point{};
    point.latitude = info.dLatitude;
    point.longitude = info.dLongitude;
    point.altitude = altitude ? info.dAltitude : 0;
    memcpy(point.time, info.szTime, sizeof point.time);
    if (sixDigitDate) memcpy(point.date, date.data(), sizeof point.date);
    point.flags = (altitude ? TrackPoint::kHasAltitude : 0) |
                  (m_altitudeSeen && !altitude ? TrackPoint::kAltitudeLeftOut : 0) |
                  (CourseFits(info.dCourse) ? 0 : TrackPoint::kCourseLeftOut) |
                  (SpeedFits(info.dSpeed) ? 0 : TrackPoint::kSpeedLeftOut) |
                  (sixDigitDate && CalendarDate(date).empty() ? TrackPoint::kDateLeftOut : 0);

    // One point per receiver second, its last fix: each sentence of the
    // second's burst sends the record again, some with a position of their own.
    if (m_size > 0 && back().Time() == time) {
        TrackPoint& last = Last();
        point.flags |= last.flags & TrackPoint::kStartsSegment;
        Count(last, -1);
        last = point;
        Count(point, 1);
        return;
    }
    if (m_break) point.flags |= TrackPoint::kStartsSegment;
    m_break = false;
    if (m_size % kBlock == 0) {
        m_blocks.push_back(std::make_shared<Block>());
        m_blocks.back()->reserve(kBlock);
    } else if (m_blocks.back().use_count() > 1) {
        Last();  // a copy shares the block: this one gets its own first
    }
    m_blocks.back()->push_back(point);
    ++m_size;
    Count(point, 1);
}

std::string Track::LeftOutText() const {
    std::string text;
    auto add = [&](long n, const char* what) {
        if (n > 0) text += (text.empty() ? "" : ", ") + Counted(n, what);
    };
    add(m_leftOut.altitudes, "altitude");
    add(m_leftOut.courses, "course");
    add(m_leftOut.speeds, "speed");
    add(m_leftOut.dates, "date");
    return text.empty() ? text : "; values the GPX and the TPVs cannot hold, left out: " + text;
}

std::string DateStamp::DateOf(const std::string& time, const std::string& date) {
    if (date != m_date) {
        m_date = date;
        m_since = time;
    }
    return time >= m_since ? date : std::string();
}

}  // namespace vpihost
