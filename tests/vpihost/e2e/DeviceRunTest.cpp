// vpihost end to end with a --device: a receiver the test plays on a
// pseudo-terminal; unplugged, awaited, refused, in use; the hint that needs
// the bytes the module read.
#include "ExternalReaders.h"
#include "RunFixture.h"

namespace {

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
    const std::string link = m_dir + "/gps", gpx = m_dir + "/t.gpx";
    ChildProcess run(m_program,
                     With({"--device", link, "--receiver", "nmea", "--json", "--wait-for-device", "--gpx", gpx}));
    ASSERT_TRUE(run.WaitForStderr("vpihost: there is no device " + link +
                                  " (is the receiver plugged in? dmesg names its device); waiting for it (Ctrl-C "
                                  "stops)\n"))
        << run.Err();
    auto first = std::make_unique<TestLine>();
    ASSERT_EQ(0, symlink(first->path.c_str(), link.c_str()));
    ASSERT_TRUE(run.WaitForStderr("reading COM2 from " + link)) << run.Err();
    struct stat old;
    ASSERT_EQ(0, stat(first->path.c_str(), &old));
    first->Send(ReadWholeFile(kFixture));
    ASSERT_TRUE(WaitFor([&] { return Lines(run.Out()) >= 12; })) << run.Out() << run.Err();
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
    ASSERT_TRUE(WaitFor([&] { return Lines(run.Out()) >= 24; })) << run.Out() << run.Err();
    run.Signal(SIGINT);
    EXPECT_EQ(0, run.Wait(10000)) << run.Err();
    Records records = ParseJsonLines(run.Out());
    EXPECT_EQ("261207", Text(records.back(), "szDate")) << "records of the second link";
    EXPECT_NE(std::string::npos, run.Err().find("vpihost: the receiver at " + link + " is there\n")) << run.Err();
    // Each link's fixes a segment of their own.
    const std::string track = ReadWholeFile(gpx);
    EXPECT_EQ(2u, Count(track, "<trkseg>")) << track;
    EXPECT_EQ(4u, Count(track.substr(track.find("</trkseg>")), "<trkpt ")) << track;
    ExpectGpsbabelReads(track, 8);
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

}  // namespace
