// vpihost's command line: the options and the one table that parses them
// and writes --help.
#pragma once

#include <string>
#include <vector>

#include "ProductVersion.h"
#include "cli/Receiver.h"

namespace vpihost {

struct Options {
    std::string modulePath;  // empty: NMEATavelo.vpl beside the program
    int hostVersion = NT_HOST_VERSION;
    int port = 0;  // 1..4, 0: as stored
    Receiver receiver = Receiver::kUnset;
    int interval = 0;  // 0: as stored
    int center = -1;   // -1: as stored, 0 off, 1 on
    int view3d = -1;
    int record = -1;
    int anyTalker = -1;       // -1: as stored; stored as "GPSNavi AnyTalker"
    int baud = 0;             // 0: the receiver type's default
    std::string profilePath;  // empty: the default place
    bool localTime = false;
    std::string device;
    Receiver simulate = Receiver::kUnset;
    double simSpeedKmh = 0;  // 0: the simulator's default
    std::string replay;
    bool fast = false;
    bool json = false;
    bool tpv = false;         // --json=tpv: the TPV objects of the Linux GPS tools
    bool allRecords = false;  // a text line for every record, not one per second
    std::string gpx;
    std::string svg;
    bool quiet = false;
    double duration = 0;  // seconds, 0: until stopped
    bool about = false;
    bool help = false;
    bool version = false;
    bool waitForDevice = false;           // wait for an unplugged --device to come back
    std::string logPath;                  // --log: the raw bytes the plug-in read
    bool serve = false;                   // --serve: the GPS tools' JSON protocol on TCP
    std::string serveHost = "127.0.0.1";  // loopback unless asked otherwise
    int servePort = 2947;                 // the GPS tools' own port
};

// One option: its spellings, its line of --help and what it sets.
struct OptionRow {
    const char* name;  // "--port"; nullptr for a heading of --help (the text in help)
    // "" a switch; "1..4" a value, from the next argument or after '=';
    // "=tpv" only that value, after '='; "[X]" a value that may be left
    // out (the next argument is taken unless it begins with '-').
    const char* value;
    const char* also;   // another spelling on the same line: "-V", "--no-center"; or nullptr
    const char* help;   // the rest of the --help line
    const char* needs;  // what a refused value should have been; nullptr where apply takes any
    // Sets the option as spelt (name or also) with its value; false when
    // the value is not one the option takes.
    bool (*apply)(Options& options, const std::string& spelling, const std::string& value);
};

// Every option, in the order of --help.
const std::vector<OptionRow>& OptionTable();

// "[ADDR:]PORT" for --serve: ADDR a numeric address, "localhost" or
// "[IPv6]"; PORT 0 lets the system choose.
bool ParseServeAddress(const std::string& text, std::string* host, int* port);

// Parses argv[1..]; on a bad command line returns false with a one-line
// reason in *error.
bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error);

// The --help text.
std::string UsageText();

}  // namespace vpihost
