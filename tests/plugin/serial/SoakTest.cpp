// Long runs leave nothing behind and lose nothing.
#include <gtest/gtest.h>

#include <cmath>

#include "HourOfOutput.h"
#include "LinkStart.h"
#include "OwnResources.h"
#include "PtyPair.h"
#include "RecordingHost.h"
#include "serial/GpsLink.h"
#include "serial/ModuleState.h"
#include "shell/Exports.h"

namespace {

class SoakTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.ok());
        UseOwnResourcesAsModule();
    }
    void TearDown() override { StopGpsLink(); }
    RecordingHost m_host;
    PtyPair m_pty{"COM2"};
};

TEST_F(SoakTest, ThousandStartStopCyclesKeepDescriptorsHandlesAndThreads) {
    StartLinkWithStoredSettings();
    StopGpsLink();
    const size_t descriptors = CountOpenDescriptors();
    const size_t handles = W32CountHandles();
    const size_t threads = W32CountRunningThreads();
    for (int i = 0; i < 1000; ++i) {
        StartLinkWithStoredSettings();
        ASSERT_NE(nullptr, g_pGPSComm) << "cycle " << i;
        StopGpsLink();
    }
    EXPECT_EQ(descriptors, CountOpenDescriptors());
    EXPECT_EQ(handles, W32CountHandles());
    EXPECT_EQ(threads, W32CountRunningThreads());
    EXPECT_EQ(0u, W32CountOpenComPorts());
    EXPECT_EQ(0u, W32CountOpenDialogs());
}

TEST_F(SoakTest, AnHourOfReceiverOutputArrivesWholeAndInOrder) {
    const size_t descriptors = CountOpenDescriptors();
    StartLinkWithStoredSettings();
    ASSERT_NE(nullptr, g_pGPSComm);
    const int seconds = 3600;
    for (int s = 0; s < seconds; ++s) ASSERT_TRUE(m_pty.Write(soak::Burst(s)));
    ASSERT_TRUE(m_pty.Write("$"));  // completes the last sentence
    const size_t lines = static_cast<size_t>(seconds) * soak::kLinesPerBurst;
    ASSERT_TRUE(m_host.WaitForRecords(1 + lines, 60000)) << m_host.RecordCount();
    StopGpsLink();

    // Record 1 + 4s is the GGA of second s, 3 + 4s its RMC.
    ASSERT_EQ(1 + lines, m_host.records.size());
    for (int s = 0; s < seconds; ++s) {
        const tagGPSNAVIINFO& gga = m_host.records[1 + 4 * s];
        const tagGPSNAVIINFO& rmc = m_host.records[3 + 4 * s];
        double raw = soak::RawLatitude(s);
        double expected = 48 + (raw / 100 - 48) * 1.6666666666666665;
        ASSERT_NEAR(expected, gga.dLatitude, 1e-9) << "second " << s;
        ASSERT_EQ(4 + s % 8, gga.nSatellites) << "second " << s;
        ASSERT_NEAR(18.55, rmc.dSpeed, 1e-12) << "second " << s;
        ASSERT_STREQ("261208", rmc.szDate) << "second " << s;
    }
    EXPECT_EQ(descriptors, CountOpenDescriptors());
}

}  // namespace
