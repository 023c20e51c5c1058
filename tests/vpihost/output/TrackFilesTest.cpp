// The track files on disk: only a regular file is ever replaced, whatever
// the path leads to; a pipe or a device gets the document once, at the end;
// the GPX file grows from its settled text and always reads whole.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "ExternalReaders.h"
#include "output/Gpx.h"
#include "output/TrackFiles.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>
#endif

using namespace vpihost;

namespace {

tagGPSNAVIINFO Fix(double lat, const char* time) {
    tagGPSNAVIINFO info;
    memset(&info, 0, sizeof info);
    info.dwSize = 80;
    info.dLatitude = lat;
    info.dLongitude = 139.76;
    info.dAltitude = 40.5;
    memcpy(info.szTime, time, 6);
    memcpy(info.szDate, "261208", 6);
    return info;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class TrackFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::string(testing::TempDir()) + "vpihost-files-" + info->name();
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string m_dir;
};

// Written in rounds as a run writes it: after each, the file is the whole
// document, though most of it was copied from the file before.
TEST_F(TrackFilesTest, TheGpxFileGrowsFromItsSettledTextAndIsWholeAfterEveryWrite) {
    const std::string gpx = m_dir + "/t.gpx";
    TrackFiles files(gpx, "", true);
    Track track;
    char time[16];
    for (int round = 0; round < 12; ++round) {
        for (int i = 0; i < 250 + round; ++i) {
            const int s = round * 300 + i;
            snprintf(time, sizeof time, "%02d%02d%02d", 10 + s / 3600, s / 60 % 60, s % 60);
            track.Add(Fix(35 + s * 1e-5, time));
            if (i == 100 && round % 4 == 3) track.Break();
        }
        files.Write(track, round == 11);
        ASSERT_FALSE(files.Failed());
        ASSERT_EQ(GpxDocument(track, true), ReadAll(gpx)) << "round " << round;
        EXPECT_GE(files.LastWriteCost(), 0);
    }
    ExpectGpsbabelReadsFile(gpx, track.size());
}

#ifndef _WIN32

struct stat Stat(const std::string& path) {
    struct stat st {};
    lstat(path.c_str(), &st);
    return st;
}

bool Same(const struct stat& a, const struct stat& b) {
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev && (a.st_mode & S_IFMT) == (b.st_mode & S_IFMT);
}

// What a path leads to; each row names its outcome.
enum Kind {
    kNewFile,
    kLinkToFile,
    kLinkToNothing,
    kPipeRead,
    kPipeUnread,
    kDevice,
    kLinkToDevice,
    kSocket,
    kDash,
    kFolder,
    kDisk,
    kStandardOutput
};
struct Row {
    Kind kind;
    const char* name;
    bool accepted;       // at the start
    const char* said;    // on stderr, at the start or at the end
    bool documentThere;  // where the GPX ends up: the file, or what the pipe's reader got
    bool failsAtTheEnd;
};

TEST_F(TrackFilesTest, OnlyARegularFileIsReplacedWhateverThePathLeadsTo) {
    const Row rows[] = {
        {kNewFile, "a file not there yet", true, "", true, false},
        {kLinkToFile, "a link to a file", true, "", true, false},
        {kLinkToNothing, "a link to no file yet", true, "", true, false},
        {kPipeRead, "a named pipe that is read", true, "is a named pipe: it gets the whole document once, at the end",
         true, false},
        {kPipeUnread, "a named pipe nobody reads", true, ": nobody reads the named pipe", false, true},
        {kDevice, "a character device", true, "is a character device: it gets the whole document once", false, false},
        {kLinkToDevice, "a link to a character device", true, "is a character device", false, false},
        {kSocket, "a socket", false, ": it is a socket, not a file", false, false},
        {kDash, "-", false, ": standard output carries the records; give a file name", false, false},
        {kFolder, "a folder", false, ": it is a folder", false, false},
        {kDisk, "a block device", false, ": it is a block device (a disk), not a file", false, false},
        {kStandardOutput, "vpihost's standard output", false, "it is vpihost's standard output", false, false},
    };
    const bool root = geteuid() == 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = m_dir + "/t.gpx", target = m_dir + "/target";
        std::filesystem::remove_all(path);
        std::filesystem::remove_all(target);
        std::string gpx = path;
        int sock = -1;
        switch (row.kind) {
            case kNewFile:
                break;
            case kLinkToFile:
                std::ofstream(target) << "old";
                [[fallthrough]];
            case kLinkToNothing:
                ASSERT_EQ(0, symlink("target", path.c_str()));
                break;
            case kPipeRead:
            case kPipeUnread:
                ASSERT_EQ(0, mkfifo(path.c_str(), 0600));
                break;
            case kDevice:
            case kLinkToDevice:
            case kDisk:
                // A node of its own for the null device (or a loop disk): a
                // fault here must not harm the machine's.
                if (!root || mknod((row.kind == kLinkToDevice ? target : path).c_str(),
                                   row.kind == kDisk ? S_IFBLK | 0600 : S_IFCHR | 0666,
                                   row.kind == kDisk ? makedev(7, 0) : makedev(1, 3)) != 0) {
                    std::cout << "skipped " << row.name << ": no device nodes can be made here\n";
                    continue;
                }
                if (row.kind == kLinkToDevice) {
                    ASSERT_EQ(0, symlink("target", path.c_str()));
                }
                break;
            case kSocket: {
                sock = socket(AF_UNIX, SOCK_STREAM, 0);
                sockaddr_un address{};
                address.sun_family = AF_UNIX;
                strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
                ASSERT_EQ(0, bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address));
                break;
            }
            case kDash:
                gpx = "-";
                break;
            case kFolder:
                std::filesystem::create_directory(path);
                break;
            case kStandardOutput:
                gpx = "/proc/self/fd/1";
                break;
        }
        const struct stat before = Stat(path), targetBefore = Stat(target);
        testing::internal::CaptureStderr();
        const bool accepted = OutputsWritable(gpx, "", "");
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(row.accepted, accepted) << said;
        if (!accepted) {
            EXPECT_NE(std::string::npos, said.find(row.said)) << said;
        } else {
            // Written as a run writes: as it goes, then at the end; the
            // pipe's reader is there from before the first write, and the
            // small document fits the pipe's buffer.
            const int reader = row.kind == kPipeRead ? open(path.c_str(), O_RDONLY | O_NONBLOCK) : -1;
            Track track;
            track.Add(Fix(35.1, "120000"));
            track.Add(Fix(35.2, "120001"));
            TrackFiles files(gpx, "", true);
            testing::internal::CaptureStderr();
            auto written = std::async(std::launch::async, [&] {
                files.Write(track);
                files.Write(track, true);
            });
            ASSERT_EQ(std::future_status::ready, written.wait_for(std::chrono::seconds(20)))
                << "the write waits for a reader";
            said += testing::internal::GetCapturedStderr();
            EXPECT_NE(std::string::npos, said.find(row.said)) << said;
            EXPECT_EQ(row.failsAtTheEnd, files.Failed()) << said;
            std::string got;
            if (row.kind == kPipeRead) {
                char buffer[65536];
                for (ssize_t n; (n = read(reader, buffer, sizeof buffer)) > 0;) got.append(buffer, n);
                close(reader);
            }
            if (row.kind == kNewFile || row.kind == kLinkToNothing || row.kind == kLinkToFile)
                got = ReadAll(row.kind == kNewFile ? path : target);
            EXPECT_EQ(row.documentThere ? GpxDocument(track, true) : std::string(), got);
            if (row.documentThere) ExpectGpsbabelReads(got, 2);
        }
        // Nothing but a file was replaced, and no link.
        const bool replaced = row.kind == kNewFile || row.kind == kLinkToNothing;
        EXPECT_TRUE(replaced || Same(before, Stat(path))) << "the path's node was replaced";
        EXPECT_TRUE(row.kind != kLinkToDevice || Same(targetBefore, Stat(target))) << "the device was replaced";
        EXPECT_TRUE(row.kind != kLinkToFile || S_ISREG(Stat(target).st_mode));
        if (sock >= 0) close(sock);
    }
}

// The log is written as the bytes are read: a named pipe needs its reader
// at the start, and one without is said at once, not waited for.
TEST_F(TrackFilesTest, ALogIntoANamedPipeNobodyReadsIsRefusedAtOnce) {
    const std::string fifo = m_dir + "/log";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    testing::internal::CaptureStderr();
    auto check = std::async(std::launch::async, [&] { return OutputsWritable("", "", fifo); });
    if (check.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        const int unblock = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        check.wait();
        close(unblock);
        testing::internal::GetCapturedStderr();
        FAIL() << "the check waits for a reader";
    }
    EXPECT_FALSE(check.get());
    EXPECT_EQ("vpihost: cannot write the log " + fifo + ": nobody reads the named pipe; start its reader first\n",
              testing::internal::GetCapturedStderr());

    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(OutputsWritable("", "", fifo));
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    close(reader);
}

#endif

}  // namespace
