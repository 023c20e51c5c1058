// The track of a run: which records become points, what the formats leave
// out, and the GPX and SVG documents made from it. Every GPX written here is
// read back by gpsbabel and every SVG by xmllint where they are installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "ExternalReaders.h"
#include "Route.h"
#include "output/Gpx.h"
#include "output/Track.h"
#include "output/TrackPicture.h"
#include "serve/GpsdReports.h"

using namespace vpihost;

namespace {

tagGPSNAVIINFO Fix(double lat, double lon, const char* time, const char* date = "") {
    tagGPSNAVIINFO info;
    memset(&info, 0, sizeof info);
    info.dwSize = 80;
    info.dLatitude = lat;
    info.dLongitude = lon;
    info.dAltitude = 40.5;
    memcpy(info.szTime, time, std::min(strlen(time), sizeof info.szTime - 1));
    memcpy(info.szDate, date, std::min(strlen(date), sizeof info.szDate - 1));
    return info;
}

std::string Hhmmss(long secondOfDay) {
    char text[16];
    snprintf(text, sizeof text, "%02ld%02ld%02ld", secondOfDay / 3600 % 24, secondOfDay / 60 % 60, secondOfDay % 60);
    return text;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Every <trkpt .../trkpt> of a document, one after the other.
std::string Trkpts(const std::string& gpx) {
    std::string trkpts;
    for (size_t at = gpx.find("<trkpt"); at != std::string::npos; at = gpx.find("<trkpt", at + 1))
        trkpts += gpx.substr(at, gpx.find("</trkpt>", at) + 8 - at);
    return trkpts;
}

// Without line ends and the indentation after them.
std::string Flat(const std::string& text) {
    std::string flat;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') {
            flat += text[i];
            continue;
        }
        while (i + 1 < text.size() && text[i + 1] == ' ') ++i;
    }
    return flat;
}

// An attribute's value in the element that holds marker (`class="end"`).
double Attribute(const std::string& svg, const std::string& marker, const std::string& name) {
    const size_t element = svg.rfind('<', svg.find(marker));
    const size_t at = svg.find(" " + name + "=\"", element);
    return std::stod(svg.substr(at + name.size() + 3));
}

// The box a label of the picture takes, as the picture reckons it.
struct Box {
    double x0, y0, x1, y1;
};
Box LabelBox(const std::string& svg, const std::string& marker) {
    const size_t element = svg.rfind('<', svg.find(marker));
    const size_t textAt = svg.find('>', element) + 1;
    const double width = 8.0 * (svg.find('<', textAt) - textAt);
    const double x = Attribute(svg, marker, "x"), y = Attribute(svg, marker, "y");
    const bool right = svg.find("text-anchor=\"start\"", element) < textAt;
    return {right ? x : x - width, y - 14, right ? x + width : x, y + 4};
}
bool Overlap(const Box& a, const Box& b) { return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1; }

// The coordinates on an edge ("lat" or "lon"): where each stands (y or x)
// and its value, east and north positive, longitudes unwrapped from the
// first one's.
std::vector<std::pair<double, double>> EdgeLabels(const std::string& svg, const std::string& kind) {
    std::vector<std::pair<double, double>> labels;
    const std::string marker = "class=\"" + kind + "\"";
    for (size_t at = svg.find(marker); at != std::string::npos; at = svg.find(marker, at + 1)) {
        const size_t element = svg.rfind('<', at), textAt = svg.find('>', at) + 1;
        const std::string text = svg.substr(textAt, svg.find('<', textAt) - textAt);
        double value = std::stod(text);
        if (text.find(" S") != std::string::npos || text.find(" W") != std::string::npos) value = -value;
        if (!labels.empty()) value = labels[0].second + std::remainder(value - labels[0].second, 360.0);
        const std::string name = kind == "lat" ? "y" : "x";
        labels.push_back({std::stod(svg.substr(svg.find(" " + name + "=\"", element) + 4)), value});
    }
    return labels;
}

// The value at a place on the edge, from the labels' scale.
double ValueAt(const std::vector<std::pair<double, double>>& labels, double place, double shift) {
    const auto& a = labels.front();
    const auto& b = labels.back();
    return a.second + (place + shift - a.first) * (b.second - a.second) / (b.first - a.first);
}

// The path's points, as written.
std::set<std::pair<double, double>> PathPoints(const std::string& svg) {
    std::set<std::pair<double, double>> points;
    const size_t at = svg.find(" d=\"");
    if (at == std::string::npos) return points;
    const std::string d = svg.substr(at + 4, svg.find('"', at + 4) - at - 4);
    for (size_t i = 0; i < d.size();) {
        char* end = nullptr;
        const double x = strtod(d.c_str() + i + 1, &end);
        const double y = strtod(end, &end);
        points.insert({x, y});
        i = end - d.c_str();
    }
    return points;
}

TEST(Track, KeepsOnlyFixesAndDropsRepeats) {
    Track track;
    track.Add(Fix(0, 0, "120000"));   // no position yet
    track.Add(Fix(35.1, 139.1, ""));  // no time yet
    track.Add(Fix(35.1, 139.1, "120001"));
    track.Add(Fix(35.1, 139.1, "120001"));  // the same fix sent again with the next sentence
    track.Add(Fix(35.1, 139.1, "120002"));  // standing still: a new time is a new point
    track.Add(Fix(95.0, 139.1, "120003"));  // no latitude
    track.Add(Fix(35.2, 139.2, "120004"));
    track.Add(Fix(35.3, 139.3, "120004"));  // the second's later sentence: its fix is the point
    ASSERT_EQ(3u, track.size());
    EXPECT_EQ("120001", track[0].Time());
    EXPECT_EQ("120002", track[1].Time());
    EXPECT_DOUBLE_EQ(35.3, track[2].latitude);
}

// A week at one fix a second: every point in the GPX; a copy (what a write
// takes) shares the points and keeps what it saw.
TEST(Track, AWeekOfFixesIsKeptWholeAndCopiesKeepWhatTheySaw) {
    constexpr long kWeek = 7 * 86400;
    Track track, copy;
    for (long s = 0; s < kWeek; ++s) {
        char date[16];
        snprintf(date, sizeof date, "2612%02ld", 8 + s / 86400);
        track.Add(Fix(35.68 + (s % 1000) * 1e-5, 139.76, Hhmmss(s).c_str(), date));
        if (s != Track::kBlock + 5) continue;
        copy = track;
        track.Add(Fix(35.5, 139.76, Hhmmss(s).c_str(), date));  // the same second, a later sentence
    }
    ASSERT_EQ(static_cast<size_t>(kWeek), track.size());
    EXPECT_EQ("235959", track.back().Time());
    ASSERT_EQ(Track::kBlock + 6, copy.size());
    EXPECT_EQ(Hhmmss(Track::kBlock + 5), copy.back().Time());
    EXPECT_NE(35.5, copy.back().latitude) << "the copy keeps what it saw";
    EXPECT_EQ(35.5, track[Track::kBlock + 5].latitude);
    const std::string gpx = GpxDocument(track, true);
    EXPECT_EQ(static_cast<size_t>(kWeek), Count(gpx, "<trkpt "));
    EXPECT_NE(std::string::npos, gpx.find("<time>2026-12-14T23:59:59Z</time></trkpt>\n    </trkseg>"));
    // gpsbabel takes half a minute for these 60 MB: it reads the week's file
    // of the replay in docs/performance.md instead.
}

TEST(Gpx, PointsWithUtcTimesWhenTheDateIsKnown) {
    Track track;
    track.Add(Fix(35.681236, 139.767125, "123519"));
    track.Add(Fix(-35.66872333333334, -139.7427966666667, "123520", "940323"));
    std::string gpx = GpxDocument(track, true);
    EXPECT_NE(std::string::npos, gpx.find("<gpx version=\"1.1\""));
    // The first point came before the sentence with the date: it takes the next point's date.
    EXPECT_NE(std::string::npos, gpx.find("<trkpt lat=\"35.681236\" lon=\"139.767125\"><ele>40.5</ele>"
                                          "<time>1994-03-23T12:35:19Z</time></trkpt>"));
    EXPECT_NE(std::string::npos, gpx.find("<trkpt lat=\"-35.66872333333334\" lon=\"-139.7427966666667\"><ele>40.5</ele>"
                                          "<time>1994-03-23T12:35:20Z</time></trkpt>"));
    EXPECT_EQ(0u, Count(GpxDocument(track, false), "<time>")) << "local times are not UTC";
    ExpectGpsbabelReads(gpx, 2);
}

TEST(Gpx, LeavesOutUnknownAltitudesWrapsLongitude180DatesEarlierPointsAndBreaksSegments) {
    struct Point {
        double lat, lon, alt;
        const char* time;
        const char* date;
        bool gone = false;  // the receiver was gone before it
    };
    struct Case {
        std::vector<Point> points;
        const char* trkpts;
    };
    const std::string later(kDateLookAhead, 'x');  // that many undated points between
    const Case cases[] = {
        // A Sony receiver sends no altitude and no date.
        {{{35.1, 139.1, 0, "120001", ""}}, "<trkpt lat=\"35.1\" lon=\"139.1\"></trkpt>"},
        // Altitude 0 until the first sentence that carries one.
        {{{35.1, 139.1, 0, "120001", ""}, {35.2, 139.2, 12.5, "120002", ""}, {35.3, 139.3, 0, "120003", ""}},
         "<trkpt lat=\"35.1\" lon=\"139.1\"></trkpt><trkpt lat=\"35.2\" lon=\"139.2\"><ele>12.5</ele></trkpt>"
         "<trkpt lat=\"35.3\" lon=\"139.3\"><ele>0</ele></trkpt>"},
        {{{-10, 180, 0, "120001", ""}}, "<trkpt lat=\"-10\" lon=\"-180\"></trkpt>"},
        // The date arrives after midnight: the point before it is the day before.
        {{{35.1, 139.1, 0, "235959", ""}, {35.2, 139.2, 0, "000000", "000101"}},
         "<trkpt lat=\"35.1\" lon=\"139.1\"><time>1999-12-31T23:59:59Z</time></trkpt>"
         "<trkpt lat=\"35.2\" lon=\"139.2\"><time>2000-01-01T00:00:00Z</time></trkpt>"},
        // Nor across the receiver's absence: a new segment.
        {{{35.1, 139.1, 0, "120001", ""}, {35.2, 139.2, 0, "130000", "000101", true}},
         "<trkpt lat=\"35.1\" lon=\"139.1\"></trkpt></trkseg><trkseg><trkpt lat=\"35.2\" lon=\"139.2\">"
         "<time>2000-01-01T13:00:00Z</time></trkpt>"},
    };
    for (const Case& c : cases) {
        Track track;
        track.Break();  // before any point: no empty segment
        for (const Point& p : c.points) {
            if (p.gone) track.Break();
            tagGPSNAVIINFO info = Fix(p.lat, p.lon, p.time, p.date);
            info.dAltitude = p.alt;
            track.Add(info);
        }
        const std::string gpx = GpxDocument(track, true);
        EXPECT_EQ(c.trkpts, Flat(gpx.substr(gpx.find("<trkpt"), gpx.rfind("</trkpt>") + 8 - gpx.find("<trkpt"))));
        EXPECT_EQ(1u + Count(c.trkpts, "<trkseg>"), Count(gpx, "<trkseg>"));
        ExpectGpsbabelReads(gpx, c.points.size());
    }
}

// Records outside what the formats hold, each through the TPV and the GPX.
TEST(Formats, ValuesTheFormatsCannotHoldAreLeftOutAndCounted) {
    struct Case {
        const char* date;
        const char* time;
        double lat, alt, course, speed;
        const char* tpv;      // the TPV behind its device
        const char* trkpt;    // the point
        const char* counted;  // the run's last line's end
    } cases[] = {
        {"940323", "225446", 35.5, 12.5, 271.5, 36,
         "\"time\":\"1994-03-23T22:54:46.000Z\",\"mode\":3,\"lat\":35.5,\"lon\":139.75,\"altMSL\":12.5,\"alt\":12.5,"
         "\"track\":271.5,\"speed\":10",
         "<trkpt lat=\"35.5\" lon=\"139.75\"><ele>12.5</ele><time>1994-03-23T22:54:46Z</time></trkpt>", ""},
        // Six digits that are no calendar date or time of day: no time, never one rolled over.
        {"999999", "120012", 35.5, 7, 90, 36,
         "\"mode\":3,\"lat\":35.5,\"lon\":139.75,\"altMSL\":7,\"alt\":7,"
         "\"track\":90,\"speed\":10",
         "<trkpt lat=\"35.5\" lon=\"139.75\"><ele>7</ele></trkpt>", "1 date"},
        {"260132", "010000", 35.5, 7, 90, 36,
         "\"mode\":3,\"lat\":35.5,\"lon\":139.75,\"altMSL\":7,\"alt\":7,"
         "\"track\":90,\"speed\":10",
         "<trkpt lat=\"35.5\" lon=\"139.75\"><ele>7</ele></trkpt>", "1 date"},
        {"230229", "010000", 35.5, 7, 90, 36,
         "\"mode\":3,\"lat\":35.5,\"lon\":139.75,\"altMSL\":7,\"alt\":7,"
         "\"track\":90,\"speed\":10",
         "<trkpt lat=\"35.5\" lon=\"139.75\"><ele>7</ele></trkpt>", "1 date"},
        {"240229", "246000", 35.5, 7, 90, 36,
         "\"mode\":3,\"lat\":35.5,\"lon\":139.75,\"altMSL\":7,\"alt\":7,"
         "\"track\":90,\"speed\":10",
         "<trkpt lat=\"35.5\" lon=\"139.75\"><ele>7</ele></trkpt>", ""},
        {"000229", "235959", 35.5, 7, 90, 36,
         "\"time\":\"2000-02-29T23:59:59.000Z\",\"mode\":3,\"lat\":35.5,\"lon\":139.75,\"altMSL\":7,\"alt\":7,"
         "\"track\":90,\"speed\":10",
         "<trkpt lat=\"35.5\" lon=\"139.75\"><ele>7</ele><time>2000-02-29T23:59:59Z</time></trkpt>", ""},
        // Altitudes as plain decimals; one that none holds is left out: a 2D fix.
        {"", "010000", 35.5, 1e308, 90, 36, "\"mode\":2,\"lat\":35.5,\"lon\":139.75,\"track\":90,\"speed\":10",
         "<trkpt lat=\"35.5\" lon=\"139.75\"></trkpt>", "1 altitude"},
        {"", "010000", 35.5, 1e-7, 90, 36,
         "\"mode\":3,\"lat\":35.5,\"lon\":139.75,\"altMSL\":0.0000001,\"alt\":0.0000001,\"track\":90,\"speed\":10",
         "<trkpt lat=\"35.5\" lon=\"139.75\"><ele>0.0000001</ele></trkpt>", ""},
        {"", "010000", 1e-7, -123456789.5, 90, 36,
         "\"mode\":3,\"lat\":1e-07,\"lon\":139.75,\"altMSL\":-123456789.5,\"alt\":-123456789.5,\"track\":90,"
         "\"speed\":10",
         "<trkpt lat=\"0.0000001\" lon=\"139.75\"><ele>-123456789.5</ele></trkpt>", ""},
        // A course from 0 up to 360, a speed from 0.
        {"", "010000", 35.5, 7, -5, -5, "\"mode\":3,\"lat\":35.5,\"lon\":139.75,\"altMSL\":7,\"alt\":7",
         "<trkpt lat=\"35.5\" lon=\"139.75\"><ele>7</ele></trkpt>", "1 course, 1 speed"},
        {"", "010000", 35.5, 7, 360, 36, "\"mode\":3,\"lat\":35.5,\"lon\":139.75,\"altMSL\":7,\"alt\":7,\"speed\":10",
         "<trkpt lat=\"35.5\" lon=\"139.75\"><ele>7</ele></trkpt>", "1 course"},
    };
    const ReportFacts seen{"/dev/ttyUSB0", true, true, true, true};
    for (const Case& c : cases) {
        tagGPSNAVIINFO info = Fix(c.lat, 139.75, c.time, c.date);
        info.dAltitude = c.alt;
        info.dCourse = c.course;
        info.dSpeed = c.speed;
        EXPECT_EQ(std::string("{\"class\":\"TPV\",\"device\":\"/dev/ttyUSB0\",") + c.tpv + "}", TpvReport(info, seen))
            << c.date << " " << c.alt;
        Track track;
        track.Add(info);
        const std::string gpx = GpxDocument(track, true);
        EXPECT_EQ(c.trkpt, Trkpts(gpx)) << c.date << " " << c.alt;
        const std::string counted = track.LeftOutText();
        EXPECT_EQ(c.counted, counted.substr(counted.empty() ? 0 : counted.rfind(": ") + 2));
        ExpectGpsbabelReads(gpx, 1);
    }
}

// The periodic write copies the settled text of the file before and formats
// the rest: the two must make the whole document at every step, whatever
// the records (dates late, missing or bad, seconds sent again, absences).
TEST(Gpx, TheSettledTextAndTheRestMakeTheWholeDocumentAtEveryStep) {
    std::mt19937 random(33);
    for (int run = 0; run < 24; ++run) {
        Track track;
        const bool utc = run % 5 != 0;
        // Some runs see a date only now and then: points wait for one past
        // the look-ahead.
        const unsigned rarelyDated = run % 3 == 1 ? 700 : 0;
        std::string settledText;
        size_t settled = 0;
        long second = 86400 - 300 + run * 7;
        for (int step = 0; step < 1200; ++step) {
            const unsigned roll = random() % 100;
            if (roll < 2 && !rarelyDated) track.Break();
            if (roll < 80 || track.Empty()) ++second;  // else the same second again, with more of its burst
            if (roll >= 97) second += random() % 2000;
            const char* dates[] = {"", "", "261207", "261208", "999999", "261209"};
            const char* date = roll % 7 == 0 ? dates[random() % 6] : (second % 86400 < 200 ? "" : "261207");
            if (rarelyDated && random() % rarelyDated != 0) date = "";
            track.Add(Fix(35 + (random() % 1000) * 1e-4, 139.5, Hhmmss(second).c_str(), date));
            if (step % (3 + run % 11) != 0) continue;
            const size_t now = GpxSettled(track, settled, utc);
            ASSERT_GE(now, settled);
            AppendGpxPoints(track, settled, now, utc, &settledText);
            settled = now;
            std::string document = GpxHead() + settledText;
            AppendGpxPoints(track, settled, track.size(), utc, &document);
            ASSERT_EQ(GpxDocument(track, utc), document + GpxTail()) << "run " << run << " step " << step;
        }
        // All but the last, and those that may still get a date.
        EXPECT_GE(GpxSettled(track, settled, utc) + 1 + kDateLookAhead, track.size()) << "run " << run;
    }
}

TEST(Svg, DrawsThePathStartEndCoordinatesAndAScaleBar) {
    Track track;
    // About 1 km due east (0.011 degrees of longitude at 35.68 N).
    for (int i = 0; i <= 10; ++i) track.Add(Fix(35.68, 139.76 + 0.0011 * i, Hhmmss(43200 + i).c_str(), "261208"));
    const std::string svg = SvgDocument(track);
    EXPECT_EQ(11u, PathPoints(svg).size()) << svg;
    EXPECT_EQ(1u, Count(svg, ">start 2026-12-08 12:00:00 UTC</text>")) << svg;
    EXPECT_EQ(1u, Count(svg, ">end 12:00:10 UTC</text>")) << svg;
    EXPECT_EQ(1u, Count(svg, ">200 m</text>")) << svg;
    EXPECT_EQ(1u, Count(svg, ">11 fixes</text>"));
    // The edges' coordinates put the path where the points are: a latitude
    // label's baseline stands 4 px below its line.
    const auto lats = EdgeLabels(svg, "lat"), lons = EdgeLabels(svg, "lon");
    ASSERT_GE(lats.size(), 3u) << svg;
    ASSERT_GE(lons.size(), 3u) << svg;
    const auto path = PathPoints(svg);
    EXPECT_NEAR(35.68, ValueAt(lats, path.begin()->second, 4), 1e-5);
    EXPECT_NEAR(139.76, ValueAt(lons, path.begin()->first, 0), 1e-5);
    EXPECT_NEAR(139.771, ValueAt(lons, path.rbegin()->first, 0), 1e-5);
    EXPECT_EQ(1u, Count(SvgDocument(track, false), ">end 12:00:10</text>")) << "local times";
    ExpectXmllintReads(svg);
}

// 220 m across 180°: drawn as it was driven, under a scale bar of its size.
TEST(Svg, ATrackAcrossTheAntimeridianIsDrawnUnwrappedAtItsTrueScale) {
    Track track;
    for (int i = 0; i <= 10; ++i) {
        const double lon = 179.999 + 0.0002 * i;
        track.Add(Fix(-16.5, lon > 180 ? lon - 360 : lon, Hhmmss(43200 + i).c_str(), "261208"));
    }
    const std::string svg = SvgDocument(track);
    EXPECT_EQ(1u, Count(svg, ">50 m</text>")) << svg;
    std::set<double> xs;
    for (const auto& point : PathPoints(svg)) xs.insert(point.first);
    ASSERT_EQ(11u, xs.size()) << svg;
    EXPECT_GT(*xs.rbegin() - *xs.begin(), 600) << "drawn across the picture at its own scale";
    EXPECT_GT(Attribute(svg, "class=\"end\"", "x"), Attribute(svg, "class=\"start\"", "x"))
        << "the end east of the start";
    const auto lons = EdgeLabels(svg, "lon");
    ASSERT_GE(lons.size(), 3u) << svg;
    EXPECT_NEAR(179.999, ValueAt(lons, *xs.begin(), 0), 1e-6);
    EXPECT_NEAR(180.001, ValueAt(lons, *xs.rbegin(), 0), 1e-6) << svg;
    EXPECT_NE(std::string::npos, svg.find("° W</text>")) << "east of 180° is west";
    ExpectXmllintReads(svg);
}

// A loop ends near its start, on any side of it: the labels keep apart.
TEST(Svg, OnALoopTheStartAndEndLabelsKeepApart) {
    for (int side = 0; side < 16; ++side) {
        const double angle = side * 3.14159265358979 / 8;
        Track track;
        for (int i = 0; i <= 60; ++i) {
            const double a = i / 60.0 * 2 * 3.14159265358979 * 0.97 + angle;
            track.Add(Fix(35.68 + 0.004 * std::sin(a), 139.76 + 0.005 * std::cos(a), Hhmmss(43200 + i).c_str()));
        }
        const std::string svg = SvgDocument(track);
        const Box start = LabelBox(svg, "class=\"start\""), end = LabelBox(svg, "class=\"end\"");
        EXPECT_FALSE(Overlap(start, end)) << "side " << side << "\n" << svg;
        for (const Box& b : {start, end}) EXPECT_TRUE(b.x0 >= 0 && b.x1 <= 800 && b.y0 >= 0 && b.y1 <= 600) << side;
        if (side == 0) ExpectXmllintReads(svg);
    }
}

// A week of laps round the simulator's loop: every point drawn, but each
// line once; the week's picture holds the very points of its first day's.
TEST(Svg, AWeekOfLapsIsDrawnWholeAndEachLineOnce) {
    vpisim::Route route(60);
    Track week, day;
    for (long s = 0; s < 7 * 86400; ++s) {
        const vpisim::Truth truth = route.At(s % 86400);
        const tagGPSNAVIINFO fix = Fix(truth.latitude, truth.longitude, Hhmmss(s).c_str());
        week.Add(fix);
        if (s < 86400) day.Add(fix);
    }
    const std::string svg = SvgDocument(week);
    EXPECT_EQ(PathPoints(SvgDocument(day)), PathPoints(svg));
    EXPECT_GT(PathPoints(svg).size(), 300u);
    EXPECT_LT(svg.size(), 4u << 20);
    EXPECT_EQ(1u, Count(svg, ">604800 fixes</text>"));
    ExpectXmllintReads(svg);
}

TEST(Svg, EmptyAndSinglePointTracksStillMakeAPicture) {
    EXPECT_NE(std::string::npos, SvgDocument(Track()).find("no fixes"));
    Track one;
    one.Add(Fix(35.68, 139.76, "120000"));
    std::string svg = SvgDocument(one);
    EXPECT_EQ(std::string::npos, svg.find("nan"));
    EXPECT_EQ(1u, Count(svg, ">start 12:00:00 UTC</text>"));
    ExpectXmllintReads(svg);
    ExpectXmllintReads(SvgDocument(Track()));
}

}  // namespace
