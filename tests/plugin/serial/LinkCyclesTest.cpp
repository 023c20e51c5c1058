// Many links in a row leave nothing behind: descriptors, handles, threads.
#include "LinkFixture.h"

namespace link_test {
namespace {

TEST_F(LinkTest, TwoHundredStartStopCyclesLeakNothing) {
    // One cycle first, so that lazily made process state is not counted.
    ChooseMenu();
    StopGpsLink();
    const size_t descriptors = CountOpenDescriptors();
    const size_t handles = W32CountHandles();
    const size_t threads = W32CountRunningThreads();
    for (int i = 0; i < 200; ++i) {
        ChooseMenu();
        ASSERT_NE(nullptr, g_pGPSComm) << "cycle " << i;
        if (i % 2) {
            ASSERT_TRUE(m_pty.Write("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n$"));
        }
        StopGpsLink();
        ASSERT_EQ(nullptr, g_pGPSComm);
    }
    EXPECT_EQ(descriptors, CountOpenDescriptors());
    EXPECT_EQ(handles, W32CountHandles());
    EXPECT_EQ(threads, W32CountRunningThreads());
    EXPECT_EQ(201, m_host.releases);
}

}  // namespace
}  // namespace link_test
