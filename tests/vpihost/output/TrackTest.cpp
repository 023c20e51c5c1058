// The track of a run: which records become points, and the GPX and SVG
// documents made from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "output/Track.h"

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

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
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
    ASSERT_EQ(3u, track.points().size());
    EXPECT_EQ("120001", track.points()[0].time);
    EXPECT_EQ("120002", track.points()[1].time);
    EXPECT_DOUBLE_EQ(35.3, track.points()[2].latitude);
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
}

TEST(Gpx, LeavesOutUnknownAltitudesWrapsLongitude180AndDatesEarlierPoints) {
    struct Point {
        double lat, lon, alt;
        const char* time;
        const char* date;
    };
    struct Case {
        std::vector<Point> points;
        const char* trkpts;
    };
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
    };
    for (const Case& c : cases) {
        Track track;
        for (const Point& p : c.points) {
            tagGPSNAVIINFO info = Fix(p.lat, p.lon, p.time, p.date);
            info.dAltitude = p.alt;
            track.Add(info);
        }
        std::string gpx = GpxDocument(track, true), trkpts;
        for (size_t at = gpx.find("<trkpt"); at != std::string::npos; at = gpx.find("<trkpt", at + 1))
            trkpts += gpx.substr(at, gpx.find("</trkpt>", at) + 8 - at);
        EXPECT_EQ(c.trkpts, trkpts);
    }
}

TEST(Svg, DrawsThePathStartEndAndAScaleBar) {
    Track track;
    // About 1 km due east (0.011 degrees of longitude at 35.68 N).
    for (int i = 0; i <= 10; ++i) {
        char time[8];
        snprintf(time, sizeof time, "1200%02d", i);
        track.Add(Fix(35.68, 139.76 + 0.0011 * i, time));
    }
    std::string svg = SvgDocument(track);
    EXPECT_EQ(1u, Count(svg, "<polyline"));
    size_t start = svg.find("points=\"");
    ASSERT_NE(std::string::npos, start);
    std::string points = svg.substr(start + 8, svg.find('"', start + 8) - start - 8);
    EXPECT_EQ(10u, Count(points, " "));
    EXPECT_EQ(1u, Count(svg, ">start</text>"));
    EXPECT_EQ(1u, Count(svg, ">end</text>"));
    EXPECT_EQ(1u, Count(svg, ">200 m</text>")) << svg;
    EXPECT_EQ(1u, Count(svg, ">11 fixes</text>"));
}

TEST(Svg, EmptyAndSinglePointTracksStillMakeAPicture) {
    EXPECT_NE(std::string::npos, SvgDocument(Track()).find("no fixes"));
    Track one;
    one.Add(Fix(35.68, 139.76, "120000"));
    std::string svg = SvgDocument(one);
    EXPECT_EQ(std::string::npos, svg.find("nan"));
    EXPECT_EQ(1u, Count(svg, ">start</text>"));
}

}  // namespace
