// The line assembler: what the decoder gets at each line feed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "RecordingHost.h"
#include "Sentences.h"
#include "serial/GPSComm.h"

namespace {

class LineAssemblerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetNaviInfo();
        // No receiver type: lines reach DecodeLine (and the host) untouched
        // by any decoder, so the test can read them back.
        comm.m_nProtocol = -1;
    }
    std::string Line() const { return comm.m_szLine; }

    RecordingHost host;
    CGPSComm comm;
};

TEST_F(LineAssemblerTest, LineFeedHandsTheLineWithoutItToTheDecoder) {
    comm.PutText("$GPGSA,A,3*39\r\n");
    EXPECT_EQ(host.RecordCount(), 1u);
    EXPECT_EQ(Line(), "$GPGSA,A,3*39\r") << "the carriage return stays";
    EXPECT_EQ(comm.m_nLineLength, 0);
}

TEST_F(LineAssemblerTest, EveryLineFeedIsOneDecodedLine) {
    comm.PutText("\n\n$A\nB\n");
    EXPECT_EQ(host.RecordCount(), 4u);
    EXPECT_EQ(Line(), "B");
}

TEST_F(LineAssemblerTest, DollarStartsANewLine) {
    comm.PutText("tail of something$GPGSA,1");
    EXPECT_EQ(comm.m_nLineLength, 8);
    comm.PutText("$GPVTG,2\r\n");
    EXPECT_EQ(Line(), "$GPVTG,2\r");
    EXPECT_EQ(host.RecordCount(), 1u);
}

TEST_F(LineAssemblerTest, LongLinesKeepTheirFirst255Characters) {
    std::string text;
    for (int i = 0; i < 260; i++) text += static_cast<char>('A' + i % 26);
    comm.PutText(text.c_str());
    EXPECT_EQ(comm.m_nLineLength, 255);
    comm.PutChar('\n');
    EXPECT_EQ(Line(), text.substr(0, 255));
    EXPECT_EQ(host.RecordCount(), 1u);

    // A much longer line still never writes past the buffer.
    comm.PutText(std::string(1000, 'z').c_str());
    EXPECT_EQ(comm.m_nLineLength, 255);
    comm.PutChar('\n');
    EXPECT_EQ(Line(), std::string(255, 'z'));
}

TEST_F(LineAssemblerTest, NullTextAndOutOfRangeLengthAreHarmless) {
    comm.PutText(nullptr);
    EXPECT_EQ(comm.m_nLineLength, 0);
    for (int bad : {-1, 256, 100000}) {
        comm.m_nLineLength = bad;
        comm.PutChar('x');
        EXPECT_EQ(comm.m_nLineLength, 1) << bad;
        EXPECT_EQ(comm.m_szLine[0], 'x');
    }
    EXPECT_EQ(host.RecordCount(), 0u);
}

TEST(LineAssemblerDecodeTest, NmeaLineReachesTheRecord) {
    ResetNaviInfo();
    RecordingHost host;
    CGPSComm comm;
    comm.PutText(Gga(123519).c_str());
    ASSERT_EQ(host.RecordCount(), 1u);
    tagGPSNAVIINFO info = host.LastRecord();
    EXPECT_EQ(TimeOf(info), "123519");
    EXPECT_NEAR(info.dLatitude, 48.1173, 1e-4);
    EXPECT_NEAR(info.dLongitude, 11.5167, 1e-4);
    EXPECT_EQ(info.nSatellites, 8);
}

}  // namespace
