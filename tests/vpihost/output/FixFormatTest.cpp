// How records are printed: shortest round-trip doubles, JSON that stays
// valid for any bytes in the text members, and the human line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "output/FixFormat.h"

using namespace vpihost;

namespace {

tagGPSNAVIINFO Record() {
    tagGPSNAVIINFO info;
    memset(&info, 0, sizeof info);
    info.dwSize = 80;
    info.dLatitude = -35.66872333333334;
    info.dLongitude = -139.7427966666667;
    info.dAltitude = 12.5;
    info.dCourse = 271.5;
    info.dSpeed = 22.4 * 1.855;
    memcpy(info.szTime, "225446", 7);
    info.nSatellites = 99;
    info.nInterval = 5;
    info.nDatum = 1;
    memcpy(info.szDate, "940323", 7);
    return info;
}

TEST(ShortestDouble, ReadsBackToTheSameBits) {
    const double values[] = {0.1,
                             1.0 / 3,
                             48.1173,
                             -123.18533333333335,
                             22.4 * 1.855,
                             5e-324,
                             1e-310,
                             -0.0,
                             1e21,
                             std::numeric_limits<double>::max(),
                             139.7427966666667};
    for (double v : values) {
        std::string text = ShortestDouble(v);
        double back = strtod(text.c_str(), nullptr);
        EXPECT_EQ(0, memcmp(&v, &back, sizeof v)) << text;
    }
}

TEST(ShortestDouble, IsTheShortestForm) {
    EXPECT_EQ("0.1", ShortestDouble(0.1));
    EXPECT_EQ("41.552", ShortestDouble(22.4 * 1.855));
    EXPECT_EQ("0", ShortestDouble(0.0));
    EXPECT_EQ("-123.18533333333335", ShortestDouble(-123.18533333333335));
}

TEST(ShortestDouble, NonFiniteBecomesNull) {
    EXPECT_EQ("null", ShortestDouble(std::nan("")));
    EXPECT_EQ("null", ShortestDouble(std::numeric_limits<double>::infinity()));
}

TEST(JsonLine, NamesEveryMemberInRecordOrder) {
    EXPECT_EQ(
        "{\"n\":3,\"dwSize\":80,\"dLatitude\":-35.66872333333334,\"dLongitude\":-139.7427966666667,"
        "\"dAltitude\":12.5,\"dCourse\":271.5,\"dSpeed\":41.552,\"szTime\":\"225446\",\"nSatellites\":99,"
        "\"nInterval\":5,\"nDatum\":1,\"szDate\":\"940323\"}",
        JsonLine(Record(), 3));
}

TEST(JsonLine, TextMembersStopAtTheirWidthAndAreEscaped) {
    tagGPSNAVIINFO info = Record();
    memset(info.szTime, 'A', sizeof info.szTime);  // no NUL: nSatellites follows
    const char date[12] = {'"', '\\', 0x01, static_cast<char>(0xFF), 'x', 'y', 'z', 'w', '1', '2', '3', '4'};
    memcpy(info.szDate, date, sizeof date);
    std::string line = JsonLine(info, 0);
    EXPECT_NE(std::string::npos, line.find("\"szTime\":\"AAAAAAAA\","));
    EXPECT_NE(std::string::npos, line.find("\"szDate\":\"\\\"\\\\\\u0001\\u00ffxyzw1234\"}"));
}

TEST(HumanLine, ShowsTimeDateHemispheresAndDatum) {
    std::string line = HumanLine(Record(), 12);
    EXPECT_NE(std::string::npos, line.find("22:54:46"));
    EXPECT_NE(std::string::npos, line.find("1994-03-23"));
    EXPECT_NE(std::string::npos, line.find("35.668723 S"));
    EXPECT_NE(std::string::npos, line.find("139.742797 W"));
    EXPECT_NE(std::string::npos, line.find("41.6 km/h"));
    EXPECT_NE(std::string::npos, line.find("sats 99"));
    EXPECT_NE(std::string::npos, line.find("Tokyo"));
}

// The link start's record holds nothing: said, not shown as a fix at 0/0.
// A record with data but no time or date yet shows placeholders.
TEST(HumanLine, TheLinkStartsRecordIsMarkedAndMissingFieldsShowPlaceholders) {
    tagGPSNAVIINFO info;
    memset(&info, 0, sizeof info);
    info.dwSize = 80;
    info.nInterval = 5;
    EXPECT_EQ("    0  no data yet: the record the module sends as the link starts", HumanLine(info, 0));
    info.nSatellites = 3;
    std::string line = HumanLine(info, 0);
    EXPECT_NE(std::string::npos, line.find("--:--:--  ----------    0.000000 N")) << line;
    EXPECT_NE(std::string::npos, line.find("WGS 84"));
    memcpy(info.szDate, "26120", 6);  // not six digits
    EXPECT_EQ("", DateText(info));
    memcpy(info.szDate, "261207", 7);
    EXPECT_EQ("2026-12-07", DateText(info));
}

}  // namespace
