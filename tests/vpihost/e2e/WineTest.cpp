// The Windows vpihost.exe with the real module, run as a user runs it: load,
// marker check, Init, Load and the about box, the start dialog played from
// the options, a live link over the null-modem cable (PortPair.h), a refused
// Start; then Close and Release. vpihost plays the dialog and answers the
// message boxes itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "PortPair.h"

namespace {

std::string Beside(const char* name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of("/\\") + 1) + name;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Result {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out, err, profile, gpx;
};

// Runs vpihost.exe with a profile of its own (starting as `profile`) and a
// GPX file, and waits for it.
Result RunVpihost(const std::string& arguments, const std::string& profile = "") {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    static int counter = 0;
    std::string base =
        std::string(temp) + "vpihost-wine-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
    std::ofstream(base + ".ini", std::ios::binary) << profile;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out =
        CreateFileA((base + ".out").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE err =
        CreateFileA((base + ".err").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    std::string command =
        "\"" + Beside("vpihost.exe") + "\" --profile \"" + base + ".ini\" --gpx \"" + base + ".gpx\" " + arguments;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    Result result;
    BOOL created =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(out);
    CloseHandle(err);
    if (!created) return result;
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 0xDEAD);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    result.out = ReadWhole(base + ".out");
    result.err = ReadWhole(base + ".err");
    result.profile = ReadWhole(base + ".ini");
    result.gpx = ReadWhole(base + ".gpx");
    for (const char* suffix : {".out", ".err", ".ini", ".gpx"}) DeleteFileA((base + suffix).c_str());
    return result;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(VpihostExe, LoadsTheModuleRunsInitLoadAndAboutAndClosesAgain) {
    Result r = RunVpihost("--about");
    EXPECT_EQ(0u, r.exitCode) << r.err;
    EXPECT_TRUE(Has(r.err, "message box: NMEA Driver for Tavelo ")) << r.err;
    EXPECT_TRUE(Has(r.err, "Ver 1.0.5")) << r.err;
    EXPECT_TRUE(Has(r.err, "needs host version 7420, this host is 7420")) << r.err;
    EXPECT_TRUE(Has(r.err,
                    "plug-in \"NMEA Driver for Tavelo \xE3\x83\x97\xE3\x83\xA9\xE3\x82\xB0\xE3\x82\xA4\xE3\x83\xB3\""
                    " version 1.0.5"))
        << r.err;
    EXPECT_FALSE(Has(r.err, "record size")) << "status lines in the user's words";
    EXPECT_TRUE(Has(r.err, "it adds \"NMEA for Tavelo\" to the GPS menu")) << r.err;
    EXPECT_TRUE(Has(r.err, "it listens to the host's commands (GPS stop)")) << r.err;
    EXPECT_TRUE(Has(r.err, "About: answered 1")) << r.err;
    EXPECT_EQ("", r.out);
}

TEST(VpihostExe, VersionGateRefusesBeforeLoading) {
    Result r = RunVpihost("--host-version 7419");
    EXPECT_EQ(4u, r.exitCode) << r.err;
    EXPECT_FALSE(Has(r.err, "message box")) << r.err;
    EXPECT_TRUE(Has(r.err, "needs host version 7420 or later; this host is 7419")) << r.err;
}

TEST(VpihostExe, MissingModuleAndLinuxOnlySourcesAreOneLineErrors) {
    Result missing = RunVpihost("--module C:\\no\\such.vpl --quiet");
    EXPECT_EQ(3u, missing.exitCode);
    EXPECT_TRUE(Has(missing.err, "module not found: C:\\no\\such.vpl")) << missing.err;
    Result simulate = RunVpihost("--simulate nmea --quiet");
    EXPECT_EQ(2u, simulate.exitCode);
    EXPECT_TRUE(Has(simulate.err, "available on Linux only")) << simulate.err;
}

// The options are clicked into the real dialog: the stored profile says
// otherwise, and the module saves what the dialog showed at Start.
TEST(VpihostExe, OptionsAreClickedIntoTheRealDialogAndTheLinkRuns) {
    PortPair cable("COM2");
    ASSERT_TRUE(cable.ok());
    volatile bool running = true;
    // A bounded stream: it fits the cable's buffers when nobody reads.
    std::thread receiver([&] {
        for (int i = 0; i < 40 && running; ++i) {
            cable.Write("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n$");
            Sleep(100);
        }
    });
    Result r =
        RunVpihost("--port 2 --receiver nmea --no-center --interval 10 --duration 3 --json",
                   "[plugin 1]\nGPSNavi CommPort=3\nGPSNavi Protcol=1\nGPSNavi Centering=1\nGPSNavi Sampling=5\n");
    running = false;
    receiver.join();
    EXPECT_EQ(0u, r.exitCode) << r.err;
    for (const char* saved : {"GPSNavi CommPort=1", "GPSNavi Protcol=0", "GPSNavi Centering=0", "GPSNavi Sampling=10"})
        EXPECT_TRUE(Has(r.profile, saved)) << saved << "\n" << r.profile;
    EXPECT_TRUE(Has(r.err, "navigation started: centre the map off, 3D view on, record the track on")) << r.err;
    EXPECT_TRUE(Has(r.out, "\"dLatitude\":48.1173,\"dLongitude\":11.516666666666667,\"dAltitude\":545.4")) << r.out;
    EXPECT_TRUE(Has(r.gpx, "<trkpt lat=\"48.1173\" lon=\"11.516666666666667\">")) << r.gpx;
}

// A receiver of several satellite systems on COM3 (--device points it at
// the cable) sends only $GN sentences: without --any-talker no position, and
// the hint names them and the option, as vpihost sees what the module read;
// with it the track fills.
TEST(VpihostExe, SilenceHintNamesWhatTheModuleTakesOnlyWithAnyTalker) {
    PortPair cable("COM2");
    ASSERT_TRUE(cable.ok());
    const char* prefix = getenv("WINEPREFIX");
    ASSERT_NE(prefix, nullptr);
    volatile bool running = true;
    std::thread receiver([&] {
        // Two a second, bounded so that it fits the cable's buffers when nobody reads.
        for (int i = 0; i < 40 && running; ++i) {
            cable.Write(
                "$GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*74\r\n"
                "$GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*59\r\n");
            Sleep(500);
        }
    });
    const std::string port = "--port 3 --receiver nmea --device " + std::string(prefix) + "/dosdevices/com2 ";
    // Past the hint's 5 s, with room for a slow start of the loop.
    Result plain = RunVpihost(port + "--duration 10");
    Result any = RunVpihost(port + "--duration 3 --any-talker");
    running = false;
    receiver.join();
    // The prefix as it was: COM3 unset.
    std::string com3 = "Z:" + std::string(prefix) + "/dosdevices/com3";
    for (char& c : com3)
        if (c == '/') c = '\\';
    DeleteFileA(com3.c_str());
    EXPECT_EQ(0u, plain.exitCode) << plain.err;
    EXPECT_TRUE(Has(plain.err,
                    "5 s of records without a position: the receiver sends $GNRMC, $GNGGA; the module takes them "
                    "with --any-talker"))
        << plain.err;
    EXPECT_FALSE(Has(plain.gpx, "<trkpt")) << plain.gpx;
    EXPECT_EQ(0u, any.exitCode) << any.err;
    EXPECT_TRUE(Has(any.gpx, "<trkpt lat=\"48.1173\" lon=\"11.516666666666667\">")) << any.gpx;
}

TEST(VpihostExe, RefusedStartIsAnsweredAndCancelled) {
    // Held here if it opens at all: for vpihost the port is busy or missing.
    HANDLE held = CreateFileA("\\\\.\\COM4", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Result r = RunVpihost("--port 4 --duration 1");
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_EQ(5u, r.exitCode) << r.err;
    EXPECT_TRUE(Has(r.err, "message box: Cannot Open COM port")) << r.err;
    EXPECT_TRUE(Has(r.err,
                    "navigation did not start: the start dialog refused Start (Cannot Open COM port): COM4 is what "
                    "dosdevices/com4 in the Wine prefix points at; --device PATH points it at a Unix tty"))
        << r.err;
    EXPECT_FALSE(Has(r.profile, "CommPort")) << "nothing is saved";
}

}  // namespace
