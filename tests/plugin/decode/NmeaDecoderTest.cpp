// DecodeLine in NMEA 0183 mode: the worked sentences, what each sentence
// kind may change, the course hold, the satellite-count fallback, and lines
// that are malformed or too long.
#include "DecodeFixture.h"

namespace {

const char kGga[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
const char kRmc[] = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
const char kVtg[] = "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48";
const char kGll[] = "$GPGLL,4916.45,N,12311.12,W,225444,A";

std::string Vtg(const char* pszCourse, const char* pszSpeed) {
    return std::string("$GPVTG,") + pszCourse + ",T,,M,,N," + pszSpeed + ",K";
}

TEST_F(DecodeTest, GgaWorkedExample) {
    tagGPSNAVIINFO r = Decode(kGga);
    EXPECT_STREQ(r.szTime, "123519");
    EXPECT_BITS(r.dLatitude, 48.1173);
    EXPECT_BITS(r.dLongitude, 11.516666666666667);
    EXPECT_EQ(r.nSatellites, 8);
    EXPECT_BITS(r.dAltitude, 545.4);
    // Not carried by GGA: left as the link start made them.
    EXPECT_EQ(r.dCourse, 0.0);
    EXPECT_EQ(r.dSpeed, 0.0);
    EXPECT_EQ(r.szDate[0], '\0');
    EXPECT_EQ(r.dwSize, 80u);
    EXPECT_EQ(r.dwReserved, 0u);
    EXPECT_EQ(r.nInterval, 5);
}

TEST_F(DecodeTest, RmcWorkedExampleAfterGga) {
    Decode(kGga);
    tagGPSNAVIINFO r = Decode(kRmc);
    EXPECT_STREQ(r.szTime, "123519");
    EXPECT_BITS(r.dSpeed, 41.552);
    EXPECT_BITS(r.dCourse, 84.4);
    EXPECT_BITS(r.dLatitude, 48.1173);
    EXPECT_BITS(r.dLongitude, 11.516666666666667);
    EXPECT_EQ(r.nSatellites, 8);
    EXPECT_BITS(r.dAltitude, 545.4);
    // Six digits and three NULs; the record's last three bytes are not the date's.
    memcpy(g_GpsNaviInfo.szDate + 9, "xyz", 3);
    r = Decode(kRmc);
    EXPECT_EQ(std::string(r.szDate, 12), std::string("940323\0\0\0xyz", 12));
}

// The host's view is asked once for every time the line converts.
TEST_F(DecodeTest, AsksForTheViewOptionsOncePerConvertedTime) {
    const struct {
        const char* pszLine;
        size_t nQueries;
    } rows[] = {{kGll, 1}, {kGga, 1}, {kRmc, 1}, {kVtg, 0}, {"$GPGSA,A,3", 0}, {"$PGRMM,WGS 84", 0}, {"", 0}};
    for (const auto& row : rows) {
        Decode(row.pszLine);
        EXPECT_EQ(row.nQueries, viewQueries) << row.pszLine;
    }
}

TEST_F(DecodeTest, VtgWorkedExampleChangesOnlyCourseAndSpeed) {
    tagGPSNAVIINFO before = Decode(kGga);
    tagGPSNAVIINFO r = Decode(kVtg);
    EXPECT_BITS(r.dCourse, 54.7);
    EXPECT_BITS(r.dSpeed, 10.2);
    r.dCourse = before.dCourse;
    r.dSpeed = before.dSpeed;
    EXPECT_TRUE(SameBytes(r, before));
}

TEST_F(DecodeTest, GllWorkedExampleWithWestAndSouth) {
    tagGPSNAVIINFO r = Decode(kGll);
    EXPECT_BITS(r.dLatitude, 49.27416666666666);
    EXPECT_BITS(r.dLongitude, -123.18533333333335);
    EXPECT_STREQ(r.szTime, "225444");
    r = Decode("$GPGLL,4916.45,S,12311.12,E,225445,A");
    EXPECT_BITS(r.dLatitude, -49.27416666666666);
    EXPECT_BITS(r.dLongitude, 123.18533333333335);
}

TEST_F(DecodeTest, LowerCaseHemispheresNegate) {
    tagGPSNAVIINFO r = Decode("$GPGGA,123519,4807.038,s,01131.000,w,1,08,0.9,545.4,M,46.9,M,,*48");
    EXPECT_BITS(r.dLatitude, -48.1173);
    EXPECT_BITS(r.dLongitude, -11.516666666666667);
    r = Decode("$GPRMC,123519,A,4807.038,n,01131.000,e,0,0,230394");
    EXPECT_BITS(r.dLatitude, 48.1173);
    EXPECT_BITS(r.dLongitude, 11.516666666666667);
}

TEST_F(DecodeTest, RmcKnotsFactorIsOnePointEightFiveFive) {
    tagGPSNAVIINFO r = Decode("$GPRMC,123519,A,4807.038,N,01131.000,E,10.0,0,230394");
    EXPECT_BITS(r.dSpeed, 18.55);
}

// A position the receiver marks invalid (RMC or GLL status "V", GGA fix
// quality "0") is none: the record is the one the sentence gives when marked
// valid, but with latitude and longitude +0 (and GGA's altitude 0). Only that
// exact mark counts: an empty or missing one changes nothing.
TEST_F(DecodeTest, PositionsMarkedInvalidReadAsNone) {
    const struct {
        const char* pszLine;
        const char* pszValid;
        int bNoPosition;
    } rows[] = {
        {"$GPRMC,123519,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*7D", kRmc, 1},
        {"$GPRMC,123519,V,4807.038,S,01131.000,W,022.4,084.4,230394",
         "$GPRMC,123519,A,4807.038,S,01131.000,W,022.4,084.4,230394", 1},
        {"$GNRMC,123519,V,4807.038,N,01131.000,E,022.4,084.4,230394", kRmc, 1},
        {"$GPGLL,4916.45,S,12311.12,W,225444,V", "$GPGLL,4916.45,S,12311.12,W,225444,A", 1},
        {"$GPGLL,4916.45,N,12311.12,W,225444,V,N*44", kGll, 1},
        {"$GPGGA,123519,4807.038,S,01131.000,W,0,08,0.9,545.4,M,46.9,M,,",
         "$GPGGA,123519,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,", 1},
        // Simulator mode, with and without an altitude; dead reckoning is kept.
        {"$GPGGA,123519,4807.038,N,01131.000,E,8,08,0.9,545.4,M,46.9,M,,", kGga, 1},
        {"$GPGGA,123519,4807.038,N,01131.000,W,8,08,0.9,,M,,M,,",
         "$GPGGA,123519,4807.038,N,01131.000,W,1,08,0.9,,M,,M,,", 1},
        {"$GPGGA,123519,4807.038,N,01131.000,E,6,08,0.9,545.4,M,46.9,M,,", kGga, 0},
        {"$GPRMC,123519,,4807.038,N,01131.000,E,022.4,084.4,230394", kRmc, 0},
        {"$GPGLL,4916.45,N,12311.12,W,225444", kGll, 0},
        {"$GPGGA,123519,4807.038,N,01131.000,E,,08,0.9,545.4,M,46.9,M,,", kGga, 0},
        {"$GPGGA,123519,4807.038,N,01131.000,E,2,08,0.9,545.4,M,46.9,M,,", kGga, 0},
    };
    comm.m_bAnyTalker = 1;
    g_GpsNaviInfo.nSatellites = 8;  // no satellite-count fallback either way
    const tagGPSNAVIINFO fresh = g_GpsNaviInfo;
    for (const auto& row : rows) {
        g_GpsNaviInfo = fresh;
        tagGPSNAVIINFO expected = Decode(row.pszValid);
        ASSERT_NE(expected.dLatitude, 0.0) << row.pszValid;
        if (row.bNoPosition) {
            expected.dLatitude = expected.dLongitude = 0.0;
            if (strstr(row.pszLine, "GGA,")) expected.dAltitude = 0.0;
        }
        g_GpsNaviInfo = fresh;
        EXPECT_TRUE(SameBytes(Decode(row.pszLine), expected)) << row.pszLine;
    }
}

TEST_F(DecodeTest, RmcWithFourDigitYearAndWithShortDate) {
    EXPECT_STREQ(Decode("$GPRMC,1,A,,,,,,,07122026").szDate, "261207");
    EXPECT_STREQ(Decode("$GPRMC,1,A,,,,,,,071226*17").szDate, "261207");
    // A date too short to be one leaves nine NULs, not a stale date.
    tagGPSNAVIINFO r = Decode("$GPRMC,1,A,,,,,,,0712");
    EXPECT_EQ(memcmp(r.szDate, "\0\0\0\0\0\0\0\0\0\0\0\0", 12), 0);
}

TEST_F(DecodeTest, SentencesThatCarryNothingSendTheRecordUnchanged) {
    tagGPSNAVIINFO before = Decode(kGga);
    for (const char* pszLine :
         {"$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39", "$GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39*49",
          "$GNRMC,001031.00,A,4404.13993,N,12118.86023,W,0.146,,100117,,,A*7B", "$GLGGA,1,2,N,3,E,1,2,3,4",
          "$gpgga,123519,4807.038,N,01131.000,E,1,02,0.9,545.4", "", "\r", "$", "garbage", "$GPGG",
          // Checksums that do not fit: one digit changed (1 degree of latitude),
          // a wrong one in lower case, a wrong one before the carriage return.
          "$GPGGA,123519,4907.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
          "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6b",
          "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*49\r", "$PGRMM,Tokyo*1C", "$*47"}) {
        tagGPSNAVIINFO r = Decode(pszLine);
        EXPECT_TRUE(SameBytes(r, before)) << pszLine;
    }
}

// The same lines with other talkers than "$GP" refused (the default) and
// taken: each line is either sent unchanged or decoded exactly as its "$GP"
// form. A checksum that fits, in either case, or none at all lets it pass.
TEST_F(DecodeTest, ChecksumsAndTalkers) {
    const char kGnRmc[] = "$GNRMC,001031.00,A,4404.13993,N,12118.86023,W,0.146,,100117,,,A*7B";
    const char kGpRmc[] = "$GPRMC,001031.00,A,4404.13993,N,12118.86023,W,0.146,,100117,,,A*65";
    struct Row {
        const char* pszLine;
        const char* pszAsGp;
        int bDecodedByDefault;
        int bDecodedWithAnyTalker;
    };
    const Row rows[] = {
        {kGga, kGga, 1, 1},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r", kGga, 1, 1},
        {"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6a", kRmc, 1, 1},
        {kGll, kGll, 1, 1},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", kGga, 1, 1},
        {"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6", kRmc, 1, 1},
        {kGnRmc, kGpRmc, 0, 1},
        {"$GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*59", kGga, 0, 1},
        {"$BDGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*56", kGga, 0, 1},
        {"$GLGLL,4916.45,N,12311.12,W,225444,A*2D", kGll, 0, 1},
        {"$GAVTG,054.7,T,034.4,M,005.5,N,010.2,K*59", kVtg, 0, 1},
        {"$GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", nullptr, 0, 0},
        {"$GnRMC,001031.00,A,4404.13993,N,12118.86023,W,0.146,,100117,,,A*5B", nullptr, 0, 0},
        {"$GNGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39*57", nullptr, 0, 0},
        {"$PGRMM,TOKYO", "$PGRMM,TOKYO", 1, 1},
        {"$GNRMM,TOKYO", nullptr, 0, 0},
        // A maker's own sentence ("$P") and a digit are no talker.
        {"$PGRMC,A,218.8,100,6378137.000,298.257223563,0.0,0.0,0.0,A,3,1,1,4,30", nullptr, 0, 0},
        {"$PSGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", nullptr, 0, 0},
        {"$G1RMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W", nullptr, 0, 0},
    };
    const tagGPSNAVIINFO fresh = g_GpsNaviInfo;
    for (int bAnyTalker : {0, 1}) {
        for (const Row& row : rows) {
            g_GpsNaviInfo = fresh;
            comm.m_bAnyTalker = 0;
            tagGPSNAVIINFO expected = fresh;
            if (bAnyTalker ? row.bDecodedWithAnyTalker : row.bDecodedByDefault) {
                expected = Decode(row.pszAsGp);
                ASSERT_FALSE(SameBytes(expected, fresh)) << row.pszAsGp;
            }
            g_GpsNaviInfo = fresh;
            comm.m_bAnyTalker = bAnyTalker;
            EXPECT_TRUE(SameBytes(Decode(row.pszLine), expected)) << row.pszLine << " any talker " << bAnyTalker;
        }
    }
}

TEST_F(DecodeTest, OtherProtocolsOnlySend) {
    tagGPSNAVIINFO before = Decode(kGga);
    for (int nProtocol : {1, -1, 2}) {
        comm.m_nProtocol = nProtocol;
        EXPECT_TRUE(SameBytes(Decode(kRmc), before)) << nProtocol;
        EXPECT_TRUE(SameBytes(Decode("$PGRMM,Tokyo"), before)) << nProtocol;
    }
}

TEST_F(DecodeTest, SatelliteFallbackForGllAndRmcOnly) {
    EXPECT_EQ(Decode("$GPGGA,123519,4807.038,N,01131.000,E,1,02,0.9,545.4,M,46.9,M,,").nSatellites, 2);
    EXPECT_EQ(Decode("$GPRMC,123520,A,,,,,000.0,000.0,230394").nSatellites, 2);
    EXPECT_EQ(Decode("$GPRMC,123520,V,4807.038,N,01131.000,E,,,230394").nSatellites, 2) << "marked invalid: none";
    EXPECT_EQ(Decode(kVtg).nSatellites, 2);
    EXPECT_EQ(Decode(kRmc).nSatellites, 99);

    Decode("$GPGGA,123519,,,,,0,00,,,M,,M,,");
    EXPECT_EQ(Decode("$GPGLL,,,,,123520,V").nSatellites, 0);
    EXPECT_EQ(Decode(kGll).nSatellites, 99);
    // Latitude 0 with a longitude is still a position.
    Decode("$GPGGA,1,,,,,0,01");
    EXPECT_EQ(Decode("$GPGLL,0000.00,N,12311.12,W,1,A").nSatellites, 99);
    // Three or more is never replaced.
    Decode("$GPGGA,1,,,,,0,03");
    EXPECT_EQ(Decode(kGll).nSatellites, 3);
}

TEST_F(DecodeTest, GgaSendsCountsBelowThreeAsReceived) {
    Decode(kRmc);
    EXPECT_EQ(Decode("$GPGGA,123519,4807.038,N,01131.000,E,1,01,0.9,545.4,M,46.9,M,,").nSatellites, 1);
}

TEST_F(DecodeTest, CourseHoldWithThresholdFive) {
    comm.m_nFixSpeed = 5;
    EXPECT_EQ(Decode(Vtg("90", "20")).dCourse, 90.0);
    EXPECT_EQ(Decode(Vtg("200", "3")).dCourse, 90.0);
    EXPECT_EQ(Decode(Vtg("210", "5")).dCourse, 90.0);
    EXPECT_EQ(Decode(Vtg("210", "6")).dCourse, 210.0);
    EXPECT_EQ(comm.m_dHeldCourse, 210.0);
    // One remembered course for every sentence kind: RMC at 2 knots is
    // 3.71 km/h, below the threshold.
    tagGPSNAVIINFO r = Decode("$GPRMC,123519,A,4807.038,N,01131.000,E,2.0,45.0,230394");
    EXPECT_EQ(r.dCourse, 210.0);
    // 3 knots is 5.565 km/h: above, so its course is shown and remembered.
    EXPECT_EQ(Decode("$GPRMC,123519,A,4807.038,N,01131.000,E,3.0,45.0,230394").dCourse, 45.0);
    EXPECT_EQ(Decode(Vtg("300", "0")).dCourse, 45.0);
}

TEST_F(DecodeTest, FirstCourseIsShownEvenAtRest) {
    comm.m_nFixSpeed = 5;
    EXPECT_EQ(Decode(Vtg("123", "0")).dCourse, 123.0);
    EXPECT_EQ(comm.m_bCourseHeld, 1);
}

TEST_F(DecodeTest, ThresholdZeroHoldsOnlyAtStandstill) {
    comm.m_nFixSpeed = 0;
    Decode(Vtg("10", "1"));
    EXPECT_EQ(Decode(Vtg("20", "0.1")).dCourse, 20.0);
    EXPECT_EQ(Decode(Vtg("30", "0")).dCourse, 20.0);
}

TEST_F(DecodeTest, NegativeThresholdShowsEveryCourseAndRemembersNothing) {
    comm.m_nFixSpeed = -1;
    EXPECT_EQ(Decode(Vtg("90", "20")).dCourse, 90.0);
    EXPECT_EQ(Decode(Vtg("200", "3")).dCourse, 200.0);
    EXPECT_EQ(Decode(Vtg("210", "0")).dCourse, 210.0);
    EXPECT_EQ(comm.m_bCourseHeld, 0);
    EXPECT_EQ(comm.m_dHeldCourse, 0.0);
}

TEST_F(DecodeTest, DatumSpellings) {
    for (const char* pszTokyo : {"$PGRMM,Tokyo*2F", "$PGRMM,TOKYO", "$PGRMM,tokyo", "$PGRMM,TOKYO MEAN"}) {
        EXPECT_EQ(Decode(pszTokyo).nDatum, 1) << pszTokyo;
        EXPECT_EQ(Decode(kRmc).nDatum, 1) << "other sentences keep the datum";
    }
    for (const char* pszOther : {"$PGRMM,WGS 84*06", "$PGRMM,", "$PGRMM", "$PGRMM,Tok", "$PGRMM,XTOKYO"}) {
        Decode("$PGRMM,Tokyo");
        EXPECT_EQ(Decode(pszOther).nDatum, 0) << pszOther;
    }
}

TEST_F(DecodeTest, IdentifierIsTheFirstSixCharactersWhereverTheFirstCommaIs) {
    tagGPSNAVIINFO r = Decode("$GPGGAXYZ,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*1C");
    EXPECT_STREQ(r.szTime, "123519");
    EXPECT_BITS(r.dLatitude, 48.1173);
    EXPECT_EQ(r.nSatellites, 8);
}

// A known identifier without any comma has only empty fields.
TEST_F(DecodeTest, KnownIdentifierWithoutCommaReadsEmptyFields) {
    Decode(kGga);
    comm.m_nFixSpeed = 5;
    tagGPSNAVIINFO r = Decode("$GPRMC");
    EXPECT_STREQ(r.szTime, "000000");
    EXPECT_EQ(r.dLatitude, 0.0);
    EXPECT_EQ(r.dSpeed, 0.0);
    EXPECT_EQ(r.szDate[0], '\0');
    r = Decode("$GPGGA123519.4807");
    EXPECT_STREQ(r.szTime, "000000");
    EXPECT_EQ(r.nSatellites, 0);
}

// A short line must not be recognised by what a longer one left in the buffer.
TEST_F(DecodeTest, ShortLineIsNotCompletedByLeftovers) {
    tagGPSNAVIINFO before = Decode(kGga);
    Decode("$GP");
    EXPECT_TRUE(SameBytes(host.records.back(), before));
}

TEST_F(DecodeTest, LongTimeFieldsTouchNothingButTheTime) {
    Decode(kGga);
    Decode(kRmc);
    tagGPSNAVIINFO before = host.records.back();
    for (const std::string& line :
         {std::string("$GPGGA,") + std::string(200, '1') + ",4807.038,N,01131.000,E,1,08,0.9,545.4",
          std::string("$GPRMC,") + std::string(200, '9') + ",A,4807.038,N,01131.000,E,022.4,084.4,230394",
          std::string("$GPGLL,4807.038,N,01131.000,E,") + std::string(200, '7'),
          std::string("$GPRMC,123519.123,A,4807.038,N,01131.000,E,022.4,084.4,230394")}) {
        tagGPSNAVIINFO r = Decode(line);
        EXPECT_EQ(strlen(r.szTime), 6u) << line;
        EXPECT_EQ(r.szTime[7], '\0');
        EXPECT_EQ(r.nSatellites, 8);
        EXPECT_EQ(r.nInterval, 5);
        EXPECT_EQ(memcmp(r.szDate, before.szDate, sizeof r.szDate), 0);
    }
    EXPECT_STREQ(host.records.back().szTime, "123519");
}

TEST_F(DecodeTest, LongFieldsAreCutAndPassed) {
    std::string line =
        std::string("$GPGLL,4916.45") + std::string(90, '0') + ",S,12311.12" + std::string(100, '0') + ",W,225444,A";
    ASSERT_LT(line.size(), 256u);
    tagGPSNAVIINFO r = Decode(line);
    EXPECT_BITS(r.dLatitude, -49.27416666666666);
    EXPECT_BITS(r.dLongitude, -123.18533333333335);
    EXPECT_STREQ(r.szTime, "225444");
    EXPECT_EQ(Decode("$PGRMM,TOKYO" + std::string(200, 'x')).nDatum, 1);
}

TEST_F(DecodeTest, UnterminatedBufferIsNotReadBeyondItsEnd) {
    memset(comm.m_szLine, 'A', sizeof comm.m_szLine);
    memcpy(comm.m_szLine, "$GPGGA,", 7);
    size_t nBefore = host.records.size();
    comm.DecodeLine();
    EXPECT_EQ(host.records.size(), nBefore + 1);
    EXPECT_STREQ(host.records.back().szTime, "000000");
}

TEST_F(DecodeTest, LocalTimeFromTheViewReachesTheRecord) {
    ScopedTimeZone zone("JST-9");
    host.localTimeOption = 1;
    EXPECT_STREQ(Decode(kGga).szTime, "213519");
    EXPECT_STREQ(Decode("$GPRMC,235959.50,A,,,,,,,230394").szTime, "085959");
    // The date is not moved at midnight.
    EXPECT_STREQ(host.records.back().szDate, "940323");
}

}  // namespace
