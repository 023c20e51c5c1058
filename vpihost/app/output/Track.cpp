#include "output/Track.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "output/FixFormat.h"

namespace vpihost {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegree = 111195.0;  // on a sphere of the mean radius

bool SixDigits(const std::string& s) {
    return s.size() == 6 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Number(double value, int decimals) {
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

// A marker's label beside it, turned to the inside near the picture's edges.
std::string Label(double x, double y, const char* text, const char* colour, double width) {
    const bool right = x > width / 2;
    return "  <text x=\"" + Number(right ? x - 12 : x + 12, 1) + "\" y=\"" + Number(y, 1) + "\" text-anchor=\"" +
           (right ? "end" : "start") + "\" font-family=\"sans-serif\" font-size=\"14\" fill=\"" + colour + "\">" +
           text + "</text>\n";
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

// "yyyy-mm-dd" of yymmdd moved by some days.
std::string IsoDate(const std::string& yymmdd, long shiftDays) {
    long yy = std::stol(yymmdd.substr(0, 2));
    long y = yy >= 80 ? 1900 + yy : 2000 + yy;
    unsigned m = static_cast<unsigned>(std::stoul(yymmdd.substr(2, 2)));
    unsigned d = static_cast<unsigned>(std::stoul(yymmdd.substr(4, 2)));
    CivilFromDays(DaysFromCivil(y, m, d) + shiftDays, &y, &m, &d);
    char text[32];
    snprintf(text, sizeof text, "%04ld-%02u-%02u", y, m, d);
    return text;
}

}  // namespace

void Track::Add(const tagGPSNAVIINFO& info) {
    if (std::isfinite(info.dAltitude) && info.dAltitude != 0) m_altitudeSeen = true;
    if (m_points.size() >= kMaxPoints) return;
    if (!std::isfinite(info.dLatitude) || !std::isfinite(info.dLongitude)) return;
    if (std::fabs(info.dLatitude) > 90 || std::fabs(info.dLongitude) > 180) return;
    if (info.dLatitude == 0 && info.dLongitude == 0) return;
    const bool hasAltitude = m_altitudeSeen && std::isfinite(info.dAltitude);
    TrackPoint point{info.dLatitude,
                     info.dLongitude,
                     hasAltitude ? info.dAltitude : 0,
                     hasAltitude,
                     FieldText(info.szTime, sizeof info.szTime),
                     FieldText(info.szDate, sizeof info.szDate)};
    if (point.time.empty()) return;
    // One point per receiver second, its last fix: each sentence of the
    // second's burst sends the record again, some with a position of their own.
    if (!m_points.empty() && m_points.back().time == point.time)
        m_points.back() = point;
    else
        m_points.push_back(point);
}

std::string DateStamp::DateOf(const std::string& time, const std::string& date) {
    if (date != m_date) {
        m_date = date;
        m_since = time;
    }
    return time >= m_since ? date : std::string();
}

std::string GpxDocument(const Track& track, bool timesAreUtc) {
    std::string gpx =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"vpihost\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
        "  <trk>\n    <name>vpihost track</name>\n    <trkseg>\n";
    const auto& points = track.points();
    // Walked backwards, so that an undated point knows the next date.
    std::vector<std::string> times(points.size());
    std::string nextDate, nextTime;
    for (size_t i = points.size(); i-- > 0;) {
        const TrackPoint& p = points[i];
        if (!SixDigits(p.time)) continue;
        if (SixDigits(p.date)) {
            nextDate = p.date;
            nextTime = p.time;
        }
        if (!timesAreUtc || nextDate.empty()) continue;
        // Later in the day than the dated point that follows: the day before.
        const long shift = p.date.empty() && p.time > nextTime ? -1 : 0;
        times[i] = IsoDate(nextDate, shift) + "T" + p.time.substr(0, 2) + ":" + p.time.substr(2, 2) + ":" +
                   p.time.substr(4, 2) + "Z";
    }
    for (size_t i = 0; i < points.size(); ++i) {
        const TrackPoint& p = points[i];
        // The schema's longitude runs from -180 up to but not including 180.
        const double lon = p.longitude == 180 ? -180 : p.longitude;
        gpx += "      <trkpt lat=\"" + ShortestDouble(p.latitude) + "\" lon=\"" + ShortestDouble(lon) + "\">";
        if (p.hasAltitude) gpx += "<ele>" + ShortestDouble(p.altitude) + "</ele>";
        if (!times[i].empty()) gpx += "<time>" + times[i] + "</time>";
        gpx += "</trkpt>\n";
    }
    gpx += "    </trkseg>\n  </trk>\n</gpx>\n";
    return gpx;
}

std::string SvgDocument(const Track& track) {
    const double width = 800, height = 600, margin = 50;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      Number(width, 0) + "\" height=\"" + Number(height, 0) + "\" viewBox=\"0 0 " + Number(width, 0) +
                      " " + Number(height, 0) + "\">\n";
    svg += "  <rect width=\"100%\" height=\"100%\" fill=\"#fbfbf8\"/>\n";
    const auto& points = track.points();
    if (points.empty()) {
        svg +=
            "  <text x=\"400\" y=\"300\" text-anchor=\"middle\" font-family=\"sans-serif\" font-size=\"20\">"
            "no fixes</text>\n</svg>\n";
        return svg;
    }

    // Local east/north metres around the track's middle latitude.
    double minLat = points[0].latitude, maxLat = minLat, minLon = points[0].longitude, maxLon = minLon;
    for (const TrackPoint& p : points) {
        minLat = std::min(minLat, p.latitude);
        maxLat = std::max(maxLat, p.latitude);
        minLon = std::min(minLon, p.longitude);
        maxLon = std::max(maxLon, p.longitude);
    }
    const double eastScale = kMetresPerDegree * std::cos((minLat + maxLat) / 2 * kPi / 180);
    const double spanEast = std::max((maxLon - minLon) * eastScale, 1.0);
    const double spanNorth = std::max((maxLat - minLat) * kMetresPerDegree, 1.0);
    const double scale = std::min((width - 2 * margin) / spanEast, (height - 2 * margin - 40) / spanNorth);
    const double offsetX = (width - spanEast * scale) / 2;
    const double offsetY = (height - 40 - spanNorth * scale) / 2;
    auto x = [&](const TrackPoint& p) { return offsetX + (p.longitude - minLon) * eastScale * scale; };
    auto y = [&](const TrackPoint& p) {
        return height - 40 - offsetY - (p.latitude - minLat) * kMetresPerDegree * scale;
    };

    svg += "  <polyline fill=\"none\" stroke=\"#1f5fbf\" stroke-width=\"3\" stroke-linejoin=\"round\" points=\"";
    for (size_t i = 0; i < points.size(); ++i) {
        if (i) svg += ' ';
        svg += Number(x(points[i]), 1) + "," + Number(y(points[i]), 1);
    }
    svg += "\"/>\n";
    const TrackPoint& first = points.front();
    const TrackPoint& last = points.back();
    svg +=
        "  <circle cx=\"" + Number(x(first), 1) + "\" cy=\"" + Number(y(first), 1) + "\" r=\"8\" fill=\"#2e9d3a\"/>\n";
    svg += Label(x(first), y(first) - 12, "start", "#2e9d3a", width);
    svg += "  <rect x=\"" + Number(x(last) - 7, 1) + "\" y=\"" + Number(y(last) - 7, 1) +
           "\" width=\"14\" height=\"14\" fill=\"#c8322d\"/>\n";
    svg += Label(x(last), y(last) + 24, "end", "#c8322d", width);

    // Scale bar: 1, 2 or 5 times a power of ten, near a quarter of the width.
    const double target = (width - 2 * margin) / 4 / scale;
    double bar = std::pow(10.0, std::floor(std::log10(target)));
    if (bar * 5 <= target) {
        bar *= 5;
    } else if (bar * 2 <= target) {
        bar *= 2;
    }
    const double barPixels = bar * scale;
    const std::string label =
        bar >= 1000 ? Number(bar / 1000, bar >= 10000 ? 0 : 1) + " km" : Number(bar, bar < 1 ? 1 : 0) + " m";
    svg += "  <g stroke=\"#333\" stroke-width=\"2\"><line x1=\"" + Number(margin, 0) + "\" y1=\"" +
           Number(height - 25, 0) + "\" x2=\"" + Number(margin + barPixels, 1) + "\" y2=\"" + Number(height - 25, 0) +
           "\"/>";
    svg += "<line x1=\"" + Number(margin, 0) + "\" y1=\"" + Number(height - 31, 0) + "\" x2=\"" + Number(margin, 0) +
           "\" y2=\"" + Number(height - 19, 0) + "\"/>";
    svg += "<line x1=\"" + Number(margin + barPixels, 1) + "\" y1=\"" + Number(height - 31, 0) + "\" x2=\"" +
           Number(margin + barPixels, 1) + "\" y2=\"" + Number(height - 19, 0) + "\"/></g>\n";
    svg += "  <text x=\"" + Number(margin + barPixels + 10, 1) + "\" y=\"" + Number(height - 20, 0) +
           "\" font-family=\"sans-serif\" font-size=\"14\">" + label + "</text>\n";
    svg += "  <text x=\"" + Number(width - margin, 0) + "\" y=\"" + Number(height - 20, 0) +
           "\" text-anchor=\"end\" font-family=\"sans-serif\" font-size=\"14\">" + std::to_string(points.size()) +
           " fixes</text>\n";
    svg += "</svg>\n";
    return svg;
}

}  // namespace vpihost
