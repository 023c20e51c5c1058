// DecodeLine in Sony mode: the fixed columns of a "SONY" record.
#include "DecodeFixture.h"
#include "decode/DecodeConstants.h"

namespace {

struct SonyRecord {
    const char* pszTime = "123519";
    char cLatLetter = 'N';
    const char* pszLatitude = "3540123";
    char cLonLetter = 'E';
    const char* pszLongitude = "13944567";
    const char* pszSpeed = "020";
    const char* pszCourse = "090";
    char cSatellites = '7';
    char cDatum = 'A';

    // The columns nothing reads hold digits, so that a column read one
    // character too early or too far reads a wrong number.
    std::string Text() const {
        std::string line(63, '8');
        auto put = [&line](size_t nColumn, const std::string& text) { line.replace(nColumn, text.size(), text); };
        put(0, "SONY");
        put(13, pszTime);
        line[19] = cLatLetter;
        put(20, pszLatitude);
        line[27] = cLonLetter;
        put(28, pszLongitude);
        put(41, pszSpeed);
        put(44, pszCourse);
        line[61] = cSatellites;
        line[62] = cDatum;
        return line + "\r";
    }
};

class SonyDecodeTest : public DecodeTest {
protected:
    void SetUp() override {
        DecodeTest::SetUp();
        comm.m_nProtocol = 1;
    }
};

TEST_F(SonyDecodeTest, DecodesEveryColumn) {
    tagGPSNAVIINFO r = Decode(SonyRecord().Text());
    EXPECT_STREQ(r.szTime, "123519");
    ASSERT_EQ(host.packedArguments.size(), 2u);
    EXPECT_BITS(host.packedArguments[0], 3540123.0 * 0.00001);
    EXPECT_BITS(host.packedArguments[1], 13944567.0 * 0.00001);
    EXPECT_BITS(r.dLatitude, VpiPacked60To10(3540123.0 * 0.00001));
    EXPECT_BITS(r.dLongitude, VpiPacked60To10(13944567.0 * 0.00001));
    EXPECT_NEAR(r.dLatitude, 35.0 + 40.0 / 60 + 12.3 / 3600, 1e-9);
    EXPECT_EQ(r.dSpeed, 20.0);
    EXPECT_EQ(r.dCourse, 90.0);
    EXPECT_EQ(r.nSatellites, 7);
    EXPECT_EQ(r.nDatum, 0);
    EXPECT_EQ(viewQueries, 1u);
    // Never written in Sony mode.
    EXPECT_EQ(r.dAltitude, 0.0);
    EXPECT_EQ(r.szDate[0], '\0');
}

TEST_F(SonyDecodeTest, SouthAndWestNegate) {
    SonyRecord record;
    record.cLatLetter = 'S';
    record.cLonLetter = 'w';
    tagGPSNAVIINFO r = Decode(record.Text());
    EXPECT_BITS(host.packedArguments[0], 3540123.0 * 0.00001);
    EXPECT_BITS(r.dLatitude, -VpiPacked60To10(3540123.0 * 0.00001));
    EXPECT_BITS(r.dLongitude, -VpiPacked60To10(13944567.0 * 0.00001));
    record.cLatLetter = 's';
    record.cLonLetter = 'W';
    r = Decode(record.Text());
    EXPECT_LT(r.dLatitude, 0.0);
    EXPECT_LT(r.dLongitude, 0.0);
}

TEST_F(SonyDecodeTest, SatelliteDigitIsTakenAsItComes) {
    SonyRecord record;
    record.cSatellites = '0';
    EXPECT_EQ(Decode(record.Text()).nSatellites, 0);  // no fallback to 99
    record.cSatellites = ' ';
    EXPECT_EQ(Decode(record.Text()).nSatellites, -16);
    record.cSatellites = '9';
    EXPECT_EQ(Decode(record.Text()).nSatellites, 9);
}

TEST_F(SonyDecodeTest, DatumLetters) {
    SonyRecord record;
    record.cDatum = 'C';
    EXPECT_EQ(Decode(record.Text()).nDatum, 0);
    record.cDatum = 'b';
    EXPECT_EQ(Decode(record.Text()).nDatum, 1);
    record.cDatum = 'C';
    EXPECT_EQ(Decode(record.Text()).nDatum, 1);
    record.cDatum = 'a';
    EXPECT_EQ(Decode(record.Text()).nDatum, 0);
    record.cDatum = 'B';
    EXPECT_EQ(Decode(record.Text()).nDatum, 1);
    record.cDatum = 'A';
    EXPECT_EQ(Decode(record.Text()).nDatum, 0);
}

TEST_F(SonyDecodeTest, CourseHoldWithThresholdFive) {
    comm.m_nFixSpeed = 5;
    SonyRecord record;
    EXPECT_EQ(Decode(record.Text()).dCourse, 90.0);
    record.pszSpeed = "003";
    record.pszCourse = "200";
    EXPECT_EQ(Decode(record.Text()).dCourse, 90.0);
    record.pszSpeed = "006";
    EXPECT_EQ(Decode(record.Text()).dCourse, 200.0);
    // The same remembered course serves NMEA sentences.
    comm.m_nProtocol = 0;
    EXPECT_EQ(Decode("$GPVTG,10,T,,M,,N,1,K").dCourse, 200.0);
}

// Digits on both sides of every number, the hemisphere columns included.
TEST_F(SonyDecodeTest, ColumnsDoNotRunIntoTheirNeighbours) {
    SonyRecord record;
    record.cLatLetter = '1';
    record.cLonLetter = '2';
    record.pszSpeed = "12.";
    record.pszCourse = "345";
    tagGPSNAVIINFO r = Decode(record.Text());
    EXPECT_STREQ(r.szTime, "123519");
    ASSERT_EQ(host.packedArguments.size(), 2u);
    EXPECT_BITS(host.packedArguments[0], 3540123.0 * 0.00001);
    EXPECT_BITS(host.packedArguments[1], 13944567.0 * 0.00001);
    EXPECT_EQ(r.dSpeed, 12.0);
    EXPECT_EQ(r.dCourse, 345.0);
}

TEST_F(SonyDecodeTest, LocalTimeApplies) {
    ScopedTimeZone zone("JST-9");
    host.localTimeOption = 1;
    SonyRecord record;
    record.pszTime = "235959";
    EXPECT_STREQ(Decode(record.Text()).szTime, "085959");
}

// A short record reads nothing an earlier, longer line left in the buffer.
TEST_F(SonyDecodeTest, ShortRecordAfterLongOneReadsMissingColumnsAsEmpty) {
    SonyRecord record;
    record.cDatum = 'B';
    Decode(record.Text());
    tagGPSNAVIINFO r = Decode("SONY---------1122");
    EXPECT_STREQ(r.szTime, "001122");
    EXPECT_EQ(r.dLatitude, 0.0);
    EXPECT_EQ(r.dLongitude, 0.0);
    EXPECT_EQ(r.dSpeed, 0.0);
    EXPECT_EQ(r.dCourse, 0.0);
    EXPECT_EQ(r.nSatellites, '\0' - '0');
    EXPECT_EQ(r.nDatum, 1);

    r = Decode("SONY---------123519N35");
    EXPECT_STREQ(r.szTime, "123519");
    EXPECT_BITS(host.packedArguments[host.packedArguments.size() - 2], 35.0 * 0.00001);
    EXPECT_EQ(r.dSpeed, 0.0);
    r = Decode("SONY");
    EXPECT_STREQ(r.szTime, "000000");
}

TEST_F(SonyDecodeTest, ProtocolsDoNotMix) {
    tagGPSNAVIINFO before = Decode(SonyRecord().Text());
    for (const char* pszLine : {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", "sony",
                                "SONx-------------------------", " SONY", ""}) {
        EXPECT_TRUE(SameBytes(Decode(pszLine), before)) << pszLine;
    }
    comm.m_nProtocol = 0;
    EXPECT_TRUE(SameBytes(Decode(SonyRecord().Text()), before));
}

}  // namespace
