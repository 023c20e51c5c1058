// vpihost: a reference host for GPS driver plug-ins. Loads the module,
// checks its version-requirement marker, runs Init and Load, chooses the
// plug-in's menu item, plays its start dialog, prints every fix it sends,
// and stops the link the way the host's stop command does.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "Console.h"
#include "DataSource.h"
#include "Desktop.h"
#include "FixPrinter.h"
#include "HostApp.h"
#include "IniProfile.h"
#include "ModuleMarker.h"
#include "Options.h"
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

// The id this host gives its one plug-in.
constexpr unsigned int kPluginId = 1;

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
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
        ErrorLine("cannot write " + path);
        return false;
    }
    return true;
}

int RunModule(const Options& o, const std::string& modulePath, IniProfile& profile, DataSource& source) {
    Desktop desktop;
    FixPrinter printer(stdout, o.json);
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
    Status("Init: \"" + Cp932ToUtf8(info.name) + "\" version " + info.version +
           (info.third.empty() ? "" : " (" + Cp932ToUtf8(info.third) + ")") + ", record size " +
           std::to_string(info.size) + ", flag " + std::to_string(info.flag));
    module.Load();
    const auto menus = host.Menus();
    const auto hooks = host.Hooks();
    for (const auto& menu : menus)
        Status("Load: menu item \"" + Cp932ToUtf8(menu.text) + "\" at place " + std::to_string(menu.place) + " (id " +
               std::to_string(menu.id) + ")");
    for (const auto& hook : hooks)
        Status("Load: command hook of kind " + std::to_string(hook.kind) + " (id " + std::to_string(hook.id) + ")");

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
        ErrorLine("the plug-in registered no GPS menu item (place 1831)");
        module.Close();
        module.Release();
        return kExitRunFailed;
    }
    if (!desktop.PrepareStartDialog(o, &profile, kPluginId, &error)) {
        ErrorLine(error);
        module.Close();
        module.Release();
        return kExitUsage;
    }

    Status("choosing \"" + Cp932ToUtf8(chosen->text) + "\" (code 100); the start dialog runs");
    chosen->callback(VPI_MENU_CHOOSE, 0, 0);
    if (host.NavigationStarts() == 0) {
        std::string reason = desktop.StartDialogOutcome();
        if (reason.empty()) reason = desktop.LastMessageBox();
        if (reason.empty()) reason = "the start dialog was closed without Start";
        ErrorLine("navigation did not start: " + reason);
        module.Close();
        module.Release();
        return kExitSource;
    }

    if (!source.Start(&error)) {
        ErrorLine(error);
    }
    Status("reading from " + source.Description() + (o.duration > 0 ? "" : "; Ctrl-C stops"));

    int exitCode = kExitOk;
    ProgressLine progress(!o.quiet && !o.replay.empty());
    const auto started = std::chrono::steady_clock::now();
    std::string why;
    for (;;) {
        if (StopRequested()) {
            why = "interrupted";
            break;
        }
        if (o.duration > 0 && std::chrono::steady_clock::now() - started >= std::chrono::duration<double>(o.duration)) {
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
        progress.Update(source.Progress());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    progress.Update(source.Progress());
    progress.Finish();

    // The host's stop command first, then the module's own shutdown.
    Status("stopping (" + why + "): hook code 506, then Close and Release");
    for (const auto& hook : hooks)
        if (hook.kind == VPI_HOOK_KIND_COMMAND && hook.callback) hook.callback(VPI_HOOK_STOP_GPS, 0, 0);
    source.Stop();
    module.Close();
    module.Release();
    module.Unload();

    const Track track = printer.TrackCopy();
    if (!o.gpx.empty() && !WriteTextFile(o.gpx, GpxDocument(track, !o.localTime))) exitCode = kExitRunFailed;
    if (!o.svg.empty() && !WriteTextFile(o.svg, SvgDocument(track))) exitCode = kExitRunFailed;
    Status(std::to_string(printer.Count()) + " records, " + std::to_string(track.points().size()) +
           " fixes in the track");
    return exitCode;
}

int Run(const Options& o) {
    SetQuiet(o.quiet);
#ifdef _WIN32
    if (o.simulate != Receiver::kUnset || !o.replay.empty()) {
        ErrorLine(
            "--simulate and --replay are available on Linux only; under Wine use --device with a pseudo-terminal");
        return kExitUsage;
    }
#endif
    std::error_code ec;
    std::string modulePath = o.modulePath.empty() ? BesideProgram("NMEATavelo.vpl") : o.modulePath;
    if (!std::filesystem::is_regular_file(modulePath, ec)) {
        ErrorLine("module not found: " + modulePath);
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
        bool sony = o.receiver == Receiver::kSony ||
                    (o.receiver == Receiver::kUnset && profile.GetInt(kPluginId, "GPSNavi Protcol", 0) == 1);
        int port = o.port > 0 ? o.port : profile.GetInt(kPluginId, "GPSNavi CommPort", 1) + 1;
        if (!source.Prepare(o, port, sony, &error)) {
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
        fputs(vpihost::UsageText(), stdout);
        return vpihost::kExitOk;
    }
    return vpihost::Run(options);
}
