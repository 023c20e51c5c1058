// vpihost's server of the GPS tools' protocol, in this process on a port of
// the loopback address the system chooses: the conversation, 100 clients,
// a client that never reads, one that leaves in the middle, a taken port;
// and the rules for the server's slots on a moved clock.
// One thread: the test turns the server's loop while it waits for a line,
// so that nothing depends on two threads keeping pace.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <regex>

#include "run/EventLoop.h"
#include "serve/ClientSlots.h"
#include "serve/GpsdServer.h"

using namespace vpihost;

namespace {

tagGPSNAVIINFO Fix(unsigned second, double lat) {
    tagGPSNAVIINFO info;
    memset(&info, 0, sizeof info);
    info.dwSize = 80;
    info.dLatitude = lat;
    info.dLongitude = 139.5;
    info.dAltitude = 40;
    info.dSpeed = 36;
    info.dCourse = 90;
    const std::string time =
        std::to_string(1000000 + second / 3600 % 24 * 10000 + second / 60 % 60 * 100 + second % 60);
    memcpy(info.szTime, time.c_str() + 1, 7);
    memcpy(info.szDate, "261208", 7);
    info.nSatellites = 7;
    return info;
}

class Connection {
public:
    Connection(EventLoop& loop, int port, int receiveBuffer = 0) : m_loop(loop) {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        if (receiveBuffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected = connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    }
    ~Connection() {
        if (fd >= 0) close(fd);
    }
    void Say(const std::string& text) {
        ASSERT_EQ(static_cast<ssize_t>(text.size()), write(fd, text.data(), text.size()));
    }
    // The next line without its CR LF, turning the server's loop meanwhile;
    // "EOF" once the server closed, "TIMEOUT" after 10 s.
    std::string Line() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            const size_t end = buffer.find("\r\n");
            if (end != std::string::npos) {
                std::string line = buffer.substr(0, end);
                buffer.erase(0, end + 2);
                return line;
            }
            if (!ReadSome(until)) return eof ? "EOF" : "TIMEOUT";
        }
    }
    // What has come, after one turn of the loop; false at the end or after `until`.
    bool ReadSome(std::chrono::steady_clock::time_point until) {
        while (!eof) {
            m_loop.Turn(std::chrono::steady_clock::now());
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 5) == 1) {
                char chunk[65536];
                const ssize_t n = read(fd, chunk, sizeof chunk);
                if (n > 0) {
                    buffer.append(chunk, static_cast<size_t>(n));
                    return true;
                }
                eof = true;
            }
            if (std::chrono::steady_clock::now() > until) return false;
        }
        return false;
    }
    int fd = -1;
    bool connected = false;
    bool eof = false;
    std::string buffer;

private:
    EventLoop& m_loop;
};

std::string Normal(const std::string& line) {
    return std::regex_replace(line, std::regex("\"(activated|time)\":\"20[0-9T:.-]+Z\""), "\"$1\":\"T\"");
}

const char* const kVersion =
    "{\"class\":\"VERSION\",\"release\":\"vpihost 9\",\"rev\":\"vpihost 9\",\"proto_major\":3,\"proto_minor\":14}";
const char* const kDevices =
    "{\"class\":\"DEVICES\",\"devices\":[{\"class\":\"DEVICE\",\"path\":\"/dev/ttyUSB0\",\"driver\":\"vpihost\","
    "\"activated\":\"T\",\"flags\":1}]}";
const std::string kWatchTail =
    ",\"nmea\":false,\"raw\":0,\"scaled\":false,\"timing\":false,\"split24\":false,\"pps\":false}";

class Serve : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_server.Start("127.0.0.1", 0, &error)) << error;
    }
    std::string Tpv(int second, double lat) {
        char time[16];
        snprintf(time, sizeof time, "%02d:%02d:%02d", second / 3600 % 24, second / 60 % 60, second % 60);
        return "{\"class\":\"TPV\",\"device\":\"/dev/ttyUSB0\",\"time\":\"2026-12-08T" + std::string(time) +
               ".000Z\",\"mode\":3,\"lat\":" + std::to_string(lat).substr(0, 4) +
               ",\"lon\":139.5,\"altMSL\":40,\"alt\":40,\"track\":90,\"speed\":10}";
    }
    EventLoop m_loop;
    GpsdServer m_server{GpsdServer::Setup{"vpihost 9", "/dev/ttyUSB0", true}, m_loop};
};

}  // namespace

TEST_F(Serve, AnswersEachCommandAndStreamsReportsWhileWatching) {
    Connection c(m_loop, m_server.Port());
    ASSERT_TRUE(c.connected);
    EXPECT_EQ(kVersion, c.Line());
    m_server.Hand(Fix(10, 35.5));  // not watching yet: nothing comes
    struct Exchange {
        std::string say;
        std::vector<std::string> answers;
    } exchanges[] = {
        {"?VERSION;\n", {kVersion}},
        {"?DEVICES;\r\n", {kDevices}},
        {"?WATCH={\"enable\":true,\"json\":true}\n",
         {kDevices, "{\"class\":\"WATCH\",\"enable\":true,\"json\":true" + kWatchTail}},
        {"?POLL;\n", {"{\"class\":\"POLL\",\"time\":\"T\",\"active\":0,\"tpv\":[],\"sky\":[]}"}},
        {"?FIX;\n", {"{\"class\":\"ERROR\",\"message\":\"Unrecognized request 'FIX'\"}"}},
        {"?WATCH={\"enable\":true,\"json\":true,\"policy\":1}\n",
         {"{\"class\":\"ERROR\",\"message\":\"unknown attribute 'policy' in WATCH\"}"}},
        {"?" + std::string(99, 'P') + "\n",
         {"{\"class\":\"ERROR\",\"message\":\"a request may be no more than 80 characters long\"}"}},
        {"\x16\x03\x01\xff\xfe\n", {"{\"class\":\"ERROR\",\"message\":\"a request must be US-ASCII text\"}"}},
    };
    for (const Exchange& e : exchanges) {
        c.Say(e.say);
        for (const std::string& answer : e.answers) EXPECT_EQ(answer, Normal(c.Line())) << e.say;
    }
    m_server.Hand(Fix(11, 35.5));  // ends second 10; 11 after a pause
    EXPECT_EQ(Normal(Tpv(10, 35.5)), Normal(c.Line()));
    EXPECT_EQ("{\"class\":\"SKY\",\"device\":\"/dev/ttyUSB0\",\"time\":\"T\",\"uSat\":7}", Normal(c.Line()));
    EXPECT_EQ(Tpv(11, 35.5), c.Line());
    c.Line();  // its SKY
    c.Say("?POLL;\n");
    EXPECT_EQ("{\"class\":\"POLL\",\"time\":\"T\",\"active\":1,\"tpv\":[" + Normal(Tpv(11, 35.5)) + "],\"sky\":[" +
                  "{\"class\":\"SKY\",\"device\":\"/dev/ttyUSB0\",\"time\":\"T\",\"uSat\":7}]}",
              Normal(c.Line()));
    c.Say("?WATCH={\"enable\":false}\n");
    EXPECT_EQ("{\"class\":\"WATCH\",\"enable\":false,\"json\":true" + kWatchTail, c.Line());
    m_server.Hand(Fix(12, 35.5));
    m_server.Hand(Fix(13, 35.5));
    c.Say("?VERSION;\n");
    EXPECT_EQ(kVersion, c.Line()) << "no reports once the watch is off";
    // Noise, line after line: dropped.
    for (int i = 0; i < 8; ++i) c.Say("\x01\n");
    std::string last;
    for (int i = 0; i < 9 && last != "EOF"; ++i) last = c.Line();
    EXPECT_EQ("EOF", last);
}

TEST_F(Serve, SentencesAsReadToWhoWatchesThemAndTheReceiversComingAndGoing) {
    Connection json(m_loop, m_server.Port()), nmea(m_loop, m_server.Port()), raw(m_loop, m_server.Port());
    const char* const watches[] = {"?WATCH={\"json\":true}\n", "?WATCH={\"enable\":true,\"nmea\":true}\n",
                                   "?WATCH={\"raw\":2,\"pps\":true}\n"};
    Connection* clients[] = {&json, &nmea, &raw};
    for (int i = 0; i < 3; ++i) {
        clients[i]->Say(watches[i]);
        for (int k = 0; k < 3; ++k) clients[i]->Line();  // VERSION, DEVICES, WATCH
    }
    const std::string gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
    m_server.Line(gga);
    m_server.Line("\x01noise");  // neither a sentence nor a Sony record
    m_server.Line("SONY 1");
    m_server.ReceiverPresent(false);
    m_server.ReceiverPresent(true);
    const std::string gone = "{\"class\":\"DEVICE\",\"path\":\"/dev/ttyUSB0\",\"activated\":0}";
    const std::string back =
        "{\"class\":\"DEVICE\",\"path\":\"/dev/ttyUSB0\",\"driver\":\"vpihost\",\"activated\":\"T\",\"flags\":1}";
    for (Connection* c : {&nmea, &raw}) {
        EXPECT_EQ(gga, c->Line());
        EXPECT_EQ("SONY 1", c->Line());
    }
    for (Connection* c : clients) {
        EXPECT_EQ(gone, c->Line());
        EXPECT_EQ(back, Normal(c->Line()));
    }
    json.Say("?VERSION;\n");
    EXPECT_EQ(kVersion, json.Line()) << "no sentences where JSON alone was asked for";
}

TEST_F(Serve, IdleClientsWithoutAWatchGoAndMakeRoomForANewcomer) {
    GpsdServer small(GpsdServer::Setup{"vpihost 9", "/dev/ttyUSB0", true, 2, std::chrono::milliseconds(100)}, m_loop);
    std::string error;
    ASSERT_TRUE(small.Start("127.0.0.1", 0, &error)) << error;
    Connection idle(m_loop, small.Port()), watcher(m_loop, small.Port());
    EXPECT_EQ(kVersion, idle.Line());
    watcher.Say("?WATCH={\"enable\":true,\"json\":true}\n");
    for (int k = 0; k < 3; ++k) watcher.Line();
    // Both slots taken: the newcomer is served, the idle one makes room.
    Connection newcomer(m_loop, small.Port());
    EXPECT_EQ(kVersion, newcomer.Line());
    EXPECT_EQ("EOF", idle.Line());
    // Without a watch it goes once idle past the limit; the watcher stays.
    EXPECT_EQ("EOF", newcomer.Line());
    watcher.Say("?VERSION;\n");
    EXPECT_EQ(kVersion, watcher.Line());
}

TEST_F(Serve, AHundredClientsEachGetEverySecond) {
    std::vector<std::unique_ptr<Connection>> clients;
    for (int i = 0; i < 100; ++i) {
        clients.push_back(std::make_unique<Connection>(m_loop, m_server.Port()));
        ASSERT_TRUE(clients.back()->connected) << i;
        clients.back()->Say("?WATCH={\"enable\":true,\"json\":true}\n");
    }
    for (auto& c : clients)
        for (int k = 0; k < 3; ++k) c->Line();  // VERSION, DEVICES, WATCH
    for (int second = 0; second < 5; ++second) m_server.Hand(Fix(second, 35.5));
    m_server.Stop();
    for (auto& c : clients) {
        std::string tpvs;
        for (std::string line = c->Line(); line != "EOF" && line != "TIMEOUT"; line = c->Line())
            if (line.find("\"TPV\"") != std::string::npos) tpvs += line + "\n";
        EXPECT_EQ(
            Tpv(0, 35.5) + "\n" + Tpv(1, 35.5) + "\n" + Tpv(2, 35.5) + "\n" + Tpv(3, 35.5) + "\n" + Tpv(4, 35.5) + "\n",
            tpvs);
    }
}

// A client that stops reading, one that resets its connection in the
// middle of the server's writes, and one that reads after every turn.
TEST_F(Serve, AClientThatNeverReadsIsDroppedAndOneThatLeavesHurtsNoOne) {
    Connection stalled(m_loop, m_server.Port(), 4096), leaver(m_loop, m_server.Port(), 4096),
        reader(m_loop, m_server.Port());
    for (Connection* c : {&stalled, &leaver, &reader}) {
        c->Say("?WATCH={\"enable\":true,\"json\":true}\n");
        for (int k = 0; k < 3; ++k) c->Line();  // VERSION, DEVICES, WATCH
    }
    int tpvs = 0;
    bool held = false;
    auto readAll = [&] {
        reader.ReadSome(std::chrono::steady_clock::now());
        for (size_t end; (end = reader.buffer.find("\r\n")) != std::string::npos; reader.buffer.erase(0, end + 2))
            tpvs += reader.buffer.compare(0, 14, "{\"class\":\"TPV\"") == 0;
    };
    constexpr int kSeconds = 5000;  // about 1.5 MB of reports, far past the queue and the sockets' buffers
    for (int second = 0; second < kSeconds; ++second) {
        m_server.Hand(Fix(second, 35.5));
        held |= m_server.HeldUntil() != std::chrono::steady_clock::time_point::min();
        if (second == kSeconds / 10) {
            // Gone with unread reports: a reset in the middle of the server's writes.
            linger abort{1, 0};
            setsockopt(leaver.fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            close(leaver.fd);
            leaver.fd = -1;
        }
        readAll();
    }
    // Dropped with its queue full while the server ran on.
    size_t read = 0;
    std::string line;
    while ((line = stalled.Line()) != "EOF" && line != "TIMEOUT") read += line.size() + 2;
    EXPECT_EQ("EOF", line);
    EXPECT_LT(read, 4 * GpsdServer::kMaxQueued);
    m_server.Stop();
    while (!reader.eof && reader.ReadSome(std::chrono::steady_clock::now() + std::chrono::seconds(10))) readAll();
    readAll();
    EXPECT_EQ(kSeconds, tpvs) << "the reading client got every second";
    EXPECT_TRUE(held) << "a client behind holds a fast replay until it stalls";
    EXPECT_EQ(std::chrono::steady_clock::time_point::min(), m_server.HeldUntil()) << "no client is behind";
}

TEST_F(Serve, ATakenPortIsNamedWithWhoHasIt) {
    GpsdServer second(GpsdServer::Setup{"vpihost 9", "/dev/ttyUSB0", true}, m_loop);
    std::string error, comm;
    EXPECT_FALSE(second.Start("127.0.0.1", m_server.Port(), &error));
    std::getline(std::ifstream("/proc/self/comm"), comm);
    const std::string where = "127.0.0.1:" + std::to_string(m_server.Port());
    EXPECT_EQ(
        "cannot serve on " + where + ": the port is in use by " + comm + " (process " + std::to_string(getpid()) + ")",
        error);
    EXPECT_FALSE(second.Start("192.0.2.1", 0, &error));
    EXPECT_EQ("cannot serve on 192.0.2.1:0: Cannot assign requested address", error);
}

TEST(ClientSlots, IdleClientsWithoutAWatchGoTheLongestIdleMakesRoomAndAcceptingPausesWithoutDescriptors) {
    using namespace std::chrono;
    const ClientSlots::Clock::time_point t0{};
    ClientSlots slots(3, seconds(60));
    int evict = 0;
    for (int client = 1; client <= 3; ++client) {
        EXPECT_TRUE(slots.Admit(&evict));
        EXPECT_EQ(-1, evict);
        slots.Opened(client, t0 + seconds(client));
    }
    // Full: the newcomer takes the place of the longest idle without a watch.
    EXPECT_TRUE(slots.Admit(&evict));
    EXPECT_EQ(1, evict);
    slots.Watching(1, true, t0 + seconds(5));
    slots.Answered(2, t0 + seconds(30));  // a good command: idle from then on
    EXPECT_TRUE(slots.Admit(&evict));
    EXPECT_EQ(3, evict);
    slots.Watching(3, true, t0 + seconds(6));
    slots.Watching(2, true, t0 + seconds(7));
    EXPECT_FALSE(slots.Admit(&evict)) << "every client watches";
    // A watch turned off: a minute from then.
    slots.Watching(2, false, t0 + seconds(40));
    EXPECT_EQ(t0 + seconds(100), slots.Deadline());
    EXPECT_TRUE(slots.Idle(t0 + seconds(100) - milliseconds(1)).empty());
    EXPECT_EQ(std::vector<int>{2}, slots.Idle(t0 + seconds(100)));
    slots.Closed(2);
    EXPECT_EQ(ClientSlots::Clock::time_point::max(), slots.Deadline()) << "the rest watch";
    // Out of descriptors: accepting waits for one to free, or a second.
    slots.AcceptFailed(EAGAIN, t0 + seconds(200));
    EXPECT_TRUE(slots.Accepting(t0 + seconds(200)));
    slots.AcceptFailed(EMFILE, t0 + seconds(200));
    EXPECT_FALSE(slots.Accepting(t0 + seconds(200) + milliseconds(999)));
    EXPECT_EQ(t0 + seconds(201), slots.Deadline());
    EXPECT_TRUE(slots.Accepting(t0 + seconds(201)));
    slots.AcceptFailed(ENFILE, t0 + seconds(300));
    slots.Closed(3);
    EXPECT_TRUE(slots.Accepting(t0 + seconds(300))) << "a client closed: a descriptor is free";
    EXPECT_EQ(1u, slots.Count());
}
