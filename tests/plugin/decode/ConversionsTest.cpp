// Angle, time-of-day and date conversions.
#include <cmath>
#include <limits>

#include "DecodeFixture.h"
#include "decode/DecodeConstants.h"

namespace {

TEST(DecodeConstants, HaveTheirBitPatterns) {
    EXPECT_EQ(Bits(NT_ONE_HUNDREDTH), 0x3F847AE147AE147BULL);
    EXPECT_EQ(Bits(NT_ONE_HUNDREDTH), Bits(0.01));
    EXPECT_EQ(Bits(NT_MINUTES_TO_DEGREES), 0x3FFAAAAAAAAAAAAAULL);
    EXPECT_EQ(Bits(NT_KNOTS_TO_KMH), 0x3FFDAE147AE147AEULL);
    EXPECT_EQ(Bits(NT_SONY_ANGLE_SCALE), 0x3EE4F8B588E368F1ULL);
    EXPECT_EQ(Bits(NT_SONY_ANGLE_SCALE), Bits(0.00001));
}

TEST(ToDegrees, GivesTheKnownDoubles) {
    EXPECT_BITS(CGPSComm::ToDegrees(3540.1234), 35.66872333333334);
    EXPECT_BITS(CGPSComm::ToDegrees(13944.5678), 139.7427966666667);
    EXPECT_BITS(CGPSComm::ToDegrees(4807.038), 48.1173);
    EXPECT_BITS(CGPSComm::ToDegrees(1131.000), 11.516666666666667);
    EXPECT_BITS(CGPSComm::ToDegrees(4916.45), 49.27416666666666);
    EXPECT_BITS(CGPSComm::ToDegrees(12311.12), 123.18533333333335);
    EXPECT_BITS(CGPSComm::ToDegrees(0.0), 0.0);
    // A fused multiply-add would round once and give 3.5224638.
    EXPECT_BITS(CGPSComm::ToDegrees(331.347828), 3.5224637999999997);
}

TEST(ToDegrees, TruncatesTowardZeroAndStaysDefinedOutOfRange) {
    EXPECT_BITS(CGPSComm::ToDegrees(-4807.038), -48.1173);
    EXPECT_TRUE(std::isnan(CGPSComm::ToDegrees(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_EQ(CGPSComm::ToDegrees(std::numeric_limits<double>::infinity()), std::numeric_limits<double>::infinity());
    // No 32-bit whole-degree part: the x86 conversion's INT_MIN stands in.
    EXPECT_BITS(CGPSComm::ToDegrees(3e11), 6431655765.333333);
    EXPECT_BITS(CGPSComm::ToDegrees(-3e11), -3568344234.6666665);
    EXPECT_BITS(CGPSComm::ToDegrees(1e300), 1.6666666666666668e+298);
}

class ToLocalTimeTest : public DecodeTest {
protected:
    std::string Convert(const char* pszTime) {
        char szText[80];
        strcpy(szText, pszTime);
        CGPSComm::ToLocalTime(szText);
        return szText;
    }
};

TEST_F(ToLocalTimeTest, AsksTheActiveViewEveryTime) {
    host.activeView = 42;
    Convert("123519");
    Convert("123519");
    ASSERT_EQ(host.viewOptionSizes.size(), 2u);
    EXPECT_EQ(host.viewOptionSizes[1], 144u);
    EXPECT_EQ(host.viewOptionViews[1], 42u);
}

TEST_F(ToLocalTimeTest, UtcUnlessTheOptionIsExactlyOne) {
    ScopedTimeZone zone("JST-9");
    for (int nOption : {0, 2, -1}) {
        host.localTimeOption = nOption;
        EXPECT_EQ(Convert("123519.00"), "123519");
        EXPECT_EQ(Convert(""), "000000");
    }
    host.localTimeOption = 1;
    EXPECT_EQ(Convert("235959"), "085959");
    EXPECT_EQ(Convert("123519.00"), "213519");
    EXPECT_EQ(Convert(""), "090000");
}

TEST_F(ToLocalTimeTest, ZoneWestOfGreenwich) {
    ScopedTimeZone zone("EST5");
    host.localTimeOption = 1;
    EXPECT_EQ(Convert("030000"), "220000");
    EXPECT_EQ(Convert("123519"), "073519");
}

// Only the standard offset is applied: this zone keeps summer time (+11)
// all year round, and the times still move by ten hours.
TEST_F(ToLocalTimeTest, DaylightSavingIsNotApplied) {
    ScopedTimeZone zone("AES-10AED,0/0,J365/25");
    host.localTimeOption = 1;
    EXPECT_EQ(Convert("120000"), "220000");
    EXPECT_EQ(Convert("143000"), "003000");
}

TEST_F(ToLocalTimeTest, PartHourZonesKeepTheirMinutes) {
    host.localTimeOption = 1;
    {
        ScopedTimeZone zone("IST-5:30");
        EXPECT_EQ(Convert("123519"), "180519");
        EXPECT_EQ(Convert("184500"), "001500");
        EXPECT_EQ(Convert("203015.50"), "020015");
        EXPECT_EQ(Convert(""), "053000");
    }
    {
        ScopedTimeZone zone("NST3:30");
        EXPECT_EQ(Convert("010000"), "213000");
        EXPECT_EQ(Convert("033000"), "000000");
        EXPECT_EQ(Convert("032959"), "235959");
    }
    {
        ScopedTimeZone zone("ACS-9:30");
        EXPECT_EQ(Convert("150000"), "003000");
    }
}

// Hours are wrapped once each way, with or without a zone, as the host has
// always been given them.
TEST_F(ToLocalTimeTest, OutOfDayHoursWrapOnce) {
    EXPECT_EQ(Convert("990000"), "750000");
    EXPECT_EQ(Convert("-10000"), "230000");
    ScopedTimeZone zone("JST-9");
    host.localTimeOption = 1;
    EXPECT_EQ(Convert("990000"), "840000");
}

TEST_F(ToLocalTimeTest, WritesSevenBytesWhateverTheValue) {
    char szText[80];
    memset(szText, 'z', sizeof szText);
    memcpy(szText, std::string(70, '9').c_str(), 71);
    CGPSComm::ToLocalTime(szText);
    EXPECT_EQ(strlen(szText), 6u);
    EXPECT_EQ(szText[7], '9');
}

std::string ToDate(const char* pszDate) {
    char szText[80];
    memset(szText, 'q', sizeof szText);
    strcpy(szText, pszDate);
    CGPSComm::ToDateYYMMDD(szText);
    return szText;
}

TEST(ToDateYYMMDD, ReordersBothYearForms) {
    EXPECT_EQ(ToDate("071226"), "261207");
    EXPECT_EQ(ToDate("07122026"), "261207");
    EXPECT_EQ(ToDate("230394"), "940323");
    // Seven characters: the eighth is missing, so the short form applies.
    EXPECT_EQ(ToDate("0712202"), "201207");
}

TEST(ToDateYYMMDD, ShortDatesBecomeEmpty) {
    for (const char* pszShort : {"", "0", "07122"}) {
        char szText[80];
        memset(szText, 'q', sizeof szText);
        strcpy(szText, pszShort);
        CGPSComm::ToDateYYMMDD(szText);
        for (int i = 0; i < 7; ++i) EXPECT_EQ(szText[i], '\0') << pszShort << " at " << i;
    }
}

}  // namespace
