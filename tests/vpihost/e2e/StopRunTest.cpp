// vpihost end to end: how a run ends, and what no output can do to it: a
// stop signal, a hang-up, a closed pipe, a kill, a stdout nobody reads.
#include "RunFixture.h"

namespace {

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
    ASSERT_TRUE(WaitFor([&] { return ioctl(run.StdoutReader(), FIONREAD, &queued) == 0 && queued > 3800; })) << queued;
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
    EXPECT_EQ(2 * kSeconds + 1, static_cast<long>(Lines(out)) + leftOut)
        << "the link's start record and two per second";
    EXPECT_EQ(0u, out.find("{\"n\":0,")) << out.substr(0, 200);
}

}  // namespace
