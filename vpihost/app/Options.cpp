#include "Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace vpihost {

namespace {

bool ParseInt(const std::string& text, long low, long high, int* out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long value = strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high) return false;
    *out = static_cast<int>(value);
    return true;
}

bool ParseSeconds(const std::string& text, double* out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    double value = strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value) || value <= 0 || value > 1e7) return false;
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

}  // namespace

const char* UsageText() {
    return "usage: vpihost [options]\n"
           "Loads the GPS driver plug-in, starts GPS navigation through its start dialog and prints every fix.\n"
           "\n"
           "Module and host:\n"
           "  --module PATH        plug-in module (default: NMEATavelo.vpl beside vpihost)\n"
           "  --host-version N     host version reported to the plug-in (default 7420)\n"
           "  --profile FILE       INI profile (default $XDG_CONFIG_HOME/vpihost/profile.ini)\n"
           "  --local-time         the view shows local time: the plug-in reports local times\n"
           "  --about              show the plug-in's about box, then close it again\n"
           "Start dialog (without these, Start is pressed with the stored settings):\n"
           "  --port 1..4          COM1 to COM4\n"
           "  --receiver nmea|sony receiver type\n"
           "  --interval N         display update interval in seconds\n"
           "  --center, --no-center, --3d, --no-3d, --record, --no-record\n"
           "  --baud N             line speed, set through the line-settings button\n"
           "  --any-talker         take $GNRMC, $GNGGA ... too (multi-system receivers); stored\n"
           "  --no-any-talker      only $GP sentences again (the module's default); stored\n"
           "Data source:\n"
           "  --device PATH        serial device behind the COM port (Linux, Wine)\n"
           "  --wait-for-device    when the device goes away, wait for it and start again\n"
           "  --simulate nmea|sony a simulated receiver on a pseudo-terminal (Linux)\n"
           "  --sim-speed KMH      the simulated car's speed (default 40)\n"
           "  --replay FILE        a recorded log written into a pseudo-terminal (Linux)\n"
           "  --fast               replay as fast as the plug-in reads, not at the baud rate\n"
           "  --duration SECONDS   stop after this long (default: Ctrl-C, or the replay's end)\n"
           "Output:\n"
           "  --json               one JSON object per record (the record's own members)\n"
           "  --json=tpv           one TPV object per record, as the Linux GPS tools write\n"
           "  --gpx FILE           write the track as GPX\n"
           "  --svg FILE           write a picture of the track\n"
           "  --log FILE           record the raw bytes the plug-in read, for --replay\n"
           "  --quiet              no progress or status lines on stderr\n"
           "  --version, -V        vpihost's version\n"
           "  --help               this text\n"
           "Options that take a value also take it as --option=value.\n";
}

bool ParseOptions(const std::vector<std::string>& args, Options* o, std::string* error) {
    *o = Options();
    for (size_t i = 0; i < args.size(); ++i) {
        // "--name=value" is "--name value".
        std::string arg = args[i];
        bool inlineGiven = false;
        std::string inlineValue;
        size_t eq = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            inlineGiven = true;
            inlineValue = arg.substr(eq + 1);
            arg.resize(eq);
        }
        bool valueTaken = false;
        auto value = [&](std::string* out) {
            valueTaken = true;
            if (inlineGiven) {
                *out = inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                *error = arg + " needs a value";
                return false;
            }
            *out = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--json" && inlineGiven) {
            if (inlineValue != "tpv") {
                *error = "--json takes no value or =tpv, not '" + inlineValue + "'";
                return false;
            }
            o->json = o->tpv = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            o->help = true;
        } else if (arg == "--module") {
            if (!value(&o->modulePath)) return false;
        } else if (arg == "--host-version") {
            if (!value(&v)) return false;
            if (!ParseInt(v, 0, 2147483647L, &o->hostVersion)) {
                *error = "--host-version needs a number, not '" + v + "'";
                return false;
            }
        } else if (arg == "--port") {
            if (!value(&v)) return false;
            if (!ParseInt(v, 1, 4, &o->port)) {
                *error = "--port needs 1, 2, 3 or 4 (COM1 to COM4), not '" + v + "'";
                return false;
            }
        } else if (arg == "--receiver" || arg == "--simulate") {
            if (!value(&v)) return false;
            Receiver* out = arg == "--receiver" ? &o->receiver : &o->simulate;
            if (!ParseReceiver(v, out)) {
                *error = arg + " needs nmea or sony, not '" + v + "'";
                return false;
            }
        } else if (arg == "--interval") {
            if (!value(&v)) return false;
            if (!ParseInt(v, 1, 86400, &o->interval)) {
                *error = "--interval needs a number of seconds from 1 to 86400, not '" + v + "'";
                return false;
            }
        } else if (arg == "--center" || arg == "--no-center") {
            o->center = arg == "--center";
        } else if (arg == "--3d" || arg == "--no-3d") {
            o->view3d = arg == "--3d";
        } else if (arg == "--record" || arg == "--no-record") {
            o->record = arg == "--record";
        } else if (arg == "--any-talker" || arg == "--no-any-talker") {
            o->anyTalker = arg == "--any-talker";
        } else if (arg == "--baud") {
            if (!value(&v)) return false;
            if (!ParseInt(v, 50, 4000000, &o->baud)) {
                *error = "--baud needs a line speed from 50 to 4000000, not '" + v + "'";
                return false;
            }
        } else if (arg == "--profile") {
            if (!value(&o->profilePath)) return false;
        } else if (arg == "--local-time") {
            o->localTime = true;
        } else if (arg == "--device") {
            if (!value(&o->device)) return false;
        } else if (arg == "--sim-speed") {
            if (!value(&v)) return false;
            if (!ParseSeconds(v, &o->simSpeedKmh) || o->simSpeedKmh > 999) {
                *error = "--sim-speed needs a speed in km/h above 0 and up to 999, not '" + v + "'";
                return false;
            }
        } else if (arg == "--replay") {
            if (!value(&o->replay)) return false;
        } else if (arg == "--fast") {
            o->fast = true;
        } else if (arg == "--json") {
            o->json = true;
        } else if (arg == "--gpx") {
            if (!value(&o->gpx)) return false;
        } else if (arg == "--svg") {
            if (!value(&o->svg)) return false;
        } else if (arg == "--quiet") {
            o->quiet = true;
        } else if (arg == "--duration") {
            if (!value(&v)) return false;
            if (!ParseSeconds(v, &o->duration)) {
                *error = "--duration needs a number of seconds above 0, not '" + v + "'";
                return false;
            }
        } else if (arg == "--about") {
            o->about = true;
        } else if (arg == "--version" || arg == "-V") {
            o->version = true;
        } else if (arg == "--wait-for-device") {
            o->waitForDevice = true;
        } else if (arg == "--log") {
            if (!value(&o->logPath)) return false;
        } else {
            *error = "unknown option '" + arg + "' (see --help)";
            return false;
        }
        if (inlineGiven && !valueTaken) {
            *error = arg + " takes no value";
            return false;
        }
    }

    int sources = !o->device.empty() + (o->simulate != Receiver::kUnset) + !o->replay.empty();
    if (sources > 1) {
        *error = "choose one of --device, --simulate and --replay";
        return false;
    }
    if (o->fast && o->replay.empty()) {
        *error = "--fast only applies to --replay";
        return false;
    }
    if (o->waitForDevice && o->device.empty()) {
        *error = "--wait-for-device only applies to --device";
        return false;
    }
    if (o->simSpeedKmh > 0 && o->simulate == Receiver::kUnset) {
        *error = "--sim-speed only applies to --simulate";
        return false;
    }
    // The simulated receiver decides the receiver type unless told otherwise.
    if (o->simulate != Receiver::kUnset && o->receiver == Receiver::kUnset) o->receiver = o->simulate;
    return true;
}

}  // namespace vpihost
