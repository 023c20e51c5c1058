// The command line: every option reaches its field, bad values and
// conflicting sources are refused with a reason, and the documents name
// every option of the table.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "cli/Options.h"

using vpihost::OptionRow;
using vpihost::Options;
using vpihost::ParseOptions;
using vpihost::Receiver;

namespace {

Options Parse(std::vector<std::string> args) {
    Options o;
    std::string error;
    EXPECT_TRUE(ParseOptions(args, &o, &error)) << error;
    return o;
}

std::string Refusal(std::vector<std::string> args) {
    Options o;
    std::string error;
    EXPECT_FALSE(ParseOptions(args, &o, &error));
    return error;
}

TEST(Options, EveryOptionReachesItsField) {
    Options o = Parse({"--module",     "m.vpl",        "--host-version", "7419",    "--port",      "3",
                       "--receiver",   "sony",         "--interval",     "10",      "--no-center", "--3d",
                       "--no-record",  "--any-talker", "--baud",         "19200",   "--profile",   "p.ini",
                       "--local-time", "--replay",     "log.nmea",       "--fast",  "--json",      "--gpx",
                       "t.gpx",        "--svg",        "t.svg",          "--quiet", "--duration",  "2.5"});
    EXPECT_EQ("m.vpl", o.modulePath);
    EXPECT_EQ(7419, o.hostVersion);
    EXPECT_EQ(3, o.port);
    EXPECT_EQ(Receiver::kSony, o.receiver);
    EXPECT_EQ(10, o.interval);
    EXPECT_EQ(0, o.center);
    EXPECT_EQ(1, o.view3d);
    EXPECT_EQ(0, o.record);
    EXPECT_EQ(1, o.anyTalker);
    EXPECT_EQ(0, Parse({"--no-any-talker"}).anyTalker);
    EXPECT_EQ(-1, Parse({}).anyTalker);
    EXPECT_EQ(19200, o.baud);
    EXPECT_EQ("p.ini", o.profilePath);
    EXPECT_TRUE(o.localTime);
    EXPECT_EQ("log.nmea", o.replay);
    EXPECT_TRUE(o.fast);
    EXPECT_TRUE(o.json);
    EXPECT_EQ("t.gpx", o.gpx);
    EXPECT_EQ("t.svg", o.svg);
    EXPECT_TRUE(o.quiet);
    EXPECT_DOUBLE_EQ(2.5, o.duration);
    o = Parse({"--center", "--no-3d", "--record", "--about", "-h"});
    EXPECT_EQ(1, o.center);
    EXPECT_EQ(0, o.view3d);
    EXPECT_EQ(1, o.record);
    EXPECT_TRUE(o.about && o.help);
    EXPECT_TRUE(Parse({"--help"}).help);
    EXPECT_TRUE(Parse({"--all-records"}).allRecords);
}

TEST(Options, ValuesMayFollowAnEqualsSignAndTheVersionHasTwoNames) {
    Options o = Parse({"--port=3", "--module=a=b.vpl", "--json=tpv", "--device=/dev/ttyUSB0", "--wait-for-device",
                       "--log=drive.nmea", "-V"});
    EXPECT_EQ(3, o.port);
    EXPECT_EQ("a=b.vpl", o.modulePath);
    EXPECT_TRUE(o.json && o.tpv);
    EXPECT_TRUE(o.waitForDevice);
    EXPECT_EQ("drive.nmea", o.logPath);
    EXPECT_TRUE(o.version);
    EXPECT_TRUE(Parse({"--version"}).version);
    EXPECT_FALSE(Parse({"--json"}).tpv);
    EXPECT_EQ("--fast takes no value", Refusal({"--replay", "x", "--fast=1"}));
    EXPECT_EQ("--json takes no value or =tpv, not 'gpsd'", Refusal({"--json=gpsd"}));
    EXPECT_EQ("--wait-for-device only applies to --device", Refusal({"--wait-for-device"}));
    EXPECT_EQ(4800, Parse({"--baud=4800"}).baud);
}

TEST(Options, SimulatedReceiverChoosesTheReceiverTypeUnlessGiven) {
    EXPECT_EQ(Receiver::kSony, Parse({"--simulate", "sony"}).receiver);
    Options o = Parse({"--simulate", "sony", "--receiver", "nmea", "--sim-speed", "90"});
    EXPECT_EQ(Receiver::kNmea, o.receiver);
    EXPECT_EQ(Receiver::kSony, o.simulate);
    EXPECT_DOUBLE_EQ(90, o.simSpeedKmh);
}

TEST(Options, BadValuesAreRefusedWithTheOptionNamed) {
    EXPECT_NE(std::string::npos, Refusal({"--port", "5"}).find("--port"));
    EXPECT_NE(std::string::npos, Refusal({"--port", "0"}).find("--port"));
    EXPECT_NE(std::string::npos, Refusal({"--port", "2x"}).find("--port"));
    EXPECT_NE(std::string::npos, Refusal({"--receiver", "garmin"}).find("--receiver"));
    EXPECT_NE(std::string::npos, Refusal({"--interval", "0"}).find("--interval"));
    EXPECT_NE(std::string::npos, Refusal({"--baud", "abc"}).find("--baud"));
    EXPECT_NE(std::string::npos, Refusal({"--host-version", ""}).find("--host-version"));
    EXPECT_NE(std::string::npos, Refusal({"--duration", "-1"}).find("--duration"));
    EXPECT_NE(std::string::npos, Refusal({"--duration", "nan"}).find("--duration"));
    EXPECT_NE(std::string::npos, Refusal({"--module"}).find("needs a value"));
    // Plain decimal numbers only: strtod and strtol would take these; and
    // an empty path would read as none given.
    const std::vector<std::vector<std::string>> refused = {
        {"--duration", "0x10"}, {"--duration", "1e3"}, {"--duration", " 5"},   {"--duration", "+5"},
        {"--duration", "inf"},  {"--duration", "."},   {"--duration", "-1"},   {"--port", " 3"},
        {"--port", "+3"},       {"--baud", "0x2580"},  {"--sim-speed", "1e2"}, {"--serve", "0x50"},
        {"--device", ""},       {"--gpx", ""},         {"--replay", ""},       {"--log", ""}};
    for (const auto& args : refused)
        EXPECT_EQ(args[0] + " needs ", Refusal(args).substr(0, args[0].size() + 7)) << args[0] << " " << args[1];
    EXPECT_EQ("--device needs a path, not ''", Refusal({"--device", ""}));
    EXPECT_DOUBLE_EQ(0.5, Parse({"--duration", "0.5"}).duration);
    EXPECT_DOUBLE_EQ(0.5, Parse({"--duration", ".5"}).duration);
    EXPECT_EQ(3, Parse({"--port", "03"}).port);
    EXPECT_NE(std::string::npos, Refusal({"--frobnicate"}).find("unknown option"));
}

TEST(Options, ConflictingSourcesAndMisplacedSwitchesAreRefused) {
    EXPECT_NE(std::string::npos, Refusal({"--simulate", "nmea", "--replay", "x"}).find("one of"));
    EXPECT_NE(std::string::npos, Refusal({"--device", "/dev/null", "--simulate", "nmea"}).find("one of"));
    EXPECT_NE(std::string::npos, Refusal({"--fast"}).find("--replay"));
    EXPECT_NE(std::string::npos, Refusal({"--sim-speed", "50"}).find("--simulate"));
    EXPECT_EQ("--all-records only applies to the text lines (--json writes every record)",
              Refusal({"--json=tpv", "--all-records"}));
}

TEST(Options, HelpLinesShowSpellingsAndValuesInOneColumn) {
    const std::string help = vpihost::UsageText();
    for (const char* line :
         {"\n  --port 1..4          COM1 to COM4\n",
          "\n  --json=tpv           one TPV and one SKY object per second, as the Linux GPS tools write\n",
          "\n  --version, -V        vpihost's version\n", "\nData source:\n"})
        EXPECT_NE(std::string::npos, help.find(line)) << line;
}

#ifdef VPIHOST_SOURCE_DIR
// Each spelling as a code span of its own: "`--port 1..4`", "`--center`".
TEST(Options, ReadmeAndDocsNameEveryOptionOfTheTable) {
    for (const char* doc : {"README.md", "docs/vpihost.md"}) {
        std::ifstream in(std::string(VPIHOST_SOURCE_DIR) + "/" + doc, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(text.empty()) << doc;
        for (const OptionRow& row : vpihost::OptionTable()) {
            if (!row.name) continue;
            std::vector<std::string> spellings = {row.name + std::string(row.value[0] == '=' ? row.value : "")};
            if (row.also) spellings.push_back(row.also);
            for (const std::string& spelling : spellings) {
                const std::string span = "`" + spelling;
                bool named = false;
                for (size_t at = text.find(span); at != std::string::npos && !named; at = text.find(span, at + 1))
                    named = at + span.size() < text.size() &&
                            (text[at + span.size()] == '`' || text[at + span.size()] == ' ');
                EXPECT_TRUE(named) << doc << " does not name " << spelling;
            }
        }
    }
}

// The Linux package's INSTALL.txt shows what a current receiver and the GPS
// tools need.
TEST(Options, TheLinuxInstallTextNamesAnyTalkerAndServe) {
    std::ifstream in(std::string(VPIHOST_SOURCE_DIR) + "/scripts/package", std::ios::binary);
    const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t begin = script.find("\"$LIN/INSTALL.txt\" <<'TEXT'");
    ASSERT_NE(std::string::npos, begin);
    const std::string text = script.substr(begin, script.find("\nTEXT\n", begin) - begin);
    for (const char* option : {"--any-talker", "--serve"}) EXPECT_NE(std::string::npos, text.find(option)) << option;
}
#endif

}  // namespace

TEST(Options, ServeTakesAnAddressAndPortOrNeither) {
    struct Case {
        std::vector<std::string> args;
        std::string host;
        int port;
    } cases[] = {
        {{"--serve"}, "127.0.0.1", 2947},         {{"--serve", "--quiet"}, "127.0.0.1", 2947},
        {{"--serve", "2948"}, "127.0.0.1", 2948}, {{"--serve=0.0.0.0:0"}, "0.0.0.0", 0},
        {{"--serve", "[::1]:2947"}, "::1", 2947}, {{"--serve", "localhost:3000"}, "localhost", 3000},
    };
    for (const Case& c : cases) {
        Options o = Parse(c.args);
        EXPECT_TRUE(o.serve);
        EXPECT_EQ(c.host, o.serveHost);
        EXPECT_EQ(c.port, o.servePort);
    }
    EXPECT_FALSE(Parse({}).serve);
    EXPECT_EQ("--serve needs [ADDR:]PORT, ADDR a numeric address, localhost or [IPv6], not ':65536'",
              Refusal({"--serve", ":65536"}));
}
