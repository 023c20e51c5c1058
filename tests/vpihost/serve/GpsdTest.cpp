// The GPS tools' reports from the module's records, one per second of
// receiver time, and the command reader that no bytes can hurt.
#include <gtest/gtest.h>

#include <cstring>

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

TEST(ParseRequestLine, CommandsAndTheirErrors) {
    struct Case {
        const char* line;
        const char* kinds;  // one letter per command: W P D V E
        int enable, json;   // of the last ?WATCH
        const char* error;  // of the last command
    } cases[] = {
        {"?WATCH={\"enable\":true,\"json\":true}", "W", 1, 1, ""},
        {"?WATCH={ \"enable\" : false } ;", "W", 0, -1, ""},
        {"?WATCH={\"device\":\"/dev/x\",\"raw\":1,\"nmea\":false,\"scaled\":true}", "W", -1, -1, ""},
        {"?WATCH;?POLL;?DEVICES;?VERSION;", "WPDV", -1, -1, ""},
        {"?POLL", "P", -1, -1, ""},
        {"?DEVICE;", "E", -1, -1, "Unrecognized request 'DEVICE'"},
        {"?poll;", "E", -1, -1, "Unrecognized request ''"},
        {"POLL;", "E", -1, -1, "a request must begin with '?'"},
        {"?POLL;x", "PE", -1, -1, "a request must begin with '?'"},
        {"?POLL={}", "E", -1, -1, "?POLL takes no argument"},
        {"?WATCH={\"enable\":1}", "E", -1, -1, "wrong type for 'enable' in WATCH"},
        {"?WATCH={\"enable\":tru}", "E", -1, -1, "values must be strings, numbers, true or false"},
        {"?WATCH={\"speed\":true}", "E", -1, -1, "unknown attribute 'speed' in WATCH"},
        {"?WATCH={\"enable\":true", "E", -1, -1, "the object does not end with '}'"},
        {"?WATCH={\"nested\":{}}", "E", -1, -1, "values must be strings, numbers, true or false"},
        {"?WATCH=[]", "E", -1, -1, "an argument must be a JSON object"},
        {"?WATCH={enable:true}", "E", -1, -1, "a member name must be a string"},
        {"?WATCH={\"device\":\"a\\q\"}", "E", -1, -1, "values must be strings, numbers, true or false"},
        {"?WATCH={\"enable\" true}", "E", -1, -1, "':' must follow a member name"},
    };
    for (const Case& c : cases) {
        std::vector<GpsdCommand> commands = ParseRequestLine(c.line);
        std::string kinds;
        for (const GpsdCommand& command : commands) kinds += "WPDVE"[static_cast<int>(command.kind)];
        EXPECT_EQ(c.kinds, kinds) << c.line;
        if (commands.empty()) continue;
        EXPECT_EQ(c.enable, commands.back().enable) << c.line;
        EXPECT_EQ(c.json, commands.back().json) << c.line;
        EXPECT_EQ(c.error, commands.back().error) << c.line;
    }
}

TEST(CommandReader, LinesOfAnyBytesAnyCutBoundedAndDroppedForNoise) {
    const std::string eighty = "?WATCH={\"device\":\"" + std::string(60, 'x') + "\"}";
    ASSERT_EQ(80u, eighty.size());
    const std::string input = "?POLL;\r\n" + eighty + "\r\n" + eighty + "y\n\x01?POLL;\n\xff\n\n?VER";
    for (size_t cut = 1; cut <= input.size(); ++cut) {
        CommandReader reader;
        std::vector<GpsdCommand> out;
        for (size_t at = 0; at < input.size(); at += cut)
            ASSERT_TRUE(reader.Feed(input.data() + at, std::min(cut, input.size() - at), &out));
        std::string kinds, errors;
        for (const GpsdCommand& c : out) {
            kinds += "WPDVE"[static_cast<int>(c.kind)];
            errors += c.error.empty() ? "" : c.error + "|";
        }
        EXPECT_EQ("PWEEE", kinds) << "cut " << cut;
        EXPECT_EQ(
            "a request may be no more than 80 characters long|a request must be US-ASCII text|"
            "a request must be US-ASCII text|",
            errors);
    }
    CommandReader endless;
    std::vector<GpsdCommand> out;
    const std::string kilobyte(CommandReader::kMaxOverlong, '?');
    EXPECT_TRUE(endless.Feed(kilobyte.data(), kilobyte.size(), &out));
    EXPECT_FALSE(endless.Feed("?", 1, &out)) << "a line that never ends";
    CommandReader noisy;
    const std::string bad = "?X;\n";
    for (int i = 1; i < CommandReader::kMaxBadLines; ++i) EXPECT_TRUE(noisy.Feed(bad.data(), bad.size(), &out));
    EXPECT_FALSE(noisy.Feed(bad.data(), bad.size(), &out));
    EXPECT_EQ(CommandReader::kMaxBadLines, static_cast<int>(out.size()));
}
