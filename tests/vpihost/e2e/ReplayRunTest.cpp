// vpihost end to end: what a replayed log or the simulator gives: the
// records in order, the text, JSON and TPV lines, the track files, the
// --log, the progress line.
#include "RunFixture.h"

namespace {

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
        "    0  no data yet: the record the module sends as the link starts\n"
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
        if (shown.find("WGS 84") != std::string::npos || shown.find("Tokyo") != std::string::npos ||
            shown.find("no data yet") != std::string::npos) {
            ++records;
            EXPECT_EQ(std::string::npos, shown.find("replay ")) << shown;
        }
        at = end + 1;
    }
    EXPECT_EQ(5u, records) << screen << "one line per second of receiver time";
    EXPECT_NE(std::string::npos, screen.find("replay 518 of 518 bytes (100%)"));
    // The last second's line is shown before navigation is released.
    EXPECT_LT(screen.rfind("WGS 84"), screen.find("vpihost: navigation released")) << screen;
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

}  // namespace
