#include "output/TrackPicture.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <unordered_set>

#include "output/FixFormat.h"

namespace vpihost {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegree = 111195.0;  // on a sphere of the mean radius
constexpr double kWidth = 800, kHeight = 600;
// The track's area, inside the edges' coordinates and the scale bar.
constexpr double kLeft = 100, kRight = 770, kTop = 30, kBottom = 510;
constexpr int kFont = 14, kEdgeFont = 12;
// Widths of a character, a little generous, to keep labels apart.
constexpr double kCharWidth = 8, kEdgeCharWidth = 7;
// The track keeps this far inside its area, clear of the edges' labels.
constexpr double kInset = 16;
// The thinning grid: lines are drawn between points on it (half pixels).
constexpr double kGrid = 2;

std::string Number(double value, int decimals) {
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

// 1, 2 or 5 times a power of ten, the smallest at least `at least`.
double NiceStep(double atLeast) {
    double step = std::pow(10.0, std::floor(std::log10(atLeast)));
    for (double factor : {1.0, 2.0, 5.0, 10.0})
        if (step * factor >= atLeast) return step * factor;
    return step * 10;
}

// The largest 1, 2 or 5 times a power of ten not above `atMost`.
double NiceBelow(double atMost) {
    double step = std::pow(10.0, std::floor(std::log10(atMost)));
    if (step * 5 <= atMost) return step * 5;
    if (step * 2 <= atMost) return step * 2;
    return step;
}

// The longitude's next value along the track: the short way round, so
// that a track across 180° stays in one piece.
double Unwrap(double previous, double longitude) { return previous + std::remainder(longitude - previous, 360.0); }

// From degrees (longitudes unwrapped) to the picture and back.
struct Frame {
    double minLat = 0, minLon = 0, eastScale = 0, scale = 0, offsetX = 0, offsetY = 0;
    double X(double lon) const { return offsetX + (lon - minLon) * eastScale * scale; }
    double Y(double lat) const { return offsetY - (lat - minLat) * kMetresPerDegree * scale; }
    double Lon(double x) const { return minLon + (x - offsetX) / (eastScale * scale); }
    double Lat(double y) const { return minLat + (offsetY - y) / (kMetresPerDegree * scale); }
};

Frame MakeFrame(const Track& track) {
    double minLat = track[0].latitude, maxLat = minLat, lon = track[0].longitude, minLon = lon, maxLon = lon;
    for (size_t i = 1; i < track.size(); ++i) {
        lon = Unwrap(lon, track[i].longitude);
        minLat = std::min(minLat, track[i].latitude);
        maxLat = std::max(maxLat, track[i].latitude);
        minLon = std::min(minLon, lon);
        maxLon = std::max(maxLon, lon);
    }
    Frame f;
    f.minLat = minLat;
    f.minLon = minLon;
    f.eastScale = std::max(kMetresPerDegree * std::cos((minLat + maxLat) / 2 * kPi / 180), 1e-3);
    const double spanEast = std::max((maxLon - minLon) * f.eastScale, 1.0);
    const double spanNorth = std::max((maxLat - minLat) * kMetresPerDegree, 1.0);
    f.scale = std::min((kRight - kLeft - 2 * kInset) / spanEast, (kBottom - kTop - 2 * kInset) / spanNorth);
    f.offsetX = (kLeft + kRight - (maxLon - minLon) * f.eastScale * f.scale) / 2;
    f.offsetY = (kTop + kBottom + (maxLat - minLat) * kMetresPerDegree * f.scale) / 2;
    return f;
}

// "35.6820° N", "179.9990° W"; longitudes brought back to -180..180.
std::string Degrees(double value, int decimals, bool latitude) {
    if (!latitude) value = std::remainder(value, 360.0);
    const std::string digits = Number(std::fabs(value), decimals);
    const bool zero = std::stod(digits) == 0 || (!latitude && std::stod(digits) == 180);
    return digits + "\u00b0" + (zero ? "" : value < 0 ? (latitude ? " S" : " W") : (latitude ? " N" : " E"));
}

std::string Text(double x, double y, const char* anchor, int font, const std::string& text, const char* extra = "") {
    return "  <text x=\"" + Number(x, 1) + "\" y=\"" + Number(y, 1) + "\" text-anchor=\"" + anchor +
           "\" font-family=\"sans-serif\" font-size=\"" + std::to_string(font) + "\"" + extra + ">" + text +
           "</text>\n";
}

// Faint lines at round latitudes and longitudes, labelled on the left
// and the bottom edge.
std::string Graticule(const Frame& f) {
    std::string svg = "  <g stroke=\"#e2e2dc\" stroke-width=\"1\">";
    std::string labels;
    for (const bool latitude : {true, false}) {
        const double lo = latitude ? f.Lat(kBottom) : f.Lon(kLeft), hi = latitude ? f.Lat(kTop) : f.Lon(kRight);
        const double step = NiceStep((hi - lo) / 5);
        if (!(step > 0) || !std::isfinite(step)) continue;
        const int decimals = std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
        for (double v = std::ceil(lo / step) * step; v <= hi; v += step) {
            if (latitude) {
                const double y = f.Y(v);
                if (y > kBottom - 10) continue;  // the bottom edge's labels are there
                svg += "<line x1=\"" + Number(kLeft, 0) + "\" y1=\"" + Number(y, 1) + "\" x2=\"" + Number(kRight, 0) +
                       "\" y2=\"" + Number(y, 1) + "\"/>";
                labels += Text(kLeft - 6, y + 4, "end", kEdgeFont, Degrees(v, decimals, true), " class=\"lat\"");
            } else {
                const double x = f.X(v);
                svg += "<line x1=\"" + Number(x, 1) + "\" y1=\"" + Number(kTop, 0) + "\" x2=\"" + Number(x, 1) +
                       "\" y2=\"" + Number(kBottom, 0) + "\"/>";
                // Centred under its line, but inside the picture.
                const std::string text = Degrees(v, decimals, false);
                const double half = text.size() * kEdgeCharWidth / 2;
                const char* anchor = x + half > kWidth ? "end" : "middle";
                labels += Text(x, kBottom + 18, anchor, kEdgeFont, text, " class=\"lon\"");
            }
        }
    }
    return svg + "</g>\n" + labels;
}

void AppendCoordinate(long long q, std::string* out) {
    char buffer[24];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, q / 2).ptr;
    out->append(buffer, end);
    if (q % 2) *out += ".5";
}

// The path through every point, on the half-pixel grid: a point on the
// same spot as the last adds nothing, and a line already drawn (laps of one
// circuit) is not drawn again. A new segment starts without a line.
std::string TrackPath(const Track& track, const Frame& f) {
    std::string d;
    std::unordered_set<unsigned long long> drawn;
    long long px = 0, py = 0;
    bool penDown = false;
    double lon = track[0].longitude;
    for (size_t i = 0; i < track.size(); ++i) {
        const TrackPoint& p = track[i];
        lon = i ? Unwrap(lon, p.longitude) : lon;
        const long long qx = std::llround(f.X(lon) * kGrid), qy = std::llround(f.Y(p.latitude) * kGrid);
        if (i == 0 || p.StartsSegment()) {
            penDown = false;
        } else if (qx == px && qy == py) {
            continue;
        } else {
            // Both ends within 2^16 half pixels: the picture and far beyond.
            auto key = [](long long x, long long y) {
                return static_cast<unsigned long long>((x & 0xffff) << 16 | (y & 0xffff));
            };
            const unsigned long long a = key(px, py), b = key(qx, qy);
            if (drawn.insert(std::min(a, b) << 32 | std::max(a, b)).second) {
                d += penDown ? "L" : "M";
                if (!penDown) {
                    AppendCoordinate(px, &d);
                    d += ' ';
                    AppendCoordinate(py, &d);
                    d += 'L';
                }
                AppendCoordinate(qx, &d);
                d += ' ';
                AppendCoordinate(qy, &d);
                penDown = true;
            } else {
                penDown = false;
            }
        }
        px = qx;
        py = qy;
    }
    if (d.empty()) return d;
    return "  <path fill=\"none\" stroke=\"#1f5fbf\" stroke-width=\"3\" stroke-linejoin=\"round\" "
           "stroke-linecap=\"round\" d=\"" +
           d + "\"/>\n";
}

struct Box {
    double x0, y0, x1, y1;
    bool Meets(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
    bool Inside() const { return x0 >= 2 && x1 <= kWidth - 2 && y0 >= 2 && y1 <= kHeight - 2; }
};

struct Label {
    double x, y;  // the text's anchor point, on its baseline
    bool right;   // the text runs right from x
    Box box;
};

// The label beside a marker at (mx, my): the first of the places around
// it, in the order asked for, that lies inside the picture and clear of
// what is there already.
Label PlaceLabel(double mx, double my, const std::string& text, const int* order, const std::vector<Box>& taken) {
    const double width = text.size() * kCharWidth;
    Label best{};
    for (int k = 0; k < 4; ++k) {
        const bool right = order[k] % 2 == 0, above = order[k] < 2;
        Label l;
        l.right = right;
        l.x = right ? mx + 12 : mx - 12;
        l.y = above ? my - 12 : my + 12 + kFont;
        l.box = {right ? l.x : l.x - width, l.y - kFont, right ? l.x + width : l.x, l.y + 4};
        if (k == 0) best = l;
        if (!l.box.Inside()) continue;
        if (std::none_of(taken.begin(), taken.end(), [&](const Box& b) { return b.Meets(l.box); })) return l;
    }
    // Crowded: below everything there.
    for (const Box& b : taken) best.y = std::max(best.y, b.y1 + kFont + 2);
    best.box.y0 = best.y - kFont;
    best.box.y1 = best.y + 4;
    return best;
}

// "start 2026-12-08 14:23:12 UTC": the date where it is known and, at the
// end, where it is not the start's.
std::string LabelText(const char* what, const TrackPoint& p, const std::string& otherDate, bool timesAreUtc) {
    std::string text = what;
    const std::string date = CalendarDate(p.Date()), time = ClockTime(p.Time());
    if (!date.empty() && date != otherDate) text += " " + date;
    if (!time.empty()) text += " " + time + (timesAreUtc ? " UTC" : "");
    return text;
}

std::string ScaleBar(const Frame& f) {
    const double metres = NiceBelow((kRight - kLeft) / 4 / f.scale), pixels = metres * f.scale, y = kHeight - 25;
    const std::string label = metres >= 1000 ? Number(metres / 1000, metres >= 10000 ? 0 : 1) + " km"
                                             : Number(metres, metres < 1 ? 1 : 0) + " m";
    auto line = [](double x1, double y1, double x2, double y2) {
        return "<line x1=\"" + Number(x1, 1) + "\" y1=\"" + Number(y1, 1) + "\" x2=\"" + Number(x2, 1) + "\" y2=\"" +
               Number(y2, 1) + "\"/>";
    };
    return "  <g stroke=\"#333\" stroke-width=\"2\">" + line(kLeft, y, kLeft + pixels, y) +
           line(kLeft, y - 6, kLeft, y + 6) + line(kLeft + pixels, y - 6, kLeft + pixels, y + 6) + "</g>\n" +
           Text(kLeft + pixels + 10, y + 5, "start", kFont, label, " class=\"scale\"");
}

}  // namespace

std::string SvgDocument(const Track& track, bool timesAreUtc) {
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      Number(kWidth, 0) + "\" height=\"" + Number(kHeight, 0) + "\" viewBox=\"0 0 " +
                      Number(kWidth, 0) + " " + Number(kHeight, 0) + "\">\n";
    svg += "  <rect width=\"100%\" height=\"100%\" fill=\"#fbfbf8\"/>\n";
    if (track.Empty()) return svg + Text(kWidth / 2, kHeight / 2, "middle", 20, "no fixes") + "</svg>\n";

    const Frame f = MakeFrame(track);
    svg += Graticule(f);
    svg += TrackPath(track, f);
    const TrackPoint& first = track[0];
    const TrackPoint& last = track.back();
    double lastLon = first.longitude;
    for (size_t i = 1; i < track.size(); ++i) lastLon = Unwrap(lastLon, track[i].longitude);
    const double sx = f.X(first.longitude), sy = f.Y(first.latitude), ex = f.X(lastLon), ey = f.Y(last.latitude);
    svg += "  <circle cx=\"" + Number(sx, 1) + "\" cy=\"" + Number(sy, 1) + "\" r=\"8\" fill=\"#2e9d3a\"/>\n";
    svg += "  <rect x=\"" + Number(ex - 7, 1) + "\" y=\"" + Number(ey - 7, 1) +
           "\" width=\"14\" height=\"14\" fill=\"#c8322d\"/>\n";

    // The start's label above its marker, the end's below; on a loop the
    // end's goes where it keeps clear of the start's.
    static const int kStartOrder[] = {0, 1, 2, 3}, kEndOrder[] = {2, 3, 0, 1};
    std::vector<Box> taken = {{sx - 9, sy - 9, sx + 9, sy + 9}, {ex - 8, ey - 8, ex + 8, ey + 8}};
    const std::string startText = LabelText("start", first, "", timesAreUtc);
    const std::string endText = LabelText("end", last, CalendarDate(first.Date()), timesAreUtc);
    const Label start = PlaceLabel(sx, sy, startText, kStartOrder, taken);
    taken.push_back(start.box);
    const Label end = PlaceLabel(ex, ey, endText, kEndOrder, taken);
    svg += Text(start.x, start.y, start.right ? "start" : "end", kFont, startText, " class=\"start\" fill=\"#2e9d3a\"");
    svg += Text(end.x, end.y, end.right ? "start" : "end", kFont, endText, " class=\"end\" fill=\"#c8322d\"");

    svg += ScaleBar(f);
    svg += Text(kRight, kHeight - 20, "end", kFont, std::to_string(track.size()) + " fixes");
    return svg + "</svg>\n";
}

}  // namespace vpihost
