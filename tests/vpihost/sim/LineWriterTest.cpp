// The line writer and the simulated receiver on a real pseudo-terminal:
// pacing, holding sentence starts back until the reader caught up, giving
// up on a reader that stopped, and the Sony receiver's start command.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "LineWriter.h"
#include "Simulator.h"
#include "Timing.h"

using namespace vpisim;

namespace {

class Pty {
public:
    Pty() {
        openpty(&device, &port, nullptr, nullptr, nullptr);
        for (int fd : {device, port}) {
            termios tio;
            tcgetattr(fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(fd, TCSANOW, &tio);
        }
    }
    ~Pty() {
        close(device);
        close(port);
    }
    // Everything the port side receives within the time.
    std::string ReadPort(int milliseconds, size_t atLeast = SIZE_MAX) {
        std::string got;
        auto until = Clock::now() + std::chrono::milliseconds(milliseconds);
        while (Clock::now() < until && got.size() < atLeast) {
            pollfd p{port, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            char buffer[512];
            ssize_t n = read(port, buffer, sizeof buffer);
            if (n > 0) got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }
    int device = -1, port = -1;
};

TEST(LineWriter, PacesByTheBaudRate) {
    Pty pty;
    std::atomic<bool> stop{false};
    LineWriter writer(pty.device, 9600, nullptr, &stop);
    std::string text(480, 'x');  // half a second at 9600 baud
    std::thread reader([&] { pty.ReadPort(kPatienceMs, text.size()); });
    auto start = Clock::now();
    ASSERT_TRUE(writer.Write(text));
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    reader.join();
    EXPECT_GT(seconds, 0.4);
    EXPECT_LT(seconds, 1.5);
    EXPECT_EQ(480u, writer.Written());
}

TEST(LineWriter, NoReadEverSeesTwoSentenceStarts) {
    Pty pty;
    std::atomic<bool> stop{false};
    std::atomic<unsigned long long> taken{0};
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "$GPGSA,A,3,," + std::to_string(i) + "*00\r\nSONY" + std::to_string(i) + "\r\n";
    std::string received;
    int doubled = 0;
    std::thread reader([&] {
        while (received.size() < text.size()) {
            pollfd p{pty.port, POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0) break;
            char buffer[1024];
            ssize_t n = read(pty.port, buffer, sizeof buffer);
            if (n <= 0) break;
            std::string chunk(buffer, static_cast<size_t>(n));
            int starts = 0;
            for (size_t i = 0; i < chunk.size(); ++i) starts += IsSentenceStart(chunk.data(), chunk.size(), i);
            if (starts > 1) ++doubled;
            received += chunk;
            std::this_thread::sleep_for(std::chrono::microseconds(200));  // a slow reader
            taken += static_cast<unsigned long long>(n);
        }
    });
    LineWriter writer(
        pty.device, 0, [&] { return taken.load(); }, &stop);
    EXPECT_TRUE(writer.Write(text)) << writer.Error();
    EXPECT_TRUE(writer.WaitUntilTaken());
    reader.join();
    EXPECT_EQ(text, received);
    EXPECT_EQ(0, doubled);
}

TEST(LineWriter, GivesUpOnAReaderThatStopped) {
    Pty pty;
    std::atomic<bool> stop{false};
    LineWriter writer(
        pty.device, 0, [] { return 0ull; }, &stop);
    writer.stallSeconds = 0.2;
    auto start = Clock::now();
    EXPECT_FALSE(writer.Write("$GPGSA*00\r\n$GPGSA*00\r\n"));
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 4.0) << "the 5 s default would take longer";
    EXPECT_NE(std::string::npos, writer.Error().find("stopped reading"));
}

TEST(LineWriter, StopEndsAWaitAtOnce) {
    Pty pty;
    std::atomic<bool> stop{false};
    LineWriter writer(
        pty.device, 0, [] { return 0ull; }, &stop);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop = true;
    });
    EXPECT_FALSE(writer.Write("$A\r\n$B\r\n"));
    stopper.join();
    EXPECT_TRUE(writer.Error().empty());
}

TEST(SonySimulator, StaysSilentUntilTheStartCommand) {
    Pty pty;
    Simulator simulator(Receiver::kSony, 40, pty.device, nullptr);
    simulator.Start();
    EXPECT_EQ("", pty.ReadPort(1300));
    EXPECT_FALSE(simulator.StartCommandSeen());
    // The command may come in pieces.
    ASSERT_EQ(3, write(pty.port, "@DM", 3));
    ASSERT_EQ(2, write(pty.port, "S\n", 2));
    std::string got = pty.ReadPort(kPatienceMs, 65);
    simulator.Stop();
    EXPECT_TRUE(simulator.StartCommandSeen());
    ASSERT_GE(got.size(), 65u);
    EXPECT_EQ("SONY", got.substr(0, 4));
    EXPECT_EQ("\r\n", got.substr(63, 2));
}

// Each burst carries its second; three of them, however long a busy
// machine takes to bring them, cannot come sooner than two seconds after
// the start (the first waits for the next whole second).
TEST(NmeaSimulator, SendsABurstOnEveryWholeSecond) {
    Pty pty;
    Simulator simulator(Receiver::kNmea, 40, pty.device, nullptr);
    auto start = Clock::now();
    simulator.Start();
    std::vector<size_t> ggas;
    std::string got;
    while (ggas.size() < 3 && MillisecondsSince(start) < kPatienceMs) {
        got += pty.ReadPort(20);
        ggas.clear();
        for (size_t at = got.find("$GPGGA"); at != std::string::npos; at = got.find("$GPGGA", at + 1))
            if (got.find("\r\n", at) != std::string::npos) ggas.push_back(at);  // whole sentences only
    }
    const long long took = MillisecondsSince(start);
    simulator.Stop();
    ASSERT_GE(ggas.size(), 3u) << got;
    EXPECT_GE(took, 2000) << "three bursts in less than two seconds";
    EXPECT_EQ(0u, ggas[0]) << "a burst begins with its GGA";
    // "$GPGGA,hhmmss.00,": later seconds of the day (across midnight too).
    auto secondOf = [&](size_t at) {
        const std::string t = got.substr(at + 7, 9);
        EXPECT_EQ(".00", t.substr(6)) << "a whole second";
        return std::stol(t.substr(0, 2)) * 3600 + std::stol(t.substr(2, 2)) * 60 + std::stol(t.substr(4, 2));
    };
    for (size_t i = 1; i < 3; ++i) {
        const long step = (secondOf(ggas[i]) - secondOf(ggas[i - 1]) + 86400) % 86400;
        EXPECT_GE(step, 1) << "one burst a second";
        EXPECT_LT(step, 60);
    }
}

}  // namespace
