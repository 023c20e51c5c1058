// A stream whose reader stops reading: whole lines or none, what is left
// out counted and said once it writes again, a fast replay held while it
// still takes bytes (Linux: a pipe behind the stream).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "output/OutputStream.h"

using namespace vpihost;

TEST(OutputStream, AFullPipeHoldsItsOwnLinesAndWhatIsLeftOutIsCounted) {
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    ASSERT_GE(fcntl(fds[1], F_SETPIPE_SZ, 4096), 4096);
    const int inherited = fcntl(fds[1], F_GETFL);
    const std::string line(99, 'a');
    OutputStream stream(fds[1], nullptr, 2 * OutputStream::kHighWater);
    ASSERT_GE(stream.Fd(), 0) << "a pipe is written without waiting";
    EXPECT_EQ(inherited, fcntl(fds[1], F_GETFL)) << "the inherited description stays as it was";
    int queued = 0;
    while (stream.Put(line + "\n")) ++queued;  // the pipe, then the queue
    EXPECT_TRUE(stream.Pending());
    EXPECT_FALSE(stream.Put(line + "\n"));
    EXPECT_EQ(0, stream.TakeLeftOut()) << "said only once it writes again";
    EXPECT_GT(stream.HeldUntil(), OutputStream::Clock::now()) << "a stream over its mark that took bytes just now";
    // The reader reads everything.
    std::string got;
    char buffer[65536];
    while (stream.Pending()) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        got.append(buffer, static_cast<size_t>(n));
        stream.Flush();
    }
    while (got.size() < static_cast<size_t>(queued) * 100) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        got.append(buffer, static_cast<size_t>(n));
    }
    EXPECT_EQ(static_cast<size_t>(queued) * 100, got.size());
    EXPECT_EQ(std::string::npos, got.find_first_not_of(line + "\n")) << "whole lines only";
    EXPECT_EQ(2, stream.TakeLeftOut());
    EXPECT_EQ(OutputStream::Clock::time_point::min(), stream.HeldUntil());
    // At the end what is still queued counts too.
    while (stream.Put(line + "\n")) {
    }
    stream.Drain(OutputStream::Clock::now());
    EXPECT_GT(stream.TakeLeftOut(true), 1);
    // The reader gone: the stream has failed (vpihost takes the closed pipe
    // as a failed write, not as a signal).
    signal(SIGPIPE, SIG_IGN);
    close(fds[0]);
    stream.Flush();
    EXPECT_FALSE(stream.Put(line + "\n"));
    EXPECT_TRUE(stream.Failed());
    close(fds[1]);
}
