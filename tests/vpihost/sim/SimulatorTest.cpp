// The simulated receivers' texts: the route, NMEA sentences with their
// checksums and resolution, the Sony columns, and the calendar.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "Route.h"
#include "Sentences.h"

using namespace vpisim;

namespace {

std::vector<std::string> Split(const std::string& burst) {
    std::vector<std::string> sentences;
    size_t start = 0;
    while (start < burst.size()) {
        size_t end = burst.find("\r\n", start);
        if (end == std::string::npos) {
            sentences.push_back(burst.substr(start));
            break;
        }
        sentences.push_back(burst.substr(start, end - start));
        start = end + 2;
    }
    return sentences;
}

std::vector<std::string> Fields(const std::string& sentence) {
    std::vector<std::string> fields;
    std::string body = sentence.substr(0, sentence.find('*'));
    size_t start = 0;
    for (size_t comma; (comma = body.find(',', start)) != std::string::npos; start = comma + 1)
        fields.push_back(body.substr(start, comma - start));
    fields.push_back(body.substr(start));
    return fields;
}

// ddmm.mmmmm and its letter to signed degrees, the plain way.
double Angle(const std::string& digits, const std::string& letter, int degreeDigits) {
    double degrees = atof(digits.substr(0, degreeDigits).c_str()) + atof(digits.substr(degreeDigits).c_str()) / 60;
    return letter == "S" || letter == "W" ? -degrees : degrees;
}

UtcTime At(int hour, int minute, int second) { return UtcTime{2026, 12, 8, hour, minute, second}; }

TEST(Calendar, EpochSecondsToUtc) {
    UtcTime t = UtcFromEpoch(0);
    EXPECT_EQ(1970, t.year);
    EXPECT_EQ(1, t.month);
    EXPECT_EQ(1, t.day);
    t = UtcFromEpoch(951782400);  // a leap day
    EXPECT_EQ(2000, t.year);
    EXPECT_EQ(2, t.month);
    EXPECT_EQ(29, t.day);
    t = UtcFromEpoch(1700000000);
    EXPECT_EQ(2023, t.year);
    EXPECT_EQ(11, t.month);
    EXPECT_EQ(14, t.day);
    EXPECT_EQ(22, t.hour);
    EXPECT_EQ(13, t.minute);
    EXPECT_EQ(20, t.second);
    t = UtcFromEpoch(-1);
    EXPECT_EQ(1969, t.year);
    EXPECT_EQ(12, t.month);
    EXPECT_EQ(31, t.day);
    EXPECT_EQ(86399, t.SecondOfDay());
}

TEST(Route, IsAClosedLoopOfAboutOneKilometre) {
    Route route(36.72);  // 10.2 m/s
    EXPECT_GT(route.LengthMetres(), 900);
    EXPECT_LT(route.LengthMetres(), 1200);
    const long lap = std::lround(route.LengthMetres() / 10.2);
    Truth a = route.At(0), b = route.At(lap);
    EXPECT_NEAR(a.latitude, b.latitude, 1e-9);
    EXPECT_NEAR(a.longitude, b.longitude, 1e-9);
    std::set<double> courses;
    for (long s = 0; s < lap; ++s) courses.insert(route.At(s).course);
    EXPECT_EQ((std::set<double>{0, 90, 180, 270}), courses);
}

TEST(Route, MovesAtItsSpeedBetweenSeconds) {
    Route route(40);
    for (long s = 1000; s < 1200; ++s) {
        Truth a = route.At(s), b = route.At(s + 1);
        double north = (b.latitude - a.latitude) * 111195.0;
        double east = (b.longitude - a.longitude) * 111195.0 * std::cos(a.latitude * 3.14159265358979 / 180);
        double metres = std::hypot(north, east);
        EXPECT_LE(metres, 40 / 3.6 + 0.05) << s;  // a corner cuts the distance short
        EXPECT_GT(metres, 7.0) << s;
        EXPECT_NEAR(0, std::fmod(a.altitude * 10, 1.0), 1e-6);
    }
}

TEST(NmeaText, AnglesCarryFiveDecimalsOfMinutesAndRoundOverToTheNextDegree) {
    EXPECT_EQ("3530.00000,N", NmeaLatitude(35.5));
    EXPECT_EQ("0100.00000,S", NmeaLatitude(-0.999999999));
    EXPECT_EQ("13946.02750,E", NmeaLongitude(139.767125));
    EXPECT_EQ("00030.00000,W", NmeaLongitude(-0.5));
}

TEST(NmeaText, EverySentenceHasAValidChecksumAndEndsWithCrLf) {
    Route route;
    for (int second = 0; second < 20; ++second) {
        std::string burst = NmeaBurst(At(12, 0, second), route.At(43200 + second));
        ASSERT_EQ("\r\n", burst.substr(burst.size() - 2));
        for (const std::string& s : Split(burst)) {
            ASSERT_EQ('$', s[0]) << s;
            size_t star = s.find('*');
            ASSERT_EQ(s.size() - 3, star) << s;
            unsigned sum = 0;
            for (size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(s[i]);
            EXPECT_EQ(sum, strtoul(s.substr(star + 1).c_str(), nullptr, 16)) << s;
        }
    }
}

TEST(NmeaText, BurstsCarryTheSentenceSetAndFitTheirSecondAt4800Baud) {
    Route route;
    for (int second = 0; second < 20; ++second) {
        std::string burst = NmeaBurst(At(8, 30, second), route.At(30600 + second));
        std::multiset<std::string> kinds;
        for (const std::string& s : Split(burst)) kinds.insert(s.substr(1, 5));
        for (const char* kind : {"GPGGA", "GPGSA", "GPRMC", "GPVTG", "GPGLL"}) EXPECT_EQ(1u, kinds.count(kind));
        EXPECT_EQ(second % 5 == 0 ? 2u : 0u, kinds.count("GPGSV")) << second;
        EXPECT_EQ(second % 10 == 3 ? 1u : 0u, kinds.count("PGRMM")) << second;
        EXPECT_LT(burst.size() * 10.0 / kNmeaBaud, 0.97) << "burst of second " << second << " overruns";
    }
}

TEST(NmeaText, PositionsAgreeWithTheTruthToAMillionthOfADegree) {
    Route route(50);
    for (long s = 0; s < 86400; s += 997) {
        Truth truth = route.At(s);
        for (const std::string& sentence : Split(NmeaBurst(UtcFromEpoch(s), truth))) {
            std::vector<std::string> f = Fields(sentence);
            if (f[0] == "$GPGGA" || f[0] == "$GPRMC") {
                size_t at = f[0] == "$GPGGA" ? 2 : 3;
                EXPECT_NEAR(truth.latitude, Angle(f[at], f[at + 1], 2), 1e-6) << sentence;
                EXPECT_NEAR(truth.longitude, Angle(f[at + 2], f[at + 3], 3), 1e-6) << sentence;
            }
            if (f[0] == "$GPGGA") {
                EXPECT_EQ("08", f[7]);
                EXPECT_DOUBLE_EQ(truth.altitude, atof(f[9].c_str()));
            }
            if (f[0] == "$GPVTG") {
                EXPECT_DOUBLE_EQ(50.0, atof(f[7].c_str()));
            }
        }
    }
}

TEST(SonyText, ColumnsHoldTimePositionSpeedCourseSatellitesAndDatum) {
    Truth truth{-35.681236, -139.767125, 38.0, 270.0, 40.4};
    std::string r = SonyRecord(At(3, 4, 5), truth);
    ASSERT_EQ(65u, r.size());
    EXPECT_EQ("SONY", r.substr(0, 4));
    EXPECT_EQ("030405", r.substr(13, 6));
    EXPECT_EQ('S', r[19]);
    EXPECT_EQ('W', r[27]);
    // ddmmsss with the seconds in tenths.
    std::string lat = r.substr(20, 7), lon = r.substr(28, 8);
    double latitude = atoi(lat.substr(0, 2).c_str()) + atoi(lat.substr(2, 2).c_str()) / 60.0 +
                      atoi(lat.substr(4, 3).c_str()) / 36000.0;
    double longitude = atoi(lon.substr(0, 3).c_str()) + atoi(lon.substr(3, 2).c_str()) / 60.0 +
                       atoi(lon.substr(5, 3).c_str()) / 36000.0;
    EXPECT_NEAR(35.681236, latitude, 0.05 / 3600 + 1e-12);
    EXPECT_NEAR(139.767125, longitude, 0.05 / 3600 + 1e-12);
    EXPECT_EQ("040", r.substr(41, 3));
    EXPECT_EQ("270", r.substr(44, 3));
    EXPECT_EQ('8', r[61]);
    EXPECT_EQ('A', r[62]);
    EXPECT_EQ("\r\n", r.substr(63));
}

TEST(SonyText, NorthEastAndTheRecordFitsASecondAt9600Baud) {
    Route route;
    std::string r = SonyRecord(At(0, 0, 0), route.At(0));
    EXPECT_EQ('N', r[19]);
    EXPECT_EQ('E', r[27]);
    EXPECT_EQ(std::string::npos, r.find("SONY", 1)) << "one marker per record";
    EXPECT_LT(r.size() * 10.0 / kSonyBaud, 0.2);
}

}  // namespace
