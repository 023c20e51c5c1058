// When the track files are written, on a clock the test moves.
#include <gtest/gtest.h>

#include "run/FileSchedule.h"

using namespace vpihost;
using std::chrono::milliseconds;

TEST(FileSchedule, EveryTwoSecondsWhileNewFixesComeAndAtMostATwentiethOfTheTime) {
    FileSchedule schedule;
    const Clock::time_point zero = Clock::now();
    EXPECT_EQ(kNever, schedule.Deadline()) << "nothing before the link starts";
    schedule.Start(zero);
    schedule.Start(zero + milliseconds(500));  // a link started again keeps the time
    EXPECT_EQ(zero + milliseconds(2000), schedule.Deadline());
    // No fixes yet: the next look is a period later.
    EXPECT_FALSE(schedule.WriteNow(zero + milliseconds(2000), 0));
    EXPECT_EQ(zero + milliseconds(4000), schedule.Deadline());
    // A quick write: the period.
    EXPECT_TRUE(schedule.WriteNow(zero + milliseconds(4000), 3));
    schedule.Wrote(3, zero + milliseconds(4000), zero + milliseconds(4010));
    EXPECT_EQ(zero + milliseconds(6000), schedule.Deadline());
    EXPECT_FALSE(schedule.WriteNow(zero + milliseconds(6000), 3)) << "no new fixes";
    // A write that took 300 ms: twenty times that before the next.
    EXPECT_TRUE(schedule.WriteNow(zero + milliseconds(8000), 4));
    schedule.Wrote(4, zero + milliseconds(8000), zero + milliseconds(8300));
    EXPECT_EQ(zero + milliseconds(14000), schedule.Deadline());
}
