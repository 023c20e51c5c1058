// vpihost: a reference host for GPS driver plug-ins. Loads the module,
// checks its version-requirement marker, runs Init and Load, chooses the
// plug-in's menu item, plays its start dialog, prints every fix it sends,
// and stops the link the way the host's stop command does.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "cli/Console.h"
#include "source/DataSource.h"
#include "cli/ExitCodes.h"
#include "serve/GpsdReports.h"
#ifndef _WIN32
#include "serve/GpsdServer.h"
#endif
#include "module/IniProfile.h"
#include "module/ModuleMarker.h"
#include "run/EventLoop.h"
#include "run/Session.h"
#include "cli/Options.h"
#include "output/TrackFiles.h"
#include "module/PluginProfile.h"
#include "cli/StopSignal.h"

namespace vpihost {

namespace {

std::string BesideProgram(const char* name) {
    char path[4096] = {};
    GetModuleFileNameA(nullptr, path, sizeof path - 1);
    std::string dir(path);
    size_t slash = dir.find_last_of("/\\");
    return (slash == std::string::npos ? std::string() : dir.substr(0, slash + 1)) + name;
}

// A module path that is not a file, in words; empty for a file.
std::string ModulePathProblem(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::file_status status = fs::status(path, ec);
    if (ec && ec.value() == ELOOP) return "the module path " + path + " is a loop of symbolic links";
    if (ec || status.type() == fs::file_type::not_found) return "module not found: " + path;
    switch (status.type()) {
        case fs::file_type::regular:
            return std::string();
        case fs::file_type::directory:
            return "the module path " + path + " is a folder, not a module";
        case fs::file_type::fifo:
            return "the module path " + path + " is a named pipe (FIFO), not a module";
        default:
            return "the module path " + path + " is not a regular file";
    }
}

// The module to load, with a directory part so that the loader does not
// search; kExitOk once it exists and its marker lets this host load it.
int FindModule(const Options& o, std::string* modulePath) {
    *modulePath = o.modulePath.empty() ? BesideProgram("NMEATavelo.vpl") : o.modulePath;
    const std::string problem = ModulePathProblem(*modulePath);
    if (!problem.empty()) {
        ErrorLine(problem);
        return kExitModule;
    }
    std::error_code ec;
    *modulePath = std::filesystem::absolute(*modulePath, ec).string();
    int required = 0;
    std::string error;
    if (!ReadVersionMarker(*modulePath, &required, &error)) {
        ErrorLine(*modulePath + " " + error);
        return kExitModule;
    }
    if (required > o.hostVersion) {
        ErrorLine(*modulePath + " needs host version " + std::to_string(required) + " or later; this host is " +
                  std::to_string(o.hostVersion));
        return kExitVersion;
    }
    Status("module " + *modulePath + " (needs host version " + std::to_string(required) + ", this host is " +
           std::to_string(o.hostVersion) + ")");
    return kExitOk;
}

// False, said, when the profile cannot be read. --any-talker that cannot be
// stored is said, and the run goes on with it, as after any failed write.
bool OpenProfile(const Options& o, IniProfile* profile) {
    const std::string path = o.profilePath.empty() ? DefaultProfilePath() : o.profilePath;
    std::string error;
    if (!profile->Load(path, &error)) {
        ErrorLine(error);
        return false;
    }
    Status("profile " + path + " [" + IniProfile::SectionName(kPluginId) + "]");
    // The module reads this key but has no dialog field for it.
    if (o.anyTalker >= 0 && !profile->SetInt(kPluginId, kKeyAnyTalker, o.anyTalker, &error)) ErrorLine(error);
    return true;
}

SourceSettings SourceSettingsFrom(const Options& o, const IniProfile& profile) {
    SourceSettings s;
    s.device = o.device;
    s.waitForDevice = o.waitForDevice;
    s.simulate = o.simulate;
    s.simSpeedKmh = o.simSpeedKmh;
    s.replay = o.replay;
    s.fast = o.fast;
    s.baud = o.baud;
    s.logPath = o.logPath;
    s.port = PortToOpen(o.port, profile);
    s.sony = SonyToChoose(o.receiver, profile);
    return s;
}

RunSettings RunSettingsFrom(const Options& o) {
    RunSettings s;
    s.hostVersion = o.hostVersion;
    s.localTime = o.localTime;
    s.about = o.about;
    s.quiet = o.quiet;
    s.duration = o.duration;
    s.device = o.device;
    s.waitForDevice = o.waitForDevice;
    s.replay = !o.replay.empty();
    s.format = o.tpv    ? RecordPrinter::Format::kTpv
               : o.json ? RecordPrinter::Format::kJson
                        : RecordPrinter::Format::kText;
    s.allRecords = o.allRecords;
    s.reportDevice = ReportDevice(o.device, o.replay);
    s.gpx = o.gpx;
    s.svg = o.svg;
    s.dialog = {o.port, o.receiver, o.interval, o.center, o.view3d, o.record, o.baud};
    return s;
}

// The data source, opened and prepared; nullptr, said, when it cannot be.
std::unique_ptr<DataSource> PreparedSource(const Options& o, const IniProfile& profile) {
    std::string error;
    std::unique_ptr<DataSource> source = MakeDataSource(SourceSettingsFrom(o, profile), &error);
    if (!source) ErrorLine(error);
    return source;
}

#ifndef _WIN32
// --serve, listening; nullptr, said, when the port cannot be had.
std::unique_ptr<GpsdServer> StartedServer(const Options& o, EventLoop& loop) {
    auto server = std::make_unique<GpsdServer>(
        GpsdServer::Setup{"vpihost " VPIHOST_VERSION, ReportDevice(o.device, o.replay), !o.localTime}, loop);
    std::string error;
    if (!server->Start(o.serveHost, o.servePort, &error)) {
        ErrorLine(error);
        return nullptr;
    }
    const bool v6 = o.serveHost.find(':') != std::string::npos;
    Status("serving the GPS tools' JSON protocol on " + (v6 ? "[" + o.serveHost + "]" : o.serveHost) + ":" +
           std::to_string(server->Port()));
    return server;
}
#endif

int Run(const Options& o) {
    SetQuiet(o.quiet);
#ifdef _WIN32
    if (o.simulate != Receiver::kUnset || !o.replay.empty() || !o.logPath.empty() || o.serve) {
        ErrorLine(
            "--simulate, --replay, --log and --serve are available on Linux only; under Wine use --device with a "
            "pseudo-terminal");
        return kExitUsage;
    }
#endif
    std::string modulePath;
    const int found = FindModule(o, &modulePath);
    if (found != kExitOk) return found;
    IniProfile profile;
    if (!OpenProfile(o, &profile)) return kExitUsage;
    EventLoop loop;  // before what it watches, which goes first
    WatchConsole(loop);
    std::unique_ptr<DataSource> source = MakePortDefaults();
    if (!o.about) {
        if (!OutputsWritable(o.gpx, o.svg, o.logPath)) return kExitRunFailed;
        if (!(source = PreparedSource(o, profile))) return kExitSource;
    }
    source->Attach(loop);
    RecordConsumer* consumer = nullptr;
#ifndef _WIN32
    std::unique_ptr<GpsdServer> server;  // stops after the module, with the last second's reports
    if (o.serve && !o.about) {
        if (!(server = StartedServer(o, loop))) return kExitRunFailed;
        consumer = server.get();
        if (source->Tap()) source->Tap()->AddListener(server.get());
    }
#endif
    InstallStopSignal();
#ifndef _WIN32
    // A replay is over in a moment: it starts once a client is there to see it.
    if (server && !o.replay.empty()) {
        Status("the replay starts once a client watches (cgps, gpspipe -w ...)");
        while (!server->Watched() && !StopRequested()) loop.Turn();
        if (!server->Watched()) return kExitOk;
    }
#endif
    return RunModule(RunSettingsFrom(o), modulePath, profile, *source, loop, consumer);
}

}  // namespace

}  // namespace vpihost

int main(int argc, char** argv) {
    vpihost::PrepareConsole();
    std::vector<std::string> args(argv + 1, argv + argc);
    vpihost::Options options;
    std::string error;
    if (!vpihost::ParseOptions(args, &options, &error)) {
        vpihost::ErrorLine(error);
        return vpihost::kExitUsage;
    }
    if (options.help) {
        fputs(vpihost::UsageText().c_str(), stdout);
        return vpihost::kExitOk;
    }
    if (options.version) {
        fputs("vpihost " VPIHOST_VERSION "\n", stdout);
        return vpihost::kExitOk;
    }
    const int exitCode = vpihost::Run(options);
    // An output nobody reads keeps the end waiting this long at most.
    vpihost::FinishConsole(std::chrono::steady_clock::now() + std::chrono::milliseconds(500));
    return exitCode;
}
