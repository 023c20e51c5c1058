// vpihost's outputs end to end (Linux): what a path leads to is never
// harmed, a pipe gets its document at the end, a killed run leaves a GPX
// file that gpsbabel reads, and values outside the formats are left out of
// the TPVs and the GPX, counted, and kept as they came in --json.
#include <fcntl.h>
#include <sys/sysmacros.h>

#include "ExternalReaders.h"
#include "Timing.h"
#include "RunFixture.h"

namespace {

std::string Drain(int fd) {
    std::string got;
    char buffer[65536];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) got.append(buffer, static_cast<size_t>(n));
    return got;
}

TEST_F(VpihostRun, APipeGetsTheWholeDocumentAtTheEndAndADeviceBehindALinkIsNeverReplaced) {
    const std::string pipe = m_dir + "/track.gpx", picture = m_dir + "/picture.svg", node = m_dir + "/null";
    ASSERT_EQ(0, mkfifo(pipe.c_str(), 0600));
    // A null device of the test's own behind a link, where it can be made:
    // a fault must not harm the machine's. Else a second pipe.
    const bool device = geteuid() == 0 && mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    if (!device) {
        ASSERT_EQ(0, mkfifo(node.c_str(), 0600));
    }
    ASSERT_EQ(0, symlink("null", picture.c_str()));
    struct stat before;
    ASSERT_EQ(0, stat(node.c_str(), &before));
    // The readers are there before the run; the documents fit the pipes' buffers.
    const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK), svgReader = open(node.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ChildProcess run(m_program, With({"--replay", kFixture, "--fast", "--quiet", "--gpx", pipe, "--svg", picture}));
    ASSERT_EQ(0, run.Wait()) << run.Err();
    EXPECT_EQ("", run.Err());
    const std::string gpx = Drain(reader), svg = device ? std::string() : Drain(svgReader);
    close(reader);
    if (svgReader >= 0) close(svgReader);
    EXPECT_EQ(0u, gpx.find("<?xml ")) << gpx;
    EXPECT_EQ(4u, Count(gpx, "<trkpt ")) << gpx;
    ExpectGpsbabelReads(gpx, 4);
    if (!device) ExpectXmllintReads(svg);
    struct stat after;
    ASSERT_EQ(0, stat(node.c_str(), &after));
    EXPECT_TRUE(before.st_ino == after.st_ino && (after.st_mode & S_IFMT) == (before.st_mode & S_IFMT));
    ASSERT_EQ(0, lstat(pipe.c_str(), &after));
    EXPECT_TRUE(S_ISFIFO(after.st_mode));

    // Without a reader: said, the exit 1, nothing waited for.
    ChildProcess unread(m_program, With({"--replay", kFixture, "--fast", "--gpx", pipe}));
    EXPECT_EQ(1, unread.Wait(30000)) << unread.Err();
    EXPECT_NE(std::string::npos, unread.Err().find("vpihost: the GPX file " + pipe +
                                                   " is a named pipe: it gets the whole document once, at the end\n"));
    EXPECT_NE(std::string::npos, unread.Err().find("vpihost: cannot write " + pipe + ": nobody reads the named pipe\n"))
        << unread.Err();
}

// A path that names no file vpihost may replace is one line at the start;
// a log into a named pipe without a reader does not hold the start.
TEST_F(VpihostRun, WhatIsNoFileIsRefusedAtTheStartInOneLine) {
    const std::string fifo = m_dir + "/fifo", link = m_dir + "/link";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    ASSERT_EQ(0, symlink("fifo", link.c_str()));
    struct Case {
        std::vector<std::string> args;
        std::string said;
    } cases[] = {
        {{"--log", link}, "cannot write the log " + link + ": nobody reads the named pipe; start its reader first"},
        {{"--gpx", "-"}, "cannot write the GPX file -: standard output carries the records; give a file name"},
        {{"--svg", "/proc/self/fd/1"}, "cannot write the picture /proc/self/fd/1: it is vpihost's standard output"},
        {{"--gpx", m_dir}, "cannot write the GPX file " + m_dir + ": it is a folder"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--replay", kFixture, "--fast", "--quiet"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ChildProcess run(m_program, With(args));
        EXPECT_EQ(1, run.Wait(30000)) << c.said << "\n" << run.Err();
        EXPECT_EQ("vpihost: " + c.said, run.Err().substr(0, c.said.size() + 9)) << run.Err();
        EXPECT_EQ(1u, Count(run.Err(), "\n")) << run.Err();
        EXPECT_EQ("", run.Out());
    }
    struct stat st;
    ASSERT_EQ(0, lstat(fifo.c_str(), &st));
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// The receiver's values as they came: --json shows them; the TPVs and the
// GPX leave out what their formats cannot hold, and the run says how many.
TEST_F(VpihostRun, ValuesOutsideTheFormatsAreLeftOutOfTheTpvsAndTheGpxCountedAndShownAsTheyCameInJson) {
    const std::string log = m_dir + "/bad.nmea", gpx = m_dir + "/t.gpx";
    std::ofstream(log, std::ios::binary) << Sentence("GPGGA,120012,3540.000,N,13946.000,E,1,08,0.9,1e308,M,,,,")
                                         << Sentence("GPRMC,120012,A,3540.000,N,13946.000,E,-5,-5,999999,,")
                                         << Sentence("GPGGA,010000,3540.000,N,13946.000,E,1,08,0.9,40.0,M,,,,")
                                         << Sentence("GPRMC,010000,A,3540.000,N,13946.000,E,5,5,320126,,");
    ChildProcess tpv(m_program, With({"--replay", log, "--fast", "--json=tpv", "--gpx", gpx}));
    ASSERT_EQ(0, tpv.Wait()) << tpv.Err();
    const std::string head = "{\"class\":\"TPV\",\"device\":\"" + log + "\",";
    const std::string sky = "{\"class\":\"SKY\",\"device\":\"" + log + "\",\"uSat\":8}\n";
    EXPECT_EQ(head + "\"mode\":1}\n" + head + "\"mode\":2,\"lat\":35.666666666666664,\"lon\":139.76666666666668}\n" +
                  sky + head +
                  "\"mode\":3,\"lat\":35.666666666666664,\"lon\":139.76666666666668,\"altMSL\":40,\"alt\":40,"
                  "\"track\":5,\"speed\":2.576388888888889}\n" +
                  sky,
              tpv.Out());
    const std::string track = ReadWholeFile(gpx);
    EXPECT_EQ(0u, Count(track, "<time>")) << track;
    EXPECT_EQ(1u, Count(track, "<ele>40</ele>")) << track;
    ExpectGpsbabelReadsFile(gpx, 2);
    EXPECT_NE(std::string::npos, tpv.Err().find("vpihost: 5 records, 2 fixes in the track; values the GPX and the TPVs "
                                                "cannot hold, left out: 1 altitude, 1 course, 1 speed, 2 dates\n"))
        << tpv.Err();

    ChildProcess json(m_program, With({"--replay", log, "--fast", "--json", "--quiet"}));
    ASSERT_EQ(0, json.Wait()) << json.Err();
    const std::string out = json.Out();
    const std::string second = out.substr(out.find('\n', out.find('\n') + 1) + 1);
    EXPECT_EQ(
        "{\"n\":2,\"dwSize\":80,\"dLatitude\":35.666666666666664,\"dLongitude\":139.76666666666668,"
        "\"dAltitude\":1e+308,\"dCourse\":-5,\"dSpeed\":-9.275,\"szTime\":\"120012\",\"nSatellites\":8,"
        "\"nInterval\":5,\"nDatum\":0,\"szDate\":\"999999\"}",
        second.substr(0, second.find('\n')));
}

// Killed: the GPX file holds what its last write held, and reads whole.
TEST_F(VpihostRun, AKilledRunLeavesAGpxFileThatGpsbabelReads) {
    const std::string gpx = m_dir + "/t.gpx";
    ChildProcess run(m_program, With({"--simulate", "nmea", "--sim-speed", "60", "--quiet", "--json", "--gpx", gpx}));
    // Killed once a write holds a few points.
    const auto points = [&] { return Count(ReadWholeFile(gpx), "<trkpt "); };
    for (int waited = 0; waited < 60000 && points() < 3; waited += 20) Pause(20);
    ASSERT_GE(points(), 3u) << run.Err();
    run.Signal(SIGKILL);
    ASSERT_EQ(-1, run.Wait());
    ExpectGpsbabelReadsFile(gpx, points());
}

}  // namespace
