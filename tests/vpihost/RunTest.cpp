// vpihost end to end on Linux: the built program with the built module,
// fed by its simulator or a replayed log, checked against what was sent.
#include <dirent.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <thread>

#include "ChildProcess.h"
#include "JsonLines.h"
#include "Route.h"

namespace {

using Records = std::vector<std::map<std::string, std::string>>;

const std::string kFixture = std::string(VPIHOST_FIXTURES) + "/drive.nmea";
const std::string kExpected = std::string(VPIHOST_FIXTURES) + "/drive.expected.jsonl";

class VpihostRun : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::string(testing::TempDir()) + "vpihost-run-" + info->name() + "-" + std::to_string(getpid());
        std::string command = "rm -rf '" + m_dir + "' && mkdir -p '" + m_dir + "'";
        ASSERT_EQ(0, system(command.c_str()));
        m_profile = m_dir + "/profile.ini";
    }
    void TearDown() override {
        std::string command = "rm -rf '" + m_dir + "'";
        EXPECT_EQ(0, system(command.c_str()));
    }

    std::vector<std::string> With(std::vector<std::string> args) {
        args.insert(args.begin(), {"--profile", m_profile});
        return args;
    }

    std::string m_dir;
    std::string m_profile;
    const std::string m_program = BesideTestProgram("vpihost");
};

// A serial line whose receiver end the test plays: --device gets path.
class TestLine {
public:
    TestLine() {
        char name[128] = {};
        if (openpty(&m_device, &m_port, name, nullptr, nullptr) != 0) return;
        for (int fd : {m_device, m_port}) {
            fcntl(fd, F_SETFD, FD_CLOEXEC);  // a child holding the device side would keep the line up
            termios tio;
            tcgetattr(fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(fd, TCSANOW, &tio);
        }
        path = name;
    }
    ~TestLine() {
        Unplug();
        if (m_port >= 0) close(m_port);
    }
    // Sentence by sentence, as a receiver sends them.
    void Send(const std::string& text) {
        for (size_t at = 0; at < text.size();) {
            size_t end = text.find('\n', at);
            end = end == std::string::npos ? text.size() : end + 1;
            ASSERT_EQ(static_cast<ssize_t>(end - at), write(m_device, text.data() + at, end - at));
            at = end;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    void Unplug() {
        if (m_device >= 0) close(m_device);
        m_device = -1;
    }
    int portFd() const { return m_port; }

    std::string path;

private:
    int m_device = -1;
    int m_port = -1;
};

// Runs vpihost as an ordinary user when the test runs as root, for whom
// permissions and exclusive ttys do not apply. That user may not reach the
// build folder (a checkout below a private folder), so vpihost and what it
// loads beside it are copied to a folder that everyone can reach, which
// has a folder for the user's files (folder()).
class AsUser {
public:
    explicit AsUser(const std::string& program) : m_program(program) {
        char folder[] = "/tmp/vpihost-as-user-XXXXXX";
        if (!mkdtemp(folder) || chmod(folder, 0755) != 0 ||
            mkdir((std::string(folder) + "/files").c_str(), 0777) != 0 ||
            chmod((std::string(folder) + "/files").c_str(), 0777) != 0) {
            skipReason = "cannot make a folder for the ordinary user in /tmp";
            return;
        }
        m_copy = folder;
        if (getuid() != 0) return;
        if (system("/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups /bin/true 2>/dev/null") != 0) {
            skipReason = "no ordinary user can be had here (setpriv to uid 65534 failed)";
            return;
        }
        const std::string from = program.substr(0, program.rfind('/'));
        const std::string copy = "cp '" + program + "' '" + from + "'/*.so '" + from + "'/*.vpl '" + m_copy + "'";
        if (system(copy.c_str()) != 0) skipReason = "cannot copy vpihost to " + m_copy;
        m_program = m_copy + program.substr(program.rfind('/'));
    }
    ~AsUser() {
        if (!m_copy.empty()) (void)!system(("rm -rf '" + m_copy + "'").c_str());
    }
    int Run(std::vector<std::string> args, std::string* err, std::string* out = nullptr) {
        std::string path = m_program;
        if (getuid() == 0) {
            args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", m_program});
            path = "/usr/bin/setpriv";
        }
        ChildProcess run(path, args);
        int code = run.Wait();
        *err = run.Err();
        if (out) *out = run.Out();
        return code;
    }
    std::string folder() const { return m_copy + "/files"; }

    std::string skipReason;

private:
    std::string m_program;
    std::string m_copy;
};

// An NMEA sentence with its checksum and line end.
std::string Sentence(const std::string& body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

size_t Lines(const std::string& text) {
    size_t n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

void ExpectSameRecords(const Records& expected, const Records& got) {
    ASSERT_EQ(expected.size(), got.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        for (const auto& [name, value] : expected[i]) {
            if (name.rfind("sz", 0) == 0) {
                EXPECT_EQ(value, Text(got[i], name)) << "record " << i << " " << name;
            } else {
                // Same double bits: the shortest text reads back exactly.
                EXPECT_EQ(strtod(value.c_str(), nullptr), Number(got[i], name)) << "record " << i << " " << name;
            }
        }
        EXPECT_EQ(expected[i].size(), got[i].size()) << "record " << i;
    }
}

long SecondOfDay(const std::string& hhmmss) {
    return std::stol(hhmmss.substr(0, 2)) * 3600 + std::stol(hhmmss.substr(2, 2)) * 60 + std::stol(hhmmss.substr(4, 2));
}

// Every record with a time and a position agrees with the route at that time.
size_t CheckAgainstTruth(const Records& records, double speedKmh, double tolerance, std::set<long>* seconds) {
    vpisim::Route route(speedKmh);
    size_t checked = 0;
    for (const auto& r : records) {
        std::string time = Text(r, "szTime");
        if (time.size() != 6 || Number(r, "dLatitude") == 0) continue;
        vpisim::Truth truth = route.At(SecondOfDay(time));
        EXPECT_NEAR(truth.latitude, Number(r, "dLatitude"), tolerance) << time;
        EXPECT_NEAR(truth.longitude, Number(r, "dLongitude"), tolerance) << time;
        EXPECT_EQ(8, Number(r, "nSatellites")) << time;
        seconds->insert(SecondOfDay(time));
        ++checked;
    }
    return checked;
}

template <class Predicate>
bool WaitFor(Predicate ready, int timeoutMs = 20000) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return ready();
}

// "...<tag>text</tag>..." -> every text between the tags, in order.
std::vector<std::string> Between(const std::string& text, const std::string& open, const std::string& close) {
    std::vector<std::string> found;
    for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
        const size_t begin = at + open.size();
        found.push_back(text.substr(begin, text.find(close, begin) - begin));
    }
    return found;
}

TEST_F(VpihostRun, FastReplayGivesTheExpectedRecordsInOrder) {
    // The GPX file through a link to a file that is not there yet.
    ASSERT_EQ(0, symlink("t.gpx.target", (m_dir + "/t.gpx").c_str()));
    ChildProcess run(m_program, With({"--replay", kFixture, "--fast", "--json", "--quiet", "--gpx", m_dir + "/t.gpx",
                                      "--svg", m_dir + "/t.svg"}));
    ASSERT_TRUE(run.started());
    ASSERT_EQ(0, run.Wait()) << run.Err();
    EXPECT_EQ("", run.Err());
    ExpectSameRecords(ParseJsonLines(ReadWholeFile(kExpected)), ParseJsonLines(run.Out()));

    std::string gpx = ReadWholeFile(m_dir + "/t.gpx.target");
    struct stat link;
    EXPECT_TRUE(lstat((m_dir + "/t.gpx").c_str(), &link) == 0 && S_ISLNK(link.st_mode)) << "the link is kept";
    EXPECT_EQ(4u, Count(gpx, "<trkpt ")) << gpx << "the GLL with the wrong checksum is no fix";
    EXPECT_NE(std::string::npos, gpx.find("<time>1994-03-23T12:35:20Z</time>"));
    EXPECT_NE(std::string::npos, ReadWholeFile(m_dir + "/t.svg").find(">4 fixes</text>"));
}

// A multi-system receiver sends a burst of sentences each second, each a
// record: the text shows the second's last one, the track its last fix.
TEST_F(VpihostRun, TextLinesAndTrackPointsAreOnePerReceiverSecond) {
    const std::string log = m_dir + "/gn.nmea", gpx = m_dir + "/t.gpx";
    std::ofstream(log, std::ios::binary) << Sentence("GNGGA,123519,4807.038,N,01131.000,E,1,12,0.9,545.4,M,46.9,M,,") +
                                                Sentence("GNGSA,A,3,01,02,,,,,,,,,,,1.6,0.9,1.3") +
                                                Sentence("GPGSV,1,1,01,01,40,083,46") +
                                                Sentence("GNRMC,123519,A,4807.040,N,01131.002,E,022.4,084.4,230394,,") +
                                                Sentence("GNVTG,084.4,T,,M,022.4,N,041.5,K") +
                                                Sentence(
                                                    "GNGGA,123520,4807.050,N,01131.010,E,1,12,0.9,546.0,M,46.9,M,,") +
                                                Sentence("GNRMC,123520,A,4807.052,N,01131.012,E,022.4,084.4,230394,,");
    ChildProcess run(m_program, With({"--replay", log, "--fast", "--any-talker", "--quiet", "--gpx", gpx}));
    ASSERT_EQ(0, run.Wait()) << run.Err();
    EXPECT_EQ(
        " call  time      date            latitude      longitude   altitude        speed        course     sats  "
        "datum\n"
        "    0  --:--:--  ----------    0.000000 N     0.000000 E      0.0 m     0.0 km/h  course   0.0  sats  0  WGS "
        "84\n"
        "    5  12:35:19  1994-03-23   48.117333 N    11.516700 E    545.4 m    41.5 km/h  course  84.4  sats 12  WGS "
        "84\n"
        "    7  12:35:20  1994-03-23   48.117533 N    11.516867 E    546.0 m    41.6 km/h  course  84.4  sats 12  WGS "
        "84\n",
        run.Out());
    const std::string track = ReadWholeFile(gpx);
    EXPECT_EQ(2u, Count(track, "<trkpt ")) << track;
    EXPECT_NE(std::string::npos, track.find("<trkpt lat=\"48.117333")) << track << "the second's last fix";
    ChildProcess all(m_program, With({"--replay", log, "--fast", "--quiet", "--all-records"}));
    ASSERT_EQ(0, all.Wait()) << all.Err();
    EXPECT_EQ(9u, Lines(all.Out())) << all.Out();
}

TEST_F(VpihostRun, LogHoldsWhatThePluginReadAndTpvLinesFollowTheSeconds) {
    const std::string log = m_dir + "/drive.log";
    ASSERT_EQ(0, symlink((log + ".target").c_str(), log.c_str()));
    ChildProcess run(m_program, With({"--replay", kFixture, "--fast", "--json=tpv", "--quiet", "--log=" + log}));
    ASSERT_EQ(0, run.Wait()) << run.Err();
    EXPECT_EQ(ReadWholeFile(kFixture), ReadWholeFile(log + ".target"));
    // One TPV per second from its last record: the link's empty start; the
    // GGA before any date (no time, speed or track yet); the RMC's second,
    // its speed and course replaced by the VTG's 10.2 km/h and 54.7; the
    // GGA with 2 satellites; the RMC that makes them 99 (no SKY).
    const std::string head = "{\"class\":\"TPV\",\"device\":\"" + kFixture + "\",";
    const std::string sky = "{\"class\":\"SKY\",\"device\":\"" + kFixture + "\",";
    EXPECT_EQ(
        head + "\"mode\":1}\n" + head +
            "\"mode\":3,\"lat\":48.1173,\"lon\":11.516666666666667,\"altMSL\":545.4,\"alt\":545.4}\n" + sky +
            "\"uSat\":8}\n" + head +
            "\"time\":\"1994-03-23T12:35:20.000Z\",\"mode\":3,\"lat\":48.1173,\"lon\":11.516666666666667,"
            "\"altMSL\":545.4,\"alt\":545.4,\"track\":54.7,\"speed\":2.833333333333333}\n" +
            sky + "\"time\":\"1994-03-23T12:35:20.000Z\",\"uSat\":8}\n" + head +
            "\"time\":\"1994-03-23T22:54:45.000Z\",\"mode\":3,\"lat\":-35.66872333333334,"
            "\"lon\":-139.7427966666667,\"altMSL\":12.5,\"alt\":12.5,\"track\":54.7,\"speed\":2.833333333333333}\n" +
            sky + "\"time\":\"1994-03-23T22:54:45.000Z\",\"uSat\":2}\n" + head +
            "\"time\":\"2026-12-07T22:54:46.000Z\",\"mode\":3,\"lat\":-35.66872333333334,"
            "\"lon\":-139.7427966666667,\"altMSL\":12.5,\"alt\":12.5,\"track\":271.5,\"speed\":5.152777777777778}\n",
        run.Out());
}

// GGA before RMC, as the simulator sends them: the day's first GGA still
// carries yesterday's date, and its time takes none. Here the first second
// of the day has no RMC, so that its GGA is all that second has.
TEST_F(VpihostRun, AtMidnightATimeTakesOnlyTheDateOfItsOwnSecond) {
    const std::string replay = m_dir + "/midnight.nmea";
    std::ofstream log(replay, std::ios::binary);
    for (const char* second : {"235959,0000.000,N,071226", "000000,0000.001,N,", "000001,0000.002,N,081226"}) {
        const std::string time(second, 6), position = std::string(second + 7, 10) + ",13946.000,E,", date(second + 18);
        log << Sentence("GPGGA," + time + "," + position + "1,08,0.9,40.0,M,,,,");
        if (!date.empty()) log << Sentence("GPRMC," + time + ",A," + position + "010.0,090.0," + date + ",,");
    }
    log.close();
    ChildProcess run(m_program,
                     With({"--replay", replay, "--fast", "--json=tpv", "--quiet", "--gpx", m_dir + "/t.gpx"}));
    ASSERT_EQ(0, run.Wait()) << run.Err();
    std::vector<std::string> times;
    for (const auto& tpv : ParseJsonLines(run.Out()))
        if (Text(tpv, "class") == "TPV" && tpv.count("time")) times.push_back(Text(tpv, "time"));
    EXPECT_EQ((std::vector<std::string>{"2026-12-07T23:59:59.000Z", "2026-12-08T00:00:01.000Z"}), times);
    EXPECT_EQ((std::vector<std::string>{"2026-12-07T23:59:59Z", "2026-12-08T00:00:00Z", "2026-12-08T00:00:01Z"}),
              Between(ReadWholeFile(m_dir + "/t.gpx"), "<time>", "</time>"));
}

TEST_F(VpihostRun, PacedReplayTakesTheLineTimeAndReportsLocalTime) {
    // 518 bytes at 4800 baud: about 1.1 s of line time.
    auto start = std::chrono::steady_clock::now();
    ChildProcess run(m_program, With({"--replay", kFixture, "--json", "--local-time"}), {"TZ=JST-9"});
    ASSERT_EQ(0, run.Wait()) << run.Err();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(seconds, 1.0);
    Records records = ParseJsonLines(run.Out());
    ASSERT_EQ(12u, records.size());
    EXPECT_EQ("213519", Text(records[2], "szTime"));
    EXPECT_EQ("075445", Text(records[8], "szTime")) << "22:54:45 UTC is past midnight in Tokyo";
    EXPECT_NE(std::string::npos, run.Err().find("replay 518 of 518 bytes (100%)"));
    EXPECT_NE(std::string::npos, run.Err().find("stopping (the replay has been read): the host's GPS stop command"));
}

TEST_F(VpihostRun, OnATerminalTheProgressLineIsClearedBeforeEachRecord) {
    // stdout and stderr on one terminal, as a user runs it.
    int terminal = -1;
    pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(m_program.c_str(), m_program.c_str(), "--profile", m_profile.c_str(), "--replay", kFixture.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string screen;
    char buffer[4096];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);)
        if (n > 0) screen.append(buffer, static_cast<size_t>(n));
    close(terminal);
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_EQ(0, WEXITSTATUS(status)) << screen;
    // What each terminal line shows at the end: the text after its last CR.
    size_t records = 0;
    for (size_t at = 0; at < screen.size();) {
        size_t end = std::min(screen.find('\n', at), screen.size());
        std::string line = screen.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string shown = line.substr(line.find_last_of('\r') == std::string::npos ? 0 : line.find_last_of('\r') + 1);
        if (shown.find("WGS 84") != std::string::npos || shown.find("Tokyo") != std::string::npos) {
            ++records;
            EXPECT_EQ(std::string::npos, shown.find("replay ")) << shown;
        }
        at = end + 1;
    }
    EXPECT_EQ(5u, records) << screen << "one line per second of receiver time";
    EXPECT_NE(std::string::npos, screen.find("replay 518 of 518 bytes (100%)"));
}

// A run killed (SIGKILL, out of memory, power cut) keeps a valid GPX file
// with the fixes up to its last write.
TEST_F(VpihostRun, SimulatedNmeaReceiverAgreesWithTheTruthToAMillionthOfADegreeAndAKilledRunKeepsItsTrack) {
    const std::string gpxPath = m_dir + "/t.gpx";
    ChildProcess run(m_program, With({"--simulate", "nmea", "--sim-speed", "60", "--json", "--gpx", gpxPath}));
    ASSERT_TRUE(run.WaitForStderr("Ctrl-C stops")) << run.Err();
    // Killed once the files have been written with three seconds' fixes
    // (FileScheduleTest holds when they are written).
    ASSERT_TRUE(WaitFor([&] { return Count(ReadWholeFile(gpxPath), "<trkpt ") >= 3; })) << run.Err();
    run.Signal(SIGKILL);
    ASSERT_EQ(-1, run.Wait());
    Records records = ParseJsonLines(run.Out());
    ASSERT_GE(records.size(), 10u) << run.Err();
    EXPECT_EQ(0, Number(records[0], "dLatitude")) << "the link start's empty record comes first";
    EXPECT_EQ(5, Number(records[0], "nInterval"));
    std::set<long> seconds;
    EXPECT_GE(CheckAgainstTruth(records, 60, 1e-6, &seconds), 8u);
    EXPECT_GE(seconds.size(), 2u);
    bool vtgSpeed = false;
    for (const auto& r : records) vtgSpeed |= Number(r, "dSpeed") == 60.0;
    EXPECT_TRUE(vtgSpeed);
    EXPECT_NE(std::string::npos, run.Err().find("simulated NMEA receiver (4800 baud)"));

    const std::string gpx = ReadWholeFile(gpxPath);
    EXPECT_EQ(0u, gpx.find("<?xml ")) << gpx;
    EXPECT_EQ(gpx.size() - 7, gpx.find("</gpx>\n")) << gpx;
    const std::vector<std::string> times = Between(gpx, "<time>", "</time>"), lats = Between(gpx, "lat=\"", "\"");
    ASSERT_FALSE(times.empty()) << gpx;
    ASSERT_EQ(times.size(), lats.size()) << gpx;
    vpisim::Route route(60);
    std::set<long> written;
    for (size_t i = 0; i < times.size(); ++i) {
        const long second = SecondOfDay(times[i].substr(11, 2) + times[i].substr(14, 2) + times[i].substr(17, 2));
        EXPECT_NEAR(route.At(second).latitude, std::stod(lats[i]), 1e-6) << times[i];
        written.insert(second);
    }
    // Each burst is read within its second: what was read 2 s before the
    // file's last write is in it.
    struct stat st;
    ASSERT_EQ(0, stat(gpxPath.c_str(), &st));
    const long lastWrite = static_cast<long>(st.st_mtime % 86400);
    for (long second : seconds)
        EXPECT_TRUE(second + 2 > lastWrite || written.count(second) == 1) << second << " missing in\n" << gpx;
    EXPECT_LE(*written.rbegin(), lastWrite);
}

TEST_F(VpihostRun, SimulatedSonyReceiverAgreesWithTheTruthToATenthOfAnArcSecond) {
    ChildProcess run(m_program, With({"--simulate", "sony", "--duration", "3.6", "--json", "--quiet"}));
    ASSERT_EQ(0, run.Wait()) << run.Err();
    Records records = ParseJsonLines(run.Out());
    std::set<long> seconds;
    EXPECT_GE(CheckAgainstTruth(records, vpisim::Route::kDefaultSpeedKmh, 0.1 / 3600, &seconds), 2u);
    EXPECT_GE(seconds.size(), 2u);
    for (size_t i = 1; i < records.size(); ++i) {
        EXPECT_EQ(40, Number(records[i], "dSpeed"));
        EXPECT_EQ("", Text(records[i], "szDate")) << "Sony records carry no date";
    }
    // The plug-in chose the Sony receiver and stored it.
    EXPECT_NE(std::string::npos, ReadWholeFile(m_profile).find("GPSNavi Protcol=1"));
}

TEST_F(VpihostRun, DialogOptionsArePlayedAndStoredAndAnyTalkerStoredByVpihost) {
    ChildProcess run(m_program, With({"--replay", kFixture, "--fast", "--json", "--port", "3", "--receiver", "nmea",
                                      "--interval", "10", "--no-center", "--no-3d", "--no-record", "--any-talker"}));
    ASSERT_EQ(0, run.Wait()) << run.Err();
    Records records = ParseJsonLines(run.Out());
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(10, Number(records[0], "nInterval"));
    EXPECT_NE(std::string::npos,
              run.Err().find("navigation started: centre the map off, 3D view off, record the track off"));
    EXPECT_EQ(
        "[plugin 1]\nGPSNavi AnyTalker=1\nGPSNavi CommPort=2\nGPSNavi Centering=0\nGPSNavi 3DView=0\nGPSNavi Record=0\n"
        "GPSNavi Sampling=10\nGPSNavi Protcol=0\n",
        ReadWholeFile(m_profile));
}

// Below a file, or read-only in a folder that may be written (where a
// rename would replace it, and give it to another owner); with or without
// --any-talker, which is stored before the start.
TEST_F(VpihostRun, AProfileThatCannotBeWrittenIsSaidOnceAndFailsTheRun) {
    AsUser user(m_program);
    if (!user.skipReason.empty()) GTEST_SKIP() << user.skipReason;
    const std::string replay = user.folder() + "/drive.nmea", readOnly = user.folder() + "/read-only.ini";
    std::ofstream(replay, std::ios::binary) << ReadWholeFile(kFixture);
    std::ofstream(user.folder() + "/file") << "";
    const struct {
        std::string profile, reason;
    } profiles[] = {{user.folder() + "/file/profile.ini", "Not a directory"}, {readOnly, "Permission denied"}};
    for (const auto& p : profiles) {
        for (bool anyTalker : {false, true}) {
            std::ofstream(readOnly) << "[plugin 1]\n";
            ASSERT_EQ(0, chmod(readOnly.c_str(), 0444));
            std::vector<std::string> args{"--profile", p.profile, "--replay", replay, "--fast", "--quiet", "--json"};
            if (anyTalker) args.push_back("--any-talker");
            std::string err, out;
            EXPECT_EQ(1, user.Run(args, &err, &out)) << err;
            EXPECT_EQ("vpihost: cannot write the profile " + p.profile + ": " + p.reason + "\n", err);
            EXPECT_EQ(12u, Lines(out)) << "the run itself goes on";
            EXPECT_EQ("[plugin 1]\n", ReadWholeFile(readOnly));
            struct stat st;
            EXPECT_TRUE(stat(readOnly.c_str(), &st) == 0 && st.st_uid == getuid()) << "the owner is kept";
            ASSERT_EQ(0, unlink(readOnly.c_str()));
        }
    }
}

TEST_F(VpihostRun, WithoutOptionsTheStoredSettingsAreUsed) {
    std::ofstream(m_profile) << "; mine\n[plugin 1]\nGPSNavi Sampling=20\nGPSNavi Centering=0\nGPSNavi FixSpeed=5\n";
    ChildProcess run(m_program, With({"--replay", kFixture, "--fast", "--json"}));
    ASSERT_EQ(0, run.Wait()) << run.Err();
    Records records = ParseJsonLines(run.Out());
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(20, Number(records[0], "nInterval"));
    EXPECT_NE(std::string::npos, run.Err().find("centre the map off, 3D view on, record the track on"));
    std::string profile = ReadWholeFile(m_profile);
    EXPECT_EQ(0u, profile.find("; mine\n[plugin 1]\nGPSNavi Sampling=20\nGPSNavi Centering=0\nGPSNavi FixSpeed=5\n"))
        << profile;
}

TEST_F(VpihostRun, CtrlCStopsCleanlyAndTheLineSettingsButtonSetsTheBaud) {
    ChildProcess run(m_program, With({"--simulate", "nmea", "--baud", "19200"}));
    ASSERT_TRUE(run.WaitForStderr("Ctrl-C stops")) << run.Err();
    std::string err = run.Err();
    size_t at = err.find("/dev/pts/");
    ASSERT_NE(std::string::npos, at);
    std::string pts = err.substr(at, err.find_first_of("; \n", at) - at);
    int fd = open(pts.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0) << pts;
    termios tio;
    ASSERT_EQ(0, tcgetattr(fd, &tio));
    close(fd);
    EXPECT_EQ(static_cast<speed_t>(B19200), cfgetispeed(&tio));
    // Running: the start record and the first decoded sentences are out.
    for (int i = 0; i < 500 && Lines(run.Out()) < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_GE(Lines(run.Out()), 3u) << run.Err();
    run.Signal(SIGINT);
    EXPECT_EQ(0, run.Wait(10000)) << run.Err();
    err = run.Err();
    EXPECT_NE(std::string::npos,
              err.find("stopping (interrupted): the host's GPS stop command, then the plug-in's Close and Release"))
        << err;
    EXPECT_NE(std::string::npos, err.find("navigation released"));
}

TEST_F(VpihostRun, AnUnpluggedReceiverIsNoticedAndTheTrackIsWritten) {
    enum How { kHangUp, kPathGone };
    for (How how : {kHangUp, kPathGone}) {
        TestLine line;
        const std::string link = m_dir + "/gps" + std::to_string(how), gpx = m_dir + "/t.gpx";
        ASSERT_EQ(0, symlink(line.path.c_str(), link.c_str()));
        ChildProcess run(m_program, With({"--device", link, "--receiver", "nmea", "--json", "--gpx", gpx}));
        ASSERT_TRUE(run.WaitForStderr("Ctrl-C stops")) << run.Err();
        line.Send(ReadWholeFile(kFixture));
        ASSERT_TRUE(WaitFor([&] { return Lines(run.Out()) >= 11; })) << run.Err();
        const auto unplugged = std::chrono::steady_clock::now();
        if (how == kHangUp) line.Unplug();
        if (how == kPathGone) unlink(link.c_str());
        EXPECT_EQ(1, run.Wait(10000)) << how << run.Err();
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - unplugged).count(), 3.0);
        EXPECT_NE(std::string::npos, run.Err().find("vpihost: the receiver at " + link + " is gone\n")) << run.Err();
        EXPECT_NE(std::string::npos, run.Err().find("stopping (the receiver is gone)")) << run.Err();
        EXPECT_NE(std::string::npos, ReadWholeFile(gpx).find("<time>1994-03-23T12:35:20Z</time>")) << how;
        unlink(gpx.c_str());
    }
}

// Whether the process has a descriptor of the character device open.
bool HoldsDevice(pid_t pid, dev_t device) {
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    std::unique_ptr<DIR, int (*)(DIR*)> fds(opendir(folder.c_str()), closedir);
    struct stat st;
    for (dirent* entry; fds && (entry = readdir(fds.get()));)
        if (stat((folder + "/" + entry->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device)
            return true;
    return false;
}

TEST_F(VpihostRun, WithWaitForDeviceTheReceiverIsAwaitedAndReturnsUnderItsName) {
    const std::string link = m_dir + "/gps";
    ChildProcess run(m_program, With({"--device", link, "--receiver", "nmea", "--json", "--wait-for-device"}));
    ASSERT_TRUE(run.WaitForStderr("vpihost: there is no device " + link +
                                  " (is the receiver plugged in? dmesg names its device); waiting for it (Ctrl-C "
                                  "stops)\n"))
        << run.Err();
    auto first = std::make_unique<TestLine>();
    ASSERT_EQ(0, symlink(first->path.c_str(), link.c_str()));
    ASSERT_TRUE(run.WaitForStderr("reading COM2 from " + link)) << run.Err();
    struct stat old;
    ASSERT_EQ(0, stat(first->path.c_str(), &old));
    first->Unplug();
    ASSERT_TRUE(run.WaitForStderr("is gone; waiting for it to come back")) << run.Err();
    // A USB serial driver gives the device's name to a new one only once
    // every descriptor of the old one is closed.
    first.reset();
    ASSERT_TRUE(WaitFor([&] { return !HoldsDevice(run.pid(), old.st_rdev); }, 3000))
        << "vpihost holds the gone device: a USB receiver would come back under another name";
    TestLine second;
    const std::string next = link + ".new";
    ASSERT_EQ(0, symlink(second.path.c_str(), next.c_str()));
    ASSERT_EQ(0, rename(next.c_str(), link.c_str()));
    ASSERT_TRUE(run.WaitForStderr("is back; the start dialog runs again")) << run.Err();
    ASSERT_TRUE(
        WaitFor([&] { return run.Err().find("navigation started", run.Err().find("is back")) != std::string::npos; }));
    second.Send(ReadWholeFile(kFixture));
    ASSERT_TRUE(WaitFor([&] { return Lines(run.Out()) >= 12; })) << run.Out() << run.Err();
    run.Signal(SIGINT);
    EXPECT_EQ(0, run.Wait(10000)) << run.Err();
    Records records = ParseJsonLines(run.Out());
    EXPECT_EQ("261207", Text(records.back(), "szDate")) << "records of the second link";
    EXPECT_NE(std::string::npos, run.Err().find("vpihost: the receiver at " + link + " is there\n")) << run.Err();
}

TEST_F(VpihostRun, HangUpsAndAClosedPipeStopCleanlyWithTheTrackWritten) {
    // A closing terminal sends two hang-ups 0.25 ms apart (the terminal's
    // and the kernel's): tried 20 times.
    enum How { kHangUpSignal, kTwoHangUps, kReaderGone };
    std::vector<How> hows(20, kTwoHangUps);
    hows.insert(hows.begin(), kHangUpSignal);
    hows.push_back(kReaderGone);
    for (How how : hows) {
        const std::string gpx = m_dir + "/t.gpx";
        ChildProcess run(m_program, With({"--simulate", "nmea", "--gpx", gpx}), {}, how == kReaderGone);
        ASSERT_TRUE(run.WaitForStderr("Ctrl-C stops")) << run.Err();
        if (how == kHangUpSignal) {
            ASSERT_TRUE(WaitFor([&] { return Lines(run.Out()) >= 3; }));
            run.Signal(SIGHUP);
        } else if (how == kTwoHangUps) {
            run.Signal(SIGHUP);
            std::this_thread::sleep_for(std::chrono::microseconds(250));
            run.Signal(SIGHUP);
        } else {
            char buffer[512];
            ASSERT_GT(read(run.StdoutReader(), buffer, sizeof buffer), 0);
            run.CloseStdoutReader();
        }
        EXPECT_EQ(0, run.Wait(10000)) << how << run.Err();
        const char* why =
            how != kReaderGone ? "stopping (the terminal hung up)" : "stopping (nobody reads the records any more)";
        EXPECT_NE(std::string::npos, run.Err().find(why)) << run.Err();
        EXPECT_NE(std::string::npos, ReadWholeFile(gpx).find("</gpx>")) << how;
        unlink(gpx.c_str());
    }
}

// The rules and texts of the hints are SilenceHintsTest's; here the one
// that needs the bytes the module read: talkers it takes only with
// --any-talker, named in the order first seen.
TEST_F(VpihostRun, AQuietLineGetsOneHintNamingTheTalkersTheModuleDoesNotTake) {
    TestLine multi;
    ChildProcess talkers(m_program, With({"--device", multi.path, "--receiver", "nmea", "--duration", "6.5"}));
    ASSERT_TRUE(talkers.WaitForStderr("reading COM")) << talkers.Err();
    // Seven kinds it would take, a maker's own sentence, satellites in view.
    for (const char* id : {"GNGGA", "PGRMC", "GNGSA", "GPGSV", "GNRMC", "GNVTG", "GNGGA", "GNGLL", "GLGSA", "BDGSA"})
        multi.Send(Sentence(id + std::string(",123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")));
    EXPECT_EQ(0, talkers.Wait()) << talkers.Err();
    EXPECT_NE(std::string::npos,
              talkers.Err().find("\nvpihost: 5 s of records without a position: the receiver sends $GNGGA, $GNGSA, "
                                 "$GNRMC, $GNVTG, $GNGLL and 2 more; the module takes them with --any-talker\n"))
        << talkers.Err();
    EXPECT_NE(std::string::npos,
              talkers.Err().find("reading COM2 from " + multi.path + " at 4800 baud, receiver type NMEA 0183"));
}

TEST_F(VpihostRun, DeviceRefusalsNameTheDeviceAndTheReason) {
    TestLine closed, held, locked;
    ASSERT_EQ(0, chmod(closed.path.c_str(), 0600));  // not for others
    for (TestLine* line : {&held, &locked}) ASSERT_EQ(0, chmod(line->path.c_str(), 0666));
    // Held by another program: exclusively, or under an advisory lock.
    ASSERT_EQ(0, ioctl(held.portFd(), TIOCEXCL));
    ASSERT_EQ(0, flock(locked.portFd(), LOCK_EX));
    const std::string profile = "/tmp/vpihost-refusal-" + std::to_string(getpid()) + ".ini";
    const struct {
        std::string device;
        const char* message;
    } cases[] = {
        {closed.path, ": on Debian the user must be in the group dialout (sudo adduser $USER dialout"},
        {held.path, " is in use by another program\n"},
        {locked.path, " is in use by another program\n"},
    };
    AsUser user(m_program);
    if (!user.skipReason.empty()) GTEST_SKIP() << user.skipReason;
    for (const auto& c : cases) {
        std::string err;
        EXPECT_EQ(5, user.Run({"--profile", profile, "--device", c.device, "--quiet"}, &err)) << err;
        EXPECT_NE(std::string::npos, err.find(c.device)) << err;
        EXPECT_NE(std::string::npos, err.find(c.message)) << err;
        EXPECT_EQ(1u, Lines(err)) << err;
    }
    std::remove(profile.c_str());  // written only when a refusal was missed
}

TEST_F(VpihostRun, APortThatWillNotOpenIsNamedWithItsDevice) {
    const int fd = open("/dev/ttyS1", O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) close(fd);
    if (fd >= 0) GTEST_SKIP() << "/dev/ttyS1 opens here: the stored COM2 would start";
    ChildProcess run(m_program, With({"--quiet"}));
    EXPECT_EQ(5, run.Wait());
    EXPECT_EQ(
        "vpihost: message box: Cannot Open COM port\n"
        "vpihost: navigation did not start: the start dialog refused Start (Cannot Open COM port): COM2 is "
        "/dev/ttyS1 here; name the receiver's device with --device PATH, or try --simulate nmea for a simulated "
        "receiver\n",
        run.Err());
}

struct ErrorCase {
    std::vector<std::string> args;
    int exitCode;
    std::string message;
};

TEST_F(VpihostRun, ErrorsGiveOneLineAndANonZeroExit) {
    const std::string noEntryPoints = BesideTestProgram("libvpihost_no_entry_points.so");
    // Module paths that are no module file: a FIFO, a loop of links, and the
    // module built for another processor (its ELF machine changed).
    const std::string fifo = m_dir + "/fifo.vpl", loop = m_dir + "/loop.vpl", foreign = m_dir + "/foreign.vpl";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    ASSERT_EQ(0, symlink(loop.c_str(), loop.c_str()));
    std::string module = ReadWholeFile(BesideTestProgram("NMEATavelo.vpl"));
    ASSERT_GT(module.size(), 20u);
    module[18] = 0x28;  // EM_ARM
    module[19] = 0;
    std::ofstream(foreign, std::ios::binary) << module;
    const std::string unwritable = m_dir + "/no-such-folder/t";
    const std::vector<ErrorCase> cases = {
        {{"--module", m_dir}, 3, "the module path " + m_dir + " is a folder, not a module"},
        {{"--module", fifo}, 3, "is a named pipe (FIFO), not a module"},
        {{"--module", loop}, 3, "is a loop of symbolic links"},
        {{"--module", foreign}, 3, ": it is not a module for this system (another file format or processor type)"},
        {{"--device", kFixture}, 5, kFixture + " is not a serial device (not a tty)"},
        {{"--replay", kFixture, "--gpx", unwritable},
         1,
         "cannot write the GPX file " + unwritable + ": No such file or directory"},
        {{"--replay", kFixture, "--svg", m_dir}, 1, "cannot write the picture " + m_dir + ": it is a folder"},
        {{"--replay", kFixture, "--log", unwritable}, 1, "cannot write the log " + unwritable + ": No such file"},
        {{"--module", m_dir + "/missing.vpl"}, 3, "module not found: "},
        {{"--module", BesideTestProgram("libPluginIf.so")}, 3, "has no version-requirement marker"},
        {{"--module", noEntryPoints}, 3, "does not export Load"},
        {{"--module", BesideTestProgram("libvpihost_overrun.so")}, 3, "Init wrote past the end of the 280-byte"},
        {{"--host-version", "7419"}, 4, "needs host version 7420 or later; this host is 7419"},
        {{"--device", m_dir + "/no-such-tty"}, 5, "there is no device "},
        {{"--replay", m_dir + "/no-such.log"}, 5, "cannot open the replay"},
        {{"--port", "9"}, 2, "--port needs 1, 2, 3 or 4"},
        {{"--simulate", "nmea", "--replay", kFixture}, 2, "choose one of"},
    };
    for (const ErrorCase& c : cases) {
        std::vector<std::string> args = With(c.args);
        args.push_back("--quiet");
        ChildProcess run(m_program, args);
        EXPECT_EQ(c.exitCode, run.Wait()) << c.message;
        std::string err = run.Err();
        EXPECT_EQ(1u, Lines(err)) << err;
        EXPECT_EQ(0u, err.find("vpihost: ")) << err;
        EXPECT_NE(std::string::npos, err.find(c.message)) << err;
        EXPECT_EQ("", run.Out());
    }
}

TEST_F(VpihostRun, TheModuleIsClosedAndReleasedOnceWhenNoLinkIsStarted) {
    const std::string module = BesideTestProgram("libvpihost_no_menu.so");
    const std::string loaded = "module: Init\nmodule: Load\n", closed = "module: Close\nmodule: Release\n";
    ChildProcess noMenu(m_program, With({"--module", module, "--quiet"}));
    EXPECT_EQ(1, noMenu.Wait());
    EXPECT_EQ(loaded + "vpihost: the plug-in added no item to the GPS menu\n" + closed, noMenu.Err());
    ChildProcess about(m_program, With({"--module", module, "--quiet", "--about"}));
    EXPECT_EQ(0, about.Wait());
    EXPECT_EQ(loaded + "module: About\n" + closed, about.Err());
}

TEST_F(VpihostRun, VersionIsOneLineOnStdout) {
    for (const char* option : {"--version", "-V"}) {
        ChildProcess run(m_program, {option});
        EXPECT_EQ(0, run.Wait());
        EXPECT_EQ("vpihost 1.0.5\n", run.Out());
    }
}

// Another run of vpihost, and a program that opened the device before
// without a lock (as cat or a GPS daemon would), are named with their
// process. The test holds the pseudo-terminal's other end, and no child may
// inherit it: that would make the child the device's provider.
TEST_F(VpihostRun, ADeviceInUseIsRefusedNamingTheProgramThatHasIt) {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(0, grantpt(master));
    ASSERT_EQ(0, unlockpt(master));
    const std::string device = ptsname(master);
    for (bool lockless : {false, true}) {
        std::unique_ptr<ChildProcess> holder;
        std::string holderName;
        if (lockless) {
            holder.reset(new ChildProcess("/bin/sh", {"-c", "exec sleep 20 <" + device}));
            holderName = "sleep";
            const std::string comm = "/proc/" + std::to_string(holder->pid()) + "/comm";
            ASSERT_TRUE(WaitFor([&] { return ReadWholeFile(comm) == "sleep\n"; }));
        } else {
            holder.reset(new ChildProcess(m_program, With({"--device", device, "--duration", "20"})));
            holderName = "vpihost";
            ASSERT_TRUE(holder->WaitForStderr("reading COM")) << holder->Err();
        }
        ChildProcess second(m_program, With({"--device", device, "--quiet"}));
        EXPECT_EQ(5, second.Wait());
        EXPECT_EQ(
            "vpihost: " + device + " is in use by " + holderName + " (process " + std::to_string(holder->pid()) + ")\n",
            second.Err());
        if (!lockless) {
            holder->Signal(SIGINT);
            EXPECT_EQ(0, holder->Wait(10000)) << holder->Err();
        }
    }
    close(master);
}

TEST_F(VpihostRun, AboutShowsTheBoxAndClosesAgain) {
    ChildProcess run(m_program, With({"--about"}));
    ASSERT_EQ(0, run.Wait()) << run.Err();
    std::string err = run.Err();
    EXPECT_NE(std::string::npos, err.find("plug-in \"NMEA Driver for Tavelo プラグイン\" version 1.0.5\n"));
    EXPECT_NE(std::string::npos, err.find("it adds \"NMEA for Tavelo\" to the GPS menu\n"));
    EXPECT_NE(std::string::npos, err.find("it listens to the host's commands (GPS stop)\n"));
    EXPECT_NE(std::string::npos, err.find("message box: NMEA Driver for Tavelo プラグイン for VESTRAND / Ver 1.0.5"));
    EXPECT_EQ("", run.Out());
}

// A log of `seconds` seconds of GGA and RMC, each second's fix apart.
std::string LongLog(int seconds) {
    std::string log;
    for (int k = 0; k < seconds; ++k) {
        char time[16];
        snprintf(time, sizeof time, "%02d%02d%02d", k / 3600 % 24, k / 60 % 60, k % 60);
        const std::string t(time);
        log += Sentence("GPGGA," + t + ",3540.9000,N,13946.0500,E,1,08,0.9,40.0,M,39.0,M,,") +
               Sentence("GPRMC," + t + ",A,3540.9000,N,13946.0500,E,020.0,090.0,081226,,");
    }
    return log;
}

// Nobody reads stdout (a full pipe): its lines wait, the module goes on
// reading, the track grows, the line does not count as failed when the
// pipe is read again late, and a stop ends the run at once.
TEST_F(VpihostRun, AStdoutNobodyReadsHoldsBackOnlyItsOwnLines) {
    const std::string gpx = m_dir + "/t.gpx";
    ChildProcess run(m_program, With({"--simulate", "nmea", "--json", "--gpx", gpx}), {}, true);
    ASSERT_GE(fcntl(run.StdoutReader(), F_SETPIPE_SZ, 4096), 4096);
    ASSERT_TRUE(run.WaitForStderr("Ctrl-C stops")) << run.Err();
    int queued = 0;
    ASSERT_TRUE(WaitFor([&] { return ioctl(run.StdoutReader(), FIONREAD, &queued) == 0 && queued > 3800; }))
        << queued;
    // Longer than the 5 s after which a reader that takes nothing is a
    // failed line: the module would have stopped reading with it.
    const size_t pointsWhenFull = Count(ReadWholeFile(gpx), "<trkpt ");
    ASSERT_TRUE(WaitFor([&] { return Count(ReadWholeFile(gpx), "<trkpt ") >= pointsWhenFull + 7; }, 30000))
        << run.Err();
    char buffer[65536];
    ASSERT_GT(read(run.StdoutReader(), buffer, sizeof buffer), 0);
    run.Signal(SIGTERM);
    EXPECT_EQ(0, run.Wait(10000)) << run.Err();
    EXPECT_NE(std::string::npos, run.Err().find("stopping (terminated)")) << run.Err();
    EXPECT_EQ(std::string::npos, run.Err().find("stopped reading")) << run.Err();
    EXPECT_NE(std::string::npos, ReadWholeFile(gpx).find("</gpx>"));
}

// A fast replay into a pipe that is never read: every fix reaches the
// track, and the lines that found no room are counted, so that what the
// pipe holds and what was left out make every record.
TEST_F(VpihostRun, AFastReplayIntoAPipeNobodyReadsSaysHowManyLinesItLeftOut) {
    constexpr int kSeconds = 3000;
    const std::string log = m_dir + "/long.nmea", gpx = m_dir + "/t.gpx";
    std::ofstream(log, std::ios::binary) << LongLog(kSeconds);
    ChildProcess run(m_program, With({"--replay", log, "--fast", "--json", "--quiet", "--gpx", gpx}), {}, true);
    EXPECT_EQ(0, run.Wait()) << run.Err();
    EXPECT_EQ(static_cast<size_t>(kSeconds), Count(ReadWholeFile(gpx), "<trkpt "));
    const std::string err = run.Err();
    const std::string said = " lines of stdout were left out while nobody read it\n";
    ASSERT_NE(std::string::npos, err.find(said)) << err;
    EXPECT_EQ(1u, Lines(err)) << err;
    std::string out;
    char chunk[65536];
    fcntl(run.StdoutReader(), F_SETFL, O_NONBLOCK);
    for (ssize_t n; (n = read(run.StdoutReader(), chunk, sizeof chunk)) > 0;) out.append(chunk, static_cast<size_t>(n));
    const long leftOut = std::stol(err.substr(err.find("vpihost: ") + 9));
    EXPECT_EQ(2 * kSeconds + 1, static_cast<long>(Lines(out)) + leftOut) << "the link's start record and two per second";
    EXPECT_EQ(0u, out.find("{\"n\":0,")) << out.substr(0, 200);
}

}  // namespace
