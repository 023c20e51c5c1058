// The GPS tools' reports from the module's records, one per second of
// receiver time reported at the end of the receiver's cycle, and the
// command reader that no bytes can hurt.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "serve/EpochReports.h"
#include "serve/GpsdCommands.h"
#include "serve/GpsdReports.h"

using namespace vpihost;

namespace {

tagGPSNAVIINFO Record(const char* time, double lat, double lon, double alt, double course, double speed,
                      const char* date = "940323", int satellites = 8) {
    tagGPSNAVIINFO info;
    memset(&info, 0, sizeof info);
    info.dwSize = 80;
    info.dLatitude = lat;
    info.dLongitude = lon;
    info.dAltitude = alt;
    info.dCourse = course;
    info.dSpeed = speed;
    strncpy(info.szTime, time, sizeof info.szTime - 1);
    strncpy(info.szDate, date, 9);
    info.nSatellites = satellites;
    return info;
}

const char* const kHead = "{\"class\":\"TPV\",\"device\":\"/dev/ttyUSB0\"";

}  // namespace

TEST(TpvReport, ModeFromThePositionAndAltitudeUnknownMembersLeftOut) {
    ReportFacts seen{"/dev/ttyUSB0", true, true, true, true};
    ReportFacts fresh{"/dev/ttyUSB0", true, false, false, false};
    ReportFacts local{"/dev/ttyUSB0", false, true, true, true};
    struct Case {
        tagGPSNAVIINFO info;
        ReportFacts facts;
        std::string tail;
    } cases[] = {
        {Record("225446", -35.5, -139.75, 12.5, 271.5, 41.552), seen,
         ",\"time\":\"1994-03-23T22:54:46.000Z\",\"mode\":3,\"lat\":-35.5,\"lon\":-139.75,\"altMSL\":12.5,"
         "\"alt\":12.5,\"track\":271.5,\"speed\":11.542222222222222}"},
        // No GGA yet (altitude 0), no course or speed ever: a 2D fix and no track:0.
        {Record("225446", 35.5, 139.75, 0, 0, 0), fresh,
         ",\"time\":\"1994-03-23T22:54:46.000Z\",\"mode\":2,\"lat\":35.5,\"lon\":139.75}"},
        // Standing still after moving: speed 0, and the course 0 is none.
        {Record("225446", 35.5, 139.75, 7, 0, 0), seen,
         ",\"time\":\"1994-03-23T22:54:46.000Z\",\"mode\":3,\"lat\":35.5,\"lon\":139.75,\"altMSL\":7,\"alt\":7,"
         "\"speed\":0}"},
        // Due north while moving.
        {Record("225446", 35.5, 139.75, 7, 0, 36), seen,
         ",\"time\":\"1994-03-23T22:54:46.000Z\",\"mode\":3,\"lat\":35.5,\"lon\":139.75,\"altMSL\":7,\"alt\":7,"
         "\"track\":0,\"speed\":10}"},
        // Local times and no date: no time.
        {Record("225446", 35.5, 139.75, 7, 90, 36), local,
         ",\"mode\":3,\"lat\":35.5,\"lon\":139.75,\"altMSL\":7,\"alt\":7,\"track\":90,\"speed\":10}"},
        {Record("225446", 35.5, 139.75, 7, 90, 36, ""), seen,
         ",\"mode\":3,\"lat\":35.5,\"lon\":139.75,\"altMSL\":7,\"alt\":7,\"track\":90,\"speed\":10}"},
        // An invalid position comes as 0/0: mode 1, nothing but the time.
        {Record("225446", 0, 0, 0, 90, 36), seen, ",\"time\":\"1994-03-23T22:54:46.000Z\",\"mode\":1}"},
        {Record("", 0, 0, 0, 0, 0, ""), fresh, ",\"mode\":1}"},
    };
    for (const Case& c : cases) EXPECT_EQ(kHead + c.tail, TpvReport(c.info, c.facts));
}

TEST(SkyReport, TheSatellitesUsedOnceACountCame) {
    ReportFacts seen{"/dev/ttyUSB0", true, true, true, true};
    EXPECT_EQ("{\"class\":\"SKY\",\"device\":\"/dev/ttyUSB0\",\"time\":\"1994-03-23T22:54:46.000Z\",\"uSat\":0}",
              SkyReport(Record("225446", 0, 0, 0, 0, 0, "940323", 0), seen));
    EXPECT_EQ("", SkyReport(Record("225446", 1, 1, 0, 0, 0, "940323", 99), seen)) << "99: fewer than 3";
    EXPECT_EQ("", SkyReport(Record("225446", 1, 1, 0, 0, 0, "940323", 0), ReportFacts{}));
}

TEST(EpochReports, OneTpvPerSecondFromItsLastRecordWhenTheNextBeginsOrAfterAPause) {
    EpochReports epochs(ReportFacts{"/dev/ttyUSB0"});
    const std::string gga = kHead + std::string(",\"time\":\"1994-03-23T12:35:19.000Z\",\"mode\":3");
    // Second 12:35:19: GGA, then an RMC of the same second that adds the speed.
    EXPECT_TRUE(epochs.Add(Record("123519", 48.1, 11.5, 545.4, 0, 0, "", 8), 0.0).empty());
    EXPECT_TRUE(epochs.Add(Record("123519", 48.1, 11.5, 545.4, 84.4, 36), 0.1).empty());
    std::vector<std::string> out = epochs.Add(Record("123520", 48.2, 11.5, 545.4, 84.4, 36), 1.0);
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ(gga + ",\"lat\":48.1,\"lon\":11.5,\"altMSL\":545.4,\"alt\":545.4,\"track\":84.4,\"speed\":10}", out[0]);
    EXPECT_EQ("{\"class\":\"SKY\",\"device\":\"/dev/ttyUSB0\",\"time\":\"1994-03-23T12:35:19.000Z\",\"uSat\":8}",
              out[1]);
    // The pause that ends a second: 1.5 times the widest gap inside the last
    // one, and 20 ms.
    EXPECT_DOUBLE_EQ(1.0 + 1.5 * 0.1 + 0.02, epochs.Deadline());
    EXPECT_TRUE(epochs.Expire(1.16).empty());
    EXPECT_EQ(2u, epochs.Expire(1.17).size());
    // A late record of that second: reported again only as it changes.
    EXPECT_TRUE(epochs.Add(Record("123520", 48.2, 11.5, 545.4, 84.4, 36), 1.3).empty());
    EXPECT_TRUE(epochs.Finish().empty());
    EXPECT_TRUE(epochs.Add(Record("123520", 48.3, 11.5, 545.4, 84.4, 36), 1.4).empty());
    out = epochs.Finish();
    ASSERT_EQ(1u, out.size());
    EXPECT_NE(std::string::npos, out[0].find("\"lat\":48.3")) << out[0];
    EXPECT_EQ(out[0], epochs.LastTpv());
}

namespace {

// A receiver's second as the module's record shows it after each sentence:
// GGA, RMC, GLL and VTG carry fix data, the others change nothing.
void Sentence(const std::string& kind, int second, tagGPSNAVIINFO* info) {
    const tagGPSNAVIINFO fix = Record(("12000" + std::to_string(second)).c_str(), 35 + second / 1000.0, 139, 0, 0, 0);
    auto position = [&] {
        memcpy(info->szTime, fix.szTime, sizeof info->szTime);
        info->dLatitude = fix.dLatitude;
        info->dLongitude = fix.dLongitude;
    };
    if (kind == "GGA") {
        position();
        info->dAltitude = 10 + second;
        info->nSatellites = 8;
    } else if (kind == "RMC") {
        position();
        info->dSpeed = 36;
        info->dCourse = 90;
        memcpy(info->szDate, fix.szDate, sizeof info->szDate);
    } else if (kind == "GLL") {
        position();
    } else if (kind == "VTG") {
        info->dSpeed = 37;
        info->dCourse = 91;
    }
}

// Feeds seconds of sentences ("GGA GSA RMC|GGA RMC|..."), 100 ms apart from
// the start of each second, as the server's loop does: the pause looked at
// before each record and late in the second. Gives each TPV as
// "second@what sent it": the sentence whose record completed it, "pause",
// or "end". known: the sentences are named to the reports.
std::string Reported(const std::string& seconds, bool known = true) {
    EpochReports epochs(ReportFacts{"/dev/ttyUSB0"});
    tagGPSNAVIINFO info;
    memset(&info, 0, sizeof info);
    std::string got;
    auto note = [&](const std::vector<std::string>& reports, const std::string& what) {
        for (const std::string& r : reports) {
            const size_t at = r.find("\"lat\":35.00");
            if (r.find("\"TPV\"") == std::string::npos) continue;
            got += (got.empty() ? "" : " ") + (at == std::string::npos ? "0" : r.substr(at + 11, 1)) + "@" + what;
        }
    };
    std::istringstream in(seconds);
    std::string second;
    for (int s = 0; std::getline(in, second, '|'); ++s) {
        std::istringstream kinds(second);
        std::string kind;
        for (int k = 0; kinds >> kind; ++k) {
            const double now = s + 0.1 * k;
            note(epochs.Expire(now), "pause");
            Sentence(kind, s, &info);
            note(epochs.Add(info, now, known ? "$GP" + kind : ""), kind);
        }
        note(epochs.Expire(s + 0.95), "pause");
    }
    note(epochs.Finish(), "end");
    return got;
}

}  // namespace

TEST(EpochReports, EachSecondAtTheSentenceThatEndsTheReceiversCycleOnceLearnt) {
    struct Case {
        const char* receiver;
        std::string seconds;
        bool known;
        const char* reported;
    } cases[] = {
        // The first second, before anything is learnt, ends after its pause.
        {"fix first, then satellites, time last", "GGA GSA RMC ZDA|GGA GSA GSV GSV RMC ZDA|GGA GSA RMC ZDA", true,
         "0@pause 1@RMC 2@RMC"},
        {"GGA then RMC", "GGA RMC|GGA RMC|GGA RMC", true, "0@pause 1@RMC 2@RMC"},
        {"RMC then GGA", "RMC GGA|RMC GGA|RMC GGA", true, "0@pause 1@GGA 2@GGA"},
        {"VTG after RMC", "GGA RMC VTG|GGA RMC VTG|GGA RMC VTG", true, "0@pause 1@VTG 2@VTG"},
        {"a GLL now and then that adds nothing", "GGA RMC|GGA RMC GLL|GGA RMC|GGA RMC GLL", true,
         "0@pause 1@RMC 2@RMC 3@RMC"},
        // The order changes: one second reported early, then again, then
        // the new last sentence.
        {"GGA RMC becomes RMC GGA", "GGA RMC|GGA RMC|RMC GGA|RMC GGA|RMC GGA", true,
         "0@pause 1@RMC 2@RMC 2@pause 3@GGA 4@GGA"},
        // The last sentence stops: the pause ends that second, the next
        // ones end at the new last sentence.
        {"RMC stops", "GGA RMC|GGA RMC|GGA GSA|GGA GSA|GGA GSA", true, "0@pause 1@RMC 2@pause 3@GGA 4@GGA"},
        {"sentences not known", "GGA GSA RMC|GGA GSA RMC|GGA GSA RMC", false, "0@pause 1@pause 2@pause"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.reported, Reported(c.seconds, c.known)) << c.receiver;
}

namespace {

// The commands as one letter each (W P D V E) and the last WATCH's members.
std::string Kinds(const std::vector<GpsdCommand>& commands) {
    std::string kinds;
    for (const GpsdCommand& c : commands) kinds += "WPDVE"[static_cast<int>(c.kind)];
    return kinds;
}

std::string Members(const GpsdCommand& c) {
    return "enable " + std::to_string(c.enable) + " json " + std::to_string(c.json) + " nmea " +
           std::to_string(c.nmea) + " raw " + std::to_string(c.raw) + (c.device.empty() ? "" : " " + c.device);
}

const char* const kNone = "enable -1 json -1 nmea -1 raw -1";

}  // namespace

TEST(ParseRequestLine, CommandsTheirMembersAndTheirErrors) {
    struct Case {
        const char* line;
        const char* kinds;
        const char* members;  // of the last command
        const char* error;    // of the last command
    } cases[] = {
        {"?WATCH={\"enable\":true,\"json\":true}", "W", "enable 1 json 1 nmea -1 raw -1", ""},
        {"?WATCH={ \"enable\" : false } ;", "W", "enable 0 json -1 nmea -1 raw -1", ""},
        // An argument without "enable" enables; none leaves the watch as it is.
        {"?WATCH={\"json\":true}", "W", "enable 1 json 1 nmea -1 raw -1", ""},
        {"?WATCH={}", "W", "enable 1 json -1 nmea -1 raw -1", ""},
        {"?WATCH={\"raw\":2,\"pps\":true}", "W", "enable 1 json -1 nmea -1 raw 2", ""},
        {"?WATCH={\"enable\":true,\"nmea\":true}", "W", "enable 1 json -1 nmea 1 raw -1", ""},
        {"?WATCH={\"json\":false,\"nmea\":true,\"raw\":0}", "W", "enable 1 json 0 nmea 1 raw 0", ""},
        {"?WATCH={\"device\":\"/dev/x\",\"raw\":1,\"nmea\":false,\"scaled\":true,\"remote\":\"r\"}", "W",
         "enable 1 json -1 nmea 0 raw 1 /dev/x", ""},
        {"?WATCH;?POLL;?DEVICES;?VERSION;", "WPDV", kNone, ""},
        {"?POLL", "P", kNone, ""},
        {" \t?POLL;\r", "P", kNone, ""},
        {" \t\r", "", kNone, ""},
        {"?DEVICE;", "E", kNone, "Unrecognized request 'DEVICE'"},
        {"?poll;", "E", kNone, "Unrecognized request 'poll'"},
        {"?WATCHx", "E", kNone, "Unrecognized request 'WATCHx'"},
        {"?WATCH={}x", "E", kNone, "a command must end with ';'"},
        {"POLL;", "E", kNone, "a request must begin with '?'"},
        {"?POLL;x", "PE", kNone, "a request must begin with '?'"},
        {"?POLL={}", "E", kNone, "?POLL takes no argument"},
        {"?WATCH={\"enable\":1}", "E", kNone, "wrong type for 'enable' in WATCH"},
        {"?WATCH={\"nmea\":\"true\"}", "E", kNone, "wrong type for 'nmea' in WATCH"},
        {"?WATCH={\"raw\":3}", "E", kNone, "'raw' in WATCH must be 0, 1 or 2"},
        {"?WATCH={\"raw\":true}", "E", kNone, "'raw' in WATCH must be 0, 1 or 2"},
        {"?WATCH={\"raw\":1.5}", "E", kNone, "'raw' in WATCH must be 0, 1 or 2"},
        {"?WATCH={\"device\":1}", "E", kNone, "wrong type for 'device' in WATCH"},
        {"?WATCH={\"enable\":tru}", "E", kNone, "values must be strings, numbers, true or false"},
        {"?WATCH={\"speed\":true}", "E", kNone, "unknown attribute 'speed' in WATCH"},
        {"?WATCH={\"enable\":true", "E", kNone, "the object does not end with '}'"},
        {"?WATCH={\"nested\":{}}", "E", kNone, "values must be strings, numbers, true or false"},
        {"?WATCH=[]", "E", kNone, "an argument must be a JSON object"},
        {"?WATCH={enable:true}", "E", kNone, "a member name must be a string"},
        {"?WATCH={\"device\":\"a\\q\"}", "E", kNone, "values must be strings, numbers, true or false"},
        {"?WATCH={\"enable\" true}", "E", kNone, "':' must follow a member name"},
    };
    for (const Case& c : cases) {
        const std::vector<GpsdCommand> commands = ParseRequestLine(c.line);
        EXPECT_EQ(c.kinds, Kinds(commands)) << c.line;
        const GpsdCommand last = commands.empty() ? GpsdCommand() : commands.back();
        EXPECT_EQ(c.members, Members(last)) << c.line;
        EXPECT_EQ(c.error, last.error) << c.line;
    }
}

TEST(WatchPolicy, MembersNotNamedKeepTheirValueAndRawIsTheSentencesToo) {
    struct Step {
        const char* watch;
        const char* policy;  // enable json nmea raw, then what goes out: R reports, S sentences
    } steps[] = {
        {"?WATCH;", "0000"},
        {"?WATCH={\"enable\":true}", "1000"},
        {"?WATCH={\"json\":true}", "1100 R"},
        {"?WATCH={\"nmea\":true}", "1110 RS"},
        {"?WATCH={\"enable\":false}", "0110"},
        {"?WATCH={\"json\":false,\"nmea\":false,\"raw\":2}", "1002 S"},
        {"?WATCH={\"raw\":1,\"json\":true}", "1101 RS"},
    };
    WatchPolicy policy;
    for (const Step& step : steps) {
        for (const GpsdCommand& c : ParseRequestLine(step.watch)) policy.Apply(c);
        std::string got = std::to_string(policy.enable) + std::to_string(policy.json) + std::to_string(policy.nmea) +
                          std::to_string(policy.raw);
        if (policy.WantsReports() || policy.WantsSentences())
            got += std::string(" ") + (policy.WantsReports() ? "R" : "") + (policy.WantsSentences() ? "S" : "");
        EXPECT_EQ(step.policy, got) << step.watch;
    }
    EXPECT_EQ(
        "{\"class\":\"WATCH\",\"enable\":true,\"json\":true,\"nmea\":false,\"raw\":1,\"scaled\":false,"
        "\"timing\":false,\"split24\":false,\"pps\":false}",
        WatchReport(policy));
}

TEST(CommandReader, LinesOfAnyBytesAnyCutBoundedAndDroppedForNoise) {
    const std::string eighty = "?WATCH={\"device\":\"" + std::string(60, 'x') + "\"}";
    ASSERT_EQ(80u, eighty.size());
    // One line end each: CR LF, LF, and a CR too many.
    const std::string input = "?POLL;\r\n" + eighty + "\r\n" + eighty + "y\n\x01?POLL;\n\xff\n\n?WATCH;\r\r\n?VER";
    for (size_t cut = 1; cut <= input.size(); ++cut) {
        CommandReader reader;
        std::vector<GpsdCommand> out;
        for (size_t at = 0; at < input.size(); at += cut)
            ASSERT_TRUE(reader.Feed(input.data() + at, std::min(cut, input.size() - at), &out));
        std::string errors;
        for (const GpsdCommand& c : out) errors += c.error.empty() ? "" : c.error + "|";
        EXPECT_EQ("PWEEEW", Kinds(out)) << "cut " << cut;
        EXPECT_EQ(
            "a request may be no more than 80 characters long|a request must be US-ASCII text|"
            "a request must be US-ASCII text|",
            errors);
    }
    // When a client is dropped: a line without end, a run of bad lines that
    // only a good command breaks.
    const std::string kilobyte(CommandReader::kMaxOverlong, '?');
    const std::string bad = "?X;\n", sevenBad = [&] {
        std::string seven;
        for (int i = 1; i < CommandReader::kMaxBadLines; ++i) seven += bad + (i % 2 ? "\n" : "\r\n \r\n");
        return seven;
    }();
    struct Case {
        std::string stream;
        size_t commands;  // answered before the end or the drop
        bool dropped;
    } cases[] = {
        {kilobyte, 0, false},
        {kilobyte + "?", 0, true},
        {kilobyte + "\n", 1, false},
        {sevenBad, 7, false},
        {sevenBad + bad, 8, true},
        {sevenBad + "\n\n" + bad, 8, true},
        {sevenBad + "?POLL;\n" + sevenBad + bad, 16, true},
        {sevenBad + "?POLL;\n" + sevenBad, 15, false},
    };
    for (const Case& c : cases) {
        CommandReader reader;
        std::vector<GpsdCommand> out;
        EXPECT_EQ(!c.dropped, reader.Feed(c.stream.data(), c.stream.size(), &out)) << c.stream;
        EXPECT_EQ(c.commands, out.size()) << c.stream;
    }
}
