// When the track files are written, on a clock the test moves.
#include <gtest/gtest.h>

#include "run/FileSchedule.h"

using namespace vpihost;
using std::chrono::milliseconds;

TEST(FileSchedule, EveryTwoSecondsWhileNewFixesComeAtMostATwentiethOfACoreAndNeverMoreThanTenSecondsApart) {
    FileSchedule schedule;
    const Clock::time_point zero = Clock::now();
    EXPECT_EQ(kNever, schedule.Deadline()) << "nothing before the link starts";
    schedule.Start(zero);
    schedule.Start(zero + milliseconds(500));  // a link started again keeps the time
    EXPECT_EQ(zero + milliseconds(2000), schedule.Deadline());
    // No fixes yet: the next look is a period later.
    EXPECT_FALSE(schedule.WriteNow(zero + milliseconds(2000), 0));
    EXPECT_EQ(zero + milliseconds(4000), schedule.Deadline());
    EXPECT_TRUE(schedule.WriteNow(zero + milliseconds(4000), 3));
    schedule.Wrote(3, zero + milliseconds(4000), zero + milliseconds(4010), milliseconds(10));
    EXPECT_EQ(zero + milliseconds(6000), schedule.Deadline());
    EXPECT_FALSE(schedule.WriteNow(zero + milliseconds(6000), 3)) << "no new fixes";
    EXPECT_EQ(zero + milliseconds(8000), schedule.Deadline());
    // The next write after one that took this long (wall, processor) begins
    // this long after it began.
    struct Row {
        int wallMs, processorMs, nextMs;
    } rows[] = {
        {10, 10, 2000},     // the period
        {300, 150, 3000},   // twenty times the processor time
        {300, 20, 2000},    // a wait for the disk is no processor time
        {2500, 20, 2500},   // but no sooner than the write took
        {900, 600, 10000},  // never more than 10 s apart, though that is more than a twentieth
        {12000, 50, 10000},
    };
    long positions = 3;
    Clock::time_point at = zero + milliseconds(8000);
    for (const Row& row : rows) {
        ASSERT_TRUE(schedule.WriteNow(at, ++positions));
        schedule.Wrote(positions, at, at + milliseconds(row.wallMs), milliseconds(row.processorMs));
        EXPECT_EQ(at + milliseconds(row.nextMs), schedule.Deadline()) << row.wallMs << " " << row.processorMs;
        at = schedule.Deadline();
    }
}
