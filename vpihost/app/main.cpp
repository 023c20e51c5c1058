// vpihost: a reference host for GPS driver plug-ins. Loads the module,
// checks its version-requirement marker, runs Init and Load, chooses the
// plug-in's menu item, plays its start dialog, prints every fix it sends,
// and stops the link the way the host's stop command does.
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "Console.h"
#include "DataSource.h"
#include "Desktop.h"
#include "FixPrinter.h"
#include "HostApp.h"
#include "IniProfile.h"
#include "ModuleMarker.h"
#include "Options.h"
#include "PluginProfile.h"
#include "PluginModule.h"
#include "ProgressLine.h"
#include "StopSignal.h"

namespace vpihost {

namespace {

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitRunFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitModule = 3;
constexpr int kExitVersion = 4;
constexpr int kExitSource = 5;

// How long a link may run without a position before vpihost says so.
constexpr auto kSilence = std::chrono::seconds(5);

std::string BesideProgram(const char* name) {
    char path[4096] = {};
    GetModuleFileNameA(nullptr, path, sizeof path - 1);
    std::string dir(path);
    size_t slash = dir.find_last_of("/\\");
    return (slash == std::string::npos ? std::string() : dir.substr(0, slash + 1)) + name;
}

// Keeps the host installed in PluginIf for exactly the run.
class InstalledHost {
public:
    explicit InstalledHost(IVpiHost* host) : m_previous(VpiInstallHost(host)) {}
    ~InstalledHost() { VpiInstallHost(m_previous); }
    InstalledHost(const InstalledHost&) = delete;
    InstalledHost& operator=(const InstalledHost&) = delete;

private:
    IVpiHost* m_previous;
};

bool WriteTextFile(const std::string& path, const std::string& text) {
    errno = 0;
    FILE* out = fopen(path.c_str(), "wb");
    bool ok = out && fwrite(text.data(), 1, text.size(), out) == text.size() && fflush(out) == 0;
    int error = errno;
    if (out && fclose(out) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) ErrorLine("cannot write " + path + ": " + strerror(error ? error : EIO));
    return ok;
}

// Before the run: an output file that cannot be written is said at once,
// with the system's reason, not after an hour's drive. Nothing existing is
// changed; a file made for the test is removed again.
bool CheckWritable(const std::string& path, const char* what) {
    if (path.empty()) return true;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        ErrorLine(std::string("cannot write the ") + what + " " + path + ": it is a folder");
        return false;
    }
    const bool existed = std::filesystem::exists(path, ec);
    errno = 0;
    FILE* file = fopen(path.c_str(), "ab");
    if (!file) {
        ErrorLine(std::string("cannot write the ") + what + " " + path + ": " + strerror(errno ? errno : EIO));
        return false;
    }
    fclose(file);
    if (!existed) std::filesystem::remove(path, ec);
    return true;
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

std::string ReceiverName(int protocol) {
    return protocol == 1 ? "Sony IPS-3000/5000 or PACY-CNV10" : protocol == 0 ? "NMEA 0183" : "none chosen";
}

// Said once when a link has run for a while without a position.
std::string SilenceHint(bool decodedAny, const std::string& port, int baud, int protocol) {
    std::string what =
        decodedAny ? "5 s of records without a position" : "no sentence from the receiver could be decoded in 5 s";
    return what + ": check the port (" + port + "), the line speed (" +
           (baud > 0 ? std::to_string(baud) + " baud; --baud" : std::string("--baud")) + ") and the receiver type (" +
           ReceiverName(protocol) +
           "; --receiver nmea|sony). A receiver that sends $GN... sentences needs --any-talker; "
           "one without a view of the sky has no position yet";
}

int RunModule(const Options& o, const std::string& modulePath, IniProfile& profile, DataSource& source) {
    Desktop desktop;
    const FixPrinter::Format format = o.tpv    ? FixPrinter::Format::kTpv
                                      : o.json ? FixPrinter::Format::kJson
                                               : FixPrinter::Format::kText;
    FixPrinter printer(stdout, format, !o.localTime);
    HostApp host(o.hostVersion, o.localTime, &profile, &printer);
    InstalledHost installed(&host);

    PluginModule module;
    std::string error;
    if (!module.Open(modulePath, &error)) {
        ErrorLine(error);
        return kExitModule;
    }
    PluginInfo info;
    int accepted = module.Init(kPluginId, &info);
    if (info.wrotePastTheEnd) {
        ErrorLine(modulePath + ": Init wrote past the end of the 280-byte plug-in information record");
        return kExitModule;
    }
    if (!accepted) {
        ErrorLine("the plug-in refused this host (Init returned 0 for host version " + std::to_string(o.hostVersion) +
                  ")");
        return kExitVersion;
    }
    Status("plug-in \"" + Cp932ToUtf8(info.name) + "\" version " + info.version +
           (info.third.empty() ? "" : " (" + Cp932ToUtf8(info.third) + ")") +
           (info.size == 280 ? "" : ", with an information record of " + std::to_string(info.size) + " bytes"));
    module.Load();
    const auto menus = host.Menus();
    const auto hooks = host.Hooks();
    for (const auto& menu : menus)
        Status("it adds \"" + Cp932ToUtf8(menu.text) + "\" to " +
               (menu.place == VPI_MENU_PLACE_GPS ? std::string("the GPS menu")
                                                 : "menu place " + std::to_string(menu.place)));
    for (const auto& hook : hooks)
        Status(hook.kind == VPI_HOOK_KIND_COMMAND ? std::string("it listens to the host's commands (GPS stop)")
                                                  : "it hooks host events of kind " + std::to_string(hook.kind));

    if (o.about) {
        int answer = module.About();
        Status("About: answered " + std::to_string(answer));
        module.Close();
        module.Release();
        return kExitOk;
    }

    const HostApp::Menu* chosen = nullptr;
    for (const auto& menu : menus)
        if (menu.place == VPI_MENU_PLACE_GPS && menu.callback && !chosen) chosen = &menu;
    if (!chosen) {
        ErrorLine("the plug-in added no item to the GPS menu");
        module.Close();
        module.Release();
        return kExitRunFailed;
    }
    if (!desktop.PrepareStartDialog(o, &error)) {
        ErrorLine(error);
        module.Close();
        module.Release();
        return kExitUsage;
    }

    auto stopLink = [&] {
        for (const auto& hook : hooks)
            if (hook.kind == VPI_HOOK_KIND_COMMAND && hook.callback) hook.callback(VPI_HOOK_STOP_GPS, 0, 0);
    };
    // Chooses the menu item, so that the start dialog runs; empty when a
    // link runs, else why not.
    auto startLink = [&]() -> std::string {
        const int startsBefore = host.NavigationStarts();
        chosen->callback(VPI_MENU_CHOOSE, 0, 0);
        if (host.NavigationStarts() > startsBefore) return std::string();
        std::string reason = desktop.StartDialogOutcome();
        if (reason.empty()) reason = desktop.LastMessageBox();
        if (reason.empty()) reason = "the start dialog was closed without Start";
        return reason;
    };

    Status("choosing \"" + Cp932ToUtf8(chosen->text) + "\" in the GPS menu; the start dialog runs");
    std::string refusal = startLink();
    if (!refusal.empty()) {
        ErrorLine("navigation did not start: " + refusal);
        module.Close();
        module.Release();
        return kExitSource;
    }

    if (!source.Start(&error)) {
        ErrorLine(error);
    }
    // What the dialog chose, as the module stored it, and the line as it is.
    const std::string port = "COM" + std::to_string(StoredPort(profile));
    const int protocol = StoredReceiverType(profile);
    const int baud = source.LineSpeed();
    Status("reading " + port + " from " + source.Description() +
           (baud > 0 ? " at " + std::to_string(baud) + " baud" : std::string()) + ", receiver type " +
           ReceiverName(protocol) + (o.duration > 0 ? "" : "; Ctrl-C stops"));

    int exitCode = kExitOk;
    ProgressLine progress(!o.quiet && !o.replay.empty());
    const auto started = std::chrono::steady_clock::now();
    auto linkStarted = started;
    long recordsAtLinkStart = 0;
    bool hinted = false;
    std::string why;
    // The port takes a rate the line can run within 2 %; farther off, the
    // line is not what was asked for.
    if (o.baud > 0 && baud > 0 && std::abs(baud - o.baud) * 50 > o.baud) {
        ErrorLine("the line runs at " + std::to_string(baud) + " baud, not at the " + std::to_string(o.baud) +
                  " asked for");
        why = "the line speed could not be set";
        exitCode = kExitSource;
    }
    auto durationPassed = [&] {
        return o.duration > 0 &&
               std::chrono::steady_clock::now() - started >= std::chrono::duration<double>(o.duration);
    };
    while (why.empty()) {
        if (StopRequested()) {
            why = StopReason();
            break;
        }
        if (printer.OutputFailed()) {
            why = "nobody reads the records any more";
            break;
        }
        if (durationPassed()) {
            why = "the duration has passed";
            break;
        }
        if (source.Finished()) {
            why = "the replay has been read";
            break;
        }
        std::string failure = source.Failure();
        if (!failure.empty()) {
            ErrorLine(failure);
            why = "the line failed";
            exitCode = kExitRunFailed;
            break;
        }
        std::string gone = source.DeviceGone();
        if (!gone.empty() && !o.waitForDevice) {
            ErrorLine(gone);
            why = "the receiver is gone";
            exitCode = kExitRunFailed;
            break;
        }
        if (!gone.empty()) {
            ErrorLine(gone + "; waiting for it to come back (Ctrl-C stops)");
            stopLink();
            while (!StopRequested() && !durationPassed() && !source.DeviceBack())
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (StopRequested() || durationPassed()) continue;  // said at the loop's top
            Status("the receiver at " + o.device + " is back; the start dialog runs again");
            desktop.PrepareStartDialog(o, &error);
            refusal = startLink();
            if (!refusal.empty()) {
                ErrorLine("navigation did not start again: " + refusal);
                why = "navigation did not start again";
                exitCode = kExitSource;
                break;
            }
            linkStarted = std::chrono::steady_clock::now();
            recordsAtLinkStart = printer.Count();
            hinted = false;
            continue;
        }
        if (!hinted && printer.PositionCount() == 0 && std::chrono::steady_clock::now() - linkStarted >= kSilence) {
            hinted = true;
            // Past the empty record every link start sends.
            ErrorLine(SilenceHint(printer.Count() - recordsAtLinkStart > 1, port, baud, protocol));
        }
        progress.Update(source.Progress());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    progress.Update(source.Progress());
    progress.Finish();

    // The host's stop command first, then the module's own shutdown.
    Status("stopping (" + why + "): the host's GPS stop command, then the plug-in's Close and Release");
    stopLink();
    source.Stop();
    module.Close();
    module.Release();
    module.Unload();

    const Track track = printer.TrackCopy();
    if (!o.gpx.empty() && !WriteTextFile(o.gpx, GpxDocument(track, !o.localTime))) exitCode = kExitRunFailed;
    if (!o.svg.empty() && !WriteTextFile(o.svg, SvgDocument(track))) exitCode = kExitRunFailed;
    Status(std::to_string(printer.Count()) + " records, " + std::to_string(track.points().size()) +
           " fixes in the track");
    if (host.ProfileFailed() && exitCode == kExitOk) exitCode = kExitRunFailed;
    return exitCode;
}

int Run(const Options& o) {
    SetQuiet(o.quiet);
#ifdef _WIN32
    if (o.simulate != Receiver::kUnset || !o.replay.empty() || !o.logPath.empty()) {
        ErrorLine(
            "--simulate, --replay and --log are available on Linux only; under Wine use --device with a "
            "pseudo-terminal");
        return kExitUsage;
    }
#endif
    std::error_code ec;
    std::string modulePath = o.modulePath.empty() ? BesideProgram("NMEATavelo.vpl") : o.modulePath;
    const std::string problem = ModulePathProblem(modulePath);
    if (!problem.empty()) {
        ErrorLine(problem);
        return kExitModule;
    }
    // A path with a directory part, so that the loader does not search.
    modulePath = std::filesystem::absolute(modulePath, ec).string();

    int required = 0;
    std::string error;
    if (!ReadVersionMarker(modulePath, &required, &error)) {
        ErrorLine(modulePath + " " + error);
        return kExitModule;
    }
    if (required > o.hostVersion) {
        ErrorLine(modulePath + " needs host version " + std::to_string(required) + " or later; this host is " +
                  std::to_string(o.hostVersion));
        return kExitVersion;
    }
    Status("module " + modulePath + " (needs host version " + std::to_string(required) + ", this host is " +
           std::to_string(o.hostVersion) + ")");

    IniProfile profile;
    const std::string profilePath = o.profilePath.empty() ? DefaultProfilePath() : o.profilePath;
    if (!profile.Load(profilePath, &error)) {
        ErrorLine(error);
        return kExitUsage;
    }
    Status("profile " + profilePath + " [" + IniProfile::SectionName(kPluginId) + "]");
    // The module reads this key but has no dialog field for it.
    if (o.anyTalker >= 0 && !profile.SetInt(kPluginId, "GPSNavi AnyTalker", o.anyTalker, &error)) {
        ErrorLine(error);
        return kExitUsage;
    }

    DataSource source;
    if (!o.about) {
        if (!CheckWritable(o.gpx, "GPX file") || !CheckWritable(o.svg, "picture") || !CheckWritable(o.logPath, "log"))
            return kExitRunFailed;
        if (!source.Prepare(o, profile, &error)) {
            ErrorLine(error);
            return kExitSource;
        }
    }
    InstallStopSignal();
    return RunModule(o, modulePath, profile, source);
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
    return vpihost::Run(options);
}
