#include "cli/Options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace vpihost {

namespace {

// Plain decimal digits, with a fraction where allowed: strtol and strtod
// would also take blanks, signs, "0x10" and "1e3".
bool DecimalText(const std::string& text, bool fraction) {
    size_t digits = 0, points = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.' && fraction && points == 0) {
            ++points;
        } else {
            return false;
        }
    }
    return digits > 0;
}

bool ParseInt(const std::string& text, long low, long high, int* out) {
    if (!DecimalText(text, false)) return false;
    errno = 0;
    char* end = nullptr;
    long value = strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high) return false;
    *out = static_cast<int>(value);
    return true;
}

bool ParsePositive(const std::string& text, double high, double* out) {
    if (!DecimalText(text, true)) return false;
    errno = 0;
    char* end = nullptr;
    double value = strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value) || value <= 0 || value > high) return false;
    *out = value;
    return true;
}

bool ParseReceiver(const std::string& text, Receiver* out) {
    if (text == "nmea") {
        *out = Receiver::kNmea;
        return true;
    }
    if (text == "sony") {
        *out = Receiver::kSony;
        return true;
    }
    return false;
}

using Text = const std::string&;

constexpr OptionRow Heading(const char* text) { return {nullptr, "", nullptr, text, nullptr, nullptr}; }

// What the rows that take any value, and the switches, do.
bool Take(std::string* field, const std::string& value) {
    *field = value;
    return true;
}
// An empty path would read as the option not given.
bool TakePath(std::string* field, const std::string& value) { return !value.empty() && Take(field, value); }
constexpr const char* kPath = "a path";
bool On(bool* field) {
    *field = true;
    return true;
}
bool Set(int* field, bool on) {
    *field = on ? 1 : 0;
    return true;
}

}  // namespace

const std::vector<OptionRow>& OptionTable() {
    static const std::vector<OptionRow> rows = {
        Heading("Module and host:"),
        {"--module", "PATH", nullptr, "plug-in module (default: NMEATavelo.vpl beside vpihost)", kPath,
         [](Options& o, Text, Text v) { return TakePath(&o.modulePath, v); }},
        {"--host-version", "N", nullptr, "host version reported to the plug-in (default " NT_HOST_VERSION_TEXT ")",
         "a number", [](Options& o, Text, Text v) { return ParseInt(v, 0, 2147483647L, &o.hostVersion); }},
        {"--profile", "FILE", nullptr, "INI profile (default $XDG_CONFIG_HOME/vpihost/profile.ini)", kPath,
         [](Options& o, Text, Text v) { return TakePath(&o.profilePath, v); }},
        {"--local-time", "", nullptr, "the view shows local time: the plug-in reports local times", nullptr,
         [](Options& o, Text, Text) { return On(&o.localTime); }},
        {"--about", "", nullptr, "show the plug-in's about box, then close it again", nullptr,
         [](Options& o, Text, Text) { return On(&o.about); }},
        Heading("Start dialog (without these, Start is pressed with the stored settings):"),
        {"--port", "1..4", nullptr, "COM1 to COM4", "1, 2, 3 or 4 (COM1 to COM4)",
         [](Options& o, Text, Text v) { return ParseInt(v, 1, 4, &o.port); }},
        {"--receiver", "nmea|sony", nullptr, "receiver type", "nmea or sony",
         [](Options& o, Text, Text v) { return ParseReceiver(v, &o.receiver); }},
        {"--interval", "N", nullptr, "display update interval in seconds", "a number of seconds from 1 to 86400",
         [](Options& o, Text, Text v) { return ParseInt(v, 1, 86400, &o.interval); }},
        {"--center", "", "--no-center", "centre the map on the position, or not", nullptr,
         [](Options& o, Text spelling, Text) { return Set(&o.center, spelling == "--center"); }},
        {"--3d", "", "--no-3d", "navigate in the 3D view, or not", nullptr,
         [](Options& o, Text spelling, Text) { return Set(&o.view3d, spelling == "--3d"); }},
        {"--record", "", "--no-record", "record the track, or not", nullptr,
         [](Options& o, Text spelling, Text) { return Set(&o.record, spelling == "--record"); }},
        {"--baud", "N", nullptr, "line speed, set through the line-settings button", "a line speed from 50 to 4000000",
         [](Options& o, Text, Text v) { return ParseInt(v, 50, 4000000, &o.baud); }},
        {"--any-talker", "", nullptr, "take $GNRMC, $GNGGA ... too (multi-system receivers); stored", nullptr,
         [](Options& o, Text, Text) { return Set(&o.anyTalker, true); }},
        {"--no-any-talker", "", nullptr, "only $GP sentences again (the module's default); stored", nullptr,
         [](Options& o, Text, Text) { return Set(&o.anyTalker, false); }},
        Heading("Data source:"),
        {"--device", "PATH", nullptr, "serial device behind the COM port (Linux, Wine)", kPath,
         [](Options& o, Text, Text v) { return TakePath(&o.device, v); }},
        {"--wait-for-device", "", nullptr, "when the device goes away, wait for it and start again", nullptr,
         [](Options& o, Text, Text) { return On(&o.waitForDevice); }},
        {"--simulate", "nmea|sony", nullptr, "a simulated receiver on a pseudo-terminal (Linux)", "nmea or sony",
         [](Options& o, Text, Text v) { return ParseReceiver(v, &o.simulate); }},
        {"--sim-speed", "KMH", nullptr, "the simulated car's speed (default 40)",
         "a speed in km/h above 0 and up to 999",
         [](Options& o, Text, Text v) { return ParsePositive(v, 999, &o.simSpeedKmh); }},
        {"--replay", "FILE", nullptr, "a recorded log written into a pseudo-terminal (Linux)", kPath,
         [](Options& o, Text, Text v) { return TakePath(&o.replay, v); }},
        {"--fast", "", nullptr, "replay as fast as the plug-in reads, not at the baud rate", nullptr,
         [](Options& o, Text, Text) { return On(&o.fast); }},
        {"--duration", "SECONDS", nullptr, "stop after this long (default: Ctrl-C, or the replay's end)",
         "a number of seconds above 0", [](Options& o, Text, Text v) { return ParsePositive(v, 1e7, &o.duration); }},
        Heading("Output:"),
        {"--json", "", nullptr, "one JSON object per record (the record's own members)", nullptr,
         [](Options& o, Text, Text) { return On(&o.json); }},
        {"--json", "=tpv", nullptr, "one TPV and one SKY object per second, as the Linux GPS tools write", nullptr,
         [](Options& o, Text, Text) { return On(&o.json) && On(&o.tpv); }},
        {"--all-records", "", nullptr, "a text line for every record (default: one per second of receiver time)",
         nullptr, [](Options& o, Text, Text) { return On(&o.allRecords); }},
        {"--gpx", "FILE", nullptr, "write the track as GPX", kPath,
         [](Options& o, Text, Text v) { return TakePath(&o.gpx, v); }},
        {"--svg", "FILE", nullptr, "write a picture of the track", kPath,
         [](Options& o, Text, Text v) { return TakePath(&o.svg, v); }},
        {"--log", "FILE", nullptr, "record the raw bytes the plug-in read, for --replay", kPath,
         [](Options& o, Text, Text v) { return TakePath(&o.logPath, v); }},
        {"--serve", "[[ADDR:]PORT]", nullptr,
         "serve the Linux GPS tools (cgps, gpspipe ...) on TCP (default 127.0.0.1:2947; Linux)",
         "[ADDR:]PORT, ADDR a numeric address, localhost or [IPv6]",
         [](Options& o, Text, Text v) {
             o.serve = true;
             return v.empty() || ParseServeAddress(v, &o.serveHost, &o.servePort);
         }},
        {"--quiet", "", nullptr, "no progress or status lines on stderr", nullptr,
         [](Options& o, Text, Text) { return On(&o.quiet); }},
        {"--version", "", "-V", "vpihost's version", nullptr, [](Options& o, Text, Text) { return On(&o.version); }},
        {"--help", "", "-h", "this text", nullptr, [](Options& o, Text, Text) { return On(&o.help); }},
    };
    return rows;
}

namespace {

bool TakesValue(const OptionRow& row) { return row.value[0] != '\0' && row.value[0] != '='; }
bool ValueOptional(const OptionRow& row) { return row.value[0] == '['; }
bool IsSpelling(const OptionRow& row, const std::string& arg) {
    return row.name && (arg == row.name || (row.also && arg == row.also));
}

// The row an argument stands for, given whether a value followed an '='.
const OptionRow* FindRow(const std::string& arg, bool inlineGiven, const std::string& inlineValue, std::string* error) {
    const OptionRow* found = nullptr;
    std::string fixed;  // the only values after '=' that rows of this name take: "=tpv"
    for (const OptionRow& row : OptionTable()) {
        if (!IsSpelling(row, arg)) continue;
        if (row.value[0] != '=') {
            if (!found) found = &row;
            continue;
        }
        if (inlineGiven && inlineValue == row.value + 1) return &row;
        fixed += (fixed.empty() ? "" : " or ") + std::string(row.value);
    }
    if (!found && fixed.empty()) {
        *error = "unknown option '" + arg + "' (see --help)";
    } else if (inlineGiven && !(found && TakesValue(*found))) {
        *error = arg + " takes no value" + (fixed.empty() ? "" : " or " + fixed + ", not '" + inlineValue + "'");
    } else if (!found) {
        *error = arg + " needs " + fixed;
    } else {
        return found;
    }
    return nullptr;
}

// Options that only apply together; and a simulated receiver decides the
// receiver type unless told otherwise.
bool CheckCombination(Options* o, std::string* error) {
    int sources = !o->device.empty() + (o->simulate != Receiver::kUnset) + !o->replay.empty();
    if (sources > 1) {
        *error = "choose one of --device, --simulate and --replay";
    } else if (o->fast && o->replay.empty()) {
        *error = "--fast only applies to --replay";
    } else if (o->waitForDevice && o->device.empty()) {
        *error = "--wait-for-device only applies to --device";
    } else if (o->simSpeedKmh > 0 && o->simulate == Receiver::kUnset) {
        *error = "--sim-speed only applies to --simulate";
    } else if (o->allRecords && o->json) {
        *error = "--all-records only applies to the text lines (--json writes every record)";
    } else {
        if (o->simulate != Receiver::kUnset && o->receiver == Receiver::kUnset) o->receiver = o->simulate;
        return true;
    }
    return false;
}

}  // namespace

bool ParseServeAddress(const std::string& text, std::string* host, int* port) {
    std::string address = "127.0.0.1", digits = text;
    const size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
        address = text.substr(0, colon);
        digits = text.substr(colon + 1);
        if (address.size() > 2 && address.front() == '[' && address.back() == ']')
            address = address.substr(1, address.size() - 2);
        if (address.empty()) return false;
    }
    int value = 0;
    if (!ParseInt(digits, 0, 65535, &value)) return false;
    *host = address;
    *port = value;
    return true;
}

bool ParseOptions(const std::vector<std::string>& args, Options* o, std::string* error) {
    *o = Options();
    for (size_t i = 0; i < args.size(); ++i) {
        // "--name=value" is "--name value".
        std::string arg = args[i];
        const size_t eq = arg.find('=');
        const bool inlineGiven = arg.compare(0, 2, "--") == 0 && eq != std::string::npos;
        std::string value = inlineGiven ? arg.substr(eq + 1) : std::string();
        if (inlineGiven) arg.resize(eq);
        const OptionRow* row = FindRow(arg, inlineGiven, value, error);
        if (!row) return false;
        const bool nextIsOption = i + 1 >= args.size() || args[i + 1].compare(0, 1, "-") == 0;
        if (TakesValue(*row) && !inlineGiven && !(ValueOptional(*row) && nextIsOption)) {
            if (i + 1 >= args.size()) {
                *error = arg + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (!row->apply(*o, arg, value)) {
            *error = arg + " needs " + row->needs + ", not '" + value + "'";
            return false;
        }
    }
    return CheckCombination(o, error);
}

std::string UsageText() {
    // Descriptions start in one column; a longer option line pushes its own on.
    constexpr size_t kColumn = 21;
    std::string text =
        "usage: vpihost [options]\n"
        "Loads the GPS driver plug-in, starts GPS navigation through its start dialog and prints every fix.\n"
        "\n";
    for (const OptionRow& row : OptionTable()) {
        if (!row.name) {
            text += std::string(row.help) + "\n";
            continue;
        }
        std::string line = std::string(row.name) + (TakesValue(row) ? " " : "") + row.value;
        if (row.also) line += std::string(", ") + row.also;
        line.resize(std::max(kColumn, line.size() + 1), ' ');
        text += "  " + line + row.help + "\n";
    }
    return text + "Options that take a value also take it as --option=value.\n";
}

}  // namespace vpihost
