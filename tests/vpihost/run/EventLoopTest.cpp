// The loop and its queues: records from another thread in order and
// counted when the ring is full, channels and timers, and the read tap's
// lines (Linux).
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "run/EventLoop.h"
#include "run/RecordQueue.h"
#include "source/ReadTap.h"

using namespace vpihost;

TEST(RecordQueue, RecordsComeInOrderAndAFullRingCountsWhatItLost) {
    RecordQueue queue(8);
    EventLoop loop;  // its wake-up is the queue's
    tagGPSNAVIINFO info{};
    std::thread receiver([&] {
        for (int n = 0; n < 12; ++n) {
            info.nSatellites = n;
            queue.Push(info);  // the module overwrites its record after each call
        }
    });
    receiver.join();
    EXPECT_EQ(8u, queue.Size());
    EXPECT_EQ(4, queue.Lost());
    loop.Turn();  // woken, not asleep for ever
    QueuedRecord r;
    for (int n = 0; n < 8; ++n) {
        ASSERT_TRUE(queue.Pop(&r));
        EXPECT_EQ(n, r.info.nSatellites);
    }
    EXPECT_FALSE(queue.Pop(&r));
}

TEST(EventLoop, ChannelsAndTheEarliestDeadline) {
    EventLoop loop;
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    std::vector<std::string> seen;
    const int id = loop.Watch(fds[0], EventLoop::kIn, [&](unsigned events) {
        char c;
        if (events & EventLoop::kIn) seen.push_back(read(fds[0], &c, 1) == 1 ? std::string(1, c) : "?");
    });
    Clock::time_point late = Clock::now() + std::chrono::hours(1), soon = Clock::now();
    FunctionTimer lateTimer([&] { return late; }, [&](Clock::time_point) { seen.push_back("late"); });
    FunctionTimer soonTimer([&] { return soon; },
                            [&](Clock::time_point) {
                                seen.push_back("soon");
                                soon = kNever;
                            });
    loop.AddTimer(&lateTimer);
    loop.AddTimer(&soonTimer);
    int turns = 0;
    std::string steps;
    loop.AfterEachTurn(EventLoop::Step::kSend, [&] { steps += "s"; });
    loop.AfterEachTurn(EventLoop::Step::kHandOn, [&] {
        ++turns;
        steps += "h";
    });
    EXPECT_EQ(soon, loop.Deadline());
    loop.Turn();  // the deadline has come: no wait
    ASSERT_EQ(1, write(fds[1], "x", 1));
    loop.Turn();
    loop.Forget(id);
    ASSERT_EQ(1, write(fds[1], "y", 1));
    loop.Turn(Clock::now());  // no longer watched
    EXPECT_EQ((std::vector<std::string>{"soon", "x"}), seen);
    EXPECT_EQ(3, turns);
    EXPECT_EQ("hshshs", steps) << "what came in is handed on before the outputs send";
    EXPECT_EQ(late, loop.Deadline());
    loop.RemoveTimer(&lateTimer);
    loop.RemoveTimer(&soonTimer);
    close(fds[0]);
    close(fds[1]);
}

TEST(ReadTap, LinesGoToTheListenersWholeOrCutAndLostBytesAreSaid) {
    struct Lines : LineListener {
        std::vector<std::string> got;
        void Line(const std::string& line) override { got.push_back(line); }
    } lines;
    ReadTap tap;
    tap.AddListener(&lines);
    const std::string longLine(ReadTap::kMaxLine + 10, 'x');
    for (const std::string& piece :
         {std::string("$GNRMC,1*00\r\n$GP"), std::string("GGA,2\r\n"), longLine + "\n", std::string("$GPVTG\n")})
        tap.Copy(piece.data(), piece.size());
    tap.Drain();
    EXPECT_EQ((std::vector<std::string>{"$GNRMC,1*00", "$GPGGA,2", longLine.substr(0, ReadTap::kMaxLine), "$GPVTG"}),
              lines.got);
    EXPECT_EQ((std::vector<std::string>{"$GNRMC", "$GPGGA"}), tap.SentenceIdsRead());
    // Far more than the ring holds before the loop looks.
    const std::string chunk(4096, 'z');
    for (size_t n = 0; n < ReadTap::kCapacity / chunk.size() + 2; ++n) tap.Copy(chunk.data(), chunk.size());
    tap.Drain();
    EXPECT_EQ(2u * chunk.size(), tap.Lost());
}
