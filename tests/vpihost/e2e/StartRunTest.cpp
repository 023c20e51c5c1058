// vpihost end to end: the start: the dialog played from the options and the
// profile, the profile written, the errors before and at the start, the
// about box, the version.
#include "RunFixture.h"

namespace {

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

}  // namespace
