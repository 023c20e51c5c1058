#include "output/Gpx.h"

#include <algorithm>
#include <cstdio>

#include "output/FixFormat.h"

namespace vpihost {

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

bool SixDigits(const std::string& s) {
    return s.size() == 6 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
long DaysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void CivilFromDays(long z, long* y, unsigned* m, unsigned* d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<long>(yoe) + era * 400 + (*m <= 2);
}

// The day before a calendar date "yyyy-mm-dd".
std::string DayBefore(const std::string& iso) {
    long y = std::stol(iso.substr(0, 4));
    unsigned m = static_cast<unsigned>(std::stoul(iso.substr(5, 2)));
    unsigned d = static_cast<unsigned>(std::stoul(iso.substr(8, 2)));
    CivilFromDays(DaysFromCivil(y, m, d) - 1, &y, &m, &d);
    char text[32];
    snprintf(text, sizeof text, "%04ld-%02u-%02u", y, m, d);
    return text;
}

bool WaitsForDate(const TrackPoint& p, bool timesAreUtc) {
    return timesAreUtc && p.date[0] == '\0' && SixDigits(p.Time());
}

// The point whose date an undated point takes (kNone for none), and
// whether later records could still change that: the last point may yet
// take a date from its second's later records.
size_t DateSource(const Track& track, size_t i, bool* final) {
    const size_t last = track.size() - 1, end = std::min(track.size(), i + 1 + kDateLookAhead);
    for (size_t j = i + 1; j < end; ++j) {
        const TrackPoint& p = track[j];
        if (p.StartsSegment()) {
            *final = true;
            return kNone;
        }
        if (p.date[0] != '\0' && SixDigits(p.Time())) {
            *final = j < last;
            return j;
        }
    }
    *final = end <= last;
    return kNone;
}

// "yyyy-mm-ddThh:mm:ssZ", or empty.
std::string PointTime(const Track& track, size_t i, bool timesAreUtc) {
    const TrackPoint& p = track[i];
    const std::string clock = timesAreUtc ? ClockTime(p.Time()) : std::string();
    if (clock.empty()) return std::string();
    if (p.date[0] != '\0') {
        const std::string date = CalendarDate(p.Date());
        return date.empty() ? date : date + "T" + clock + "Z";
    }
    bool final = false;
    const size_t from = DateSource(track, i, &final);
    if (from == kNone) return std::string();
    std::string date = CalendarDate(track[from].Date());
    if (date.empty()) return date;
    // Later in the day than the dated point that follows: the day before.
    if (p.Time() > track[from].Time()) date = DayBefore(date);
    return date + "T" + clock + "Z";
}

void AppendDecimal(double value, std::string* out) {
    char buffer[kDecimalBuffer];
    out->append(buffer, DecimalChars(value, buffer));
}

}  // namespace

std::string GpxHead() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<gpx version=\"1.1\" creator=\"vpihost\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
           "  <trk>\n    <name>vpihost track</name>\n    <trkseg>\n";
}

std::string GpxTail() { return "    </trkseg>\n  </trk>\n</gpx>\n"; }

void AppendGpxPoints(const Track& track, size_t from, size_t to, bool timesAreUtc, std::string* out) {
    for (size_t i = from; i < to; ++i) {
        const TrackPoint& p = track[i];
        if (p.StartsSegment()) *out += "    </trkseg>\n    <trkseg>\n";
        // The schema's longitude runs from -180 up to but not including 180.
        *out += "      <trkpt lat=\"";
        AppendDecimal(p.latitude, out);
        *out += "\" lon=\"";
        AppendDecimal(p.longitude == 180 ? -180 : p.longitude, out);
        *out += "\">";
        if (p.HasAltitude()) {
            *out += "<ele>";
            AppendDecimal(p.altitude, out);
            *out += "</ele>";
        }
        const std::string time = PointTime(track, i, timesAreUtc);
        if (!time.empty()) *out += "<time>" + time + "</time>";
        *out += "</trkpt>\n";
    }
}

size_t GpxSettled(const Track& track, size_t from, bool timesAreUtc) {
    size_t i = from;
    for (; i + 1 < track.size(); ++i) {
        bool final = true;
        if (WaitsForDate(track[i], timesAreUtc)) DateSource(track, i, &final);
        if (!final) break;
    }
    return i;
}

std::string GpxDocument(const Track& track, bool timesAreUtc) {
    std::string gpx = GpxHead();
    AppendGpxPoints(track, 0, track.size(), timesAreUtc, &gpx);
    return gpx + GpxTail();
}

}  // namespace vpihost
