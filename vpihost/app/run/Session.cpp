#include "run/Session.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "cli/Console.h"
#include "desktop/Desktop.h"
#include "cli/ExitCodes.h"
#include "output/RecordPrinter.h"
#include "serve/GpsdReports.h"
#include "module/HostApp.h"
#include "output/TrackFiles.h"
#include "module/PluginModule.h"
#include "module/PluginProfile.h"
#include "cli/ProgressLine.h"
#include "source/SentenceIds.h"
#include "cli/StopSignal.h"
#include "run/Wakeup.h"
#include "serial/ReceiverType.h"
#include "shell/Texts.h"

namespace vpihost {

namespace {

using Clock = std::chrono::steady_clock;

// How long a link may run without a position, or a receiver that sent
// records fall silent, before vpihost says so.
constexpr auto kSilence = std::chrono::seconds(5);
// How often the track files are written while new fixes come: at most a
// share of the time, so that long tracks on slow disks do not keep it busy.
constexpr auto kTrackWrite = std::chrono::seconds(2);
constexpr int kTrackWriteShare = 20;
// How often a replay's progress line is drawn.
constexpr auto kProgressTick = std::chrono::milliseconds(100);
constexpr Clock::time_point kNever = Clock::time_point::max();

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

// Owns a module from its Load on: the plug-in's Close and Release, then the
// unload, come once on every way out of the run.
class LoadedPlugin {
public:
    explicit LoadedPlugin(PluginModule* module) : m_module(module) { m_module->Load(); }
    ~LoadedPlugin() {
        m_module->Close();
        m_module->Release();
        m_module->Unload();
    }
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    int About() { return m_module->About(); }

private:
    PluginModule* m_module;
};

// Why the run ends, and how; an empty why while it goes on.
struct Ending {
    std::string why;
    int exitCode = kExitOk;
};

// The line as the module stored its settings and as it is set.
struct LineFacts {
    std::string port;                 // "COM2"
    int protocol = NT_RECEIVER_NMEA;  // StoredReceiverType
    int baud = 0;                     // 0 when it cannot be told
};

std::string ReceiverName(int protocol) {
    return protocol == NT_RECEIVER_SONY   ? "Sony IPS-3000/5000 or PACY-CNV10"
           : protocol == NT_RECEIVER_NMEA ? "NMEA 0183"
                                          : "none chosen";
}

// Said when a receiver that sent records falls silent, and when it is back.
std::string QuietReceiver(const LineFacts& line, bool back) {
    return "the receiver on " + line.port +
           (back ? " sends again"
                 : " has sent nothing for " + std::to_string(kSilence.count()) +
                       " s: is it still switched on and connected?");
}

// Said once when a link has run for a while without a position; talkers:
// what the receiver sends that the module takes only with --any-talker.
std::string SilenceHint(bool decodedAny, const LineFacts& line, const std::string& talkers) {
    std::string what =
        decodedAny ? "5 s of records without a position" : "no sentence from the receiver could be decoded in 5 s";
    if (!talkers.empty()) return what + ": " + talkers;
    return what + ": check the port (" + line.port + "), the line speed (" +
           (line.baud > 0 ? std::to_string(line.baud) + " baud; --baud" : std::string("--baud")) +
           ") and the receiver type (" + ReceiverName(line.protocol) +
           "; --receiver nmea|sony). A receiver that sends $GN... sentences needs --any-talker; "
           "one without a view of the sky has no position yet";
}

RecordPrinter::Format PrintFormat(const Options& o) {
    return o.tpv ? RecordPrinter::Format::kTpv : o.json ? RecordPrinter::Format::kJson : RecordPrinter::Format::kText;
}

// The host's side of one run. The phases are called in order; each ends
// the run early by its result.
class Session {
public:
    Session(const Options& o, IniProfile& profile, DataSource& source)
        : m_o(o),
          m_profile(profile),
          m_source(source),
          m_printer(stdout, PrintFormat(o), !o.localTime, o.allRecords, ReportDevice(o)),
          m_host(o.hostVersion, o.localTime, &profile, &m_printer),
          m_installed(&m_host),
          m_files(o),
          m_progress(m_showProgress) {
        m_host.SetAfterRecord([this] { AfterRecord(); });
    }

    void SetListener(RecordListener* listener) { m_printer.SetListener(listener); }
    int LoadAndInit(const std::string& modulePath);  // kExitOk once the plug-in is loaded
    int About();
    Ending AwaitFirstDevice();  // --wait-for-device with the device not there at the start
    int StartLink();            // kExitOk once navigation runs
    Ending StartSource();
    Ending Watch(Ending ending);
    int ShutDown(const Ending& ending);

private:
    void ListRegistrations();
    std::string ChooseMenuItem();
    void StopLink();
    Ending Interruption();
    Ending AwaitDevice();
    Ending OnDeviceGone(const std::string& gone);
    void LinkStarted(long recordsBefore);
    bool Decoded(long records) const { return records - m_recordsBefore > 1; }
    void AfterRecord();
    void Tick();
    void HintSilence(Clock::time_point now);
    void WriteFiles(Clock::time_point now);
    Clock::time_point NextTimer();

    const Options& m_o;
    IniProfile& m_profile;
    DataSource& m_source;
    Desktop m_desktop;  // made on this thread, which runs the plug-in's windows
    RecordPrinter m_printer;
    HostApp m_host;
    InstalledHost m_installed;
    PluginModule m_module;
    std::vector<HostApp::Menu> m_menus;
    std::vector<HostApp::Hook> m_hooks;
    const HostApp::Menu* m_item = nullptr;  // the GPS menu item that starts the link
    LineFacts m_line;
    TrackFiles m_files;
    const bool m_showProgress = !m_o.quiet && !m_o.replay.empty();
    ProgressLine m_progress;
    Clock::time_point m_stopAt = kNever;  // --duration, from the first link's start
    // For the hints about a silent line: since when the link runs, the
    // records counted before it, and when the last record came.
    Clock::time_point m_linkStarted;
    long m_recordsBefore = 0;
    bool m_hinted = false;  // the look at the link's first seconds is taken
    std::atomic<Clock::rep> m_lastRecord{0};
    long m_recordsWhenQuiet = -1;  // while the receiver is said to be silent
    std::atomic<bool> m_wakeOnRecord{false};
    // The track files: when next, and the positions they hold.
    Clock::time_point m_nextWrite = kNever;
    long m_positionsWritten = 0;
    // Last: the module and its threads go before what they call.
    std::optional<LoadedPlugin> m_plugin;
};

int Session::LoadAndInit(const std::string& modulePath) {
    std::string error;
    if (!m_module.Open(modulePath, &error)) {
        ErrorLine(error);
        return kExitModule;
    }
    m_source.WatchModule(m_module.Handle());
    PluginInfo info;
    const int accepted = m_module.Init(kPluginId, &info);
    if (info.wrotePastTheEnd) {
        ErrorLine(modulePath + ": Init wrote past the end of the 280-byte plug-in information record");
        return kExitModule;
    }
    if (!accepted) {
        ErrorLine("the plug-in refused this host (Init returned 0 for host version " + std::to_string(m_o.hostVersion) +
                  ")");
        return kExitVersion;
    }
    Status("plug-in \"" + Cp932ToUtf8(info.name) + "\" version " + info.version +
           (info.third.empty() ? "" : " (" + Cp932ToUtf8(info.third) + ")") +
           (info.size == 280 ? "" : ", with an information record of " + std::to_string(info.size) + " bytes"));
    m_plugin.emplace(&m_module);
    ListRegistrations();
    return kExitOk;
}

void Session::ListRegistrations() {
    m_menus = m_host.Menus();
    m_hooks = m_host.Hooks();
    for (const auto& menu : m_menus)
        Status("it adds \"" + Cp932ToUtf8(menu.text) + "\" to " +
               (menu.place == VPI_MENU_PLACE_GPS ? std::string("the GPS menu")
                                                 : "menu place " + std::to_string(menu.place)));
    for (const auto& hook : m_hooks)
        Status(hook.kind == VPI_HOOK_KIND_COMMAND ? std::string("it listens to the host's commands (GPS stop)")
                                                  : "it hooks host events of kind " + std::to_string(hook.kind));
    for (const auto& menu : m_menus)
        if (menu.place == VPI_MENU_PLACE_GPS && menu.callback && !m_item) m_item = &menu;
}

int Session::About() {
    Status("About: answered " + std::to_string(m_plugin->About()));
    return kExitOk;
}

Ending Session::AwaitFirstDevice() {
    const std::string absent = m_source.DeviceAbsent();
    if (absent.empty()) return {};
    ErrorLine(absent + "; waiting for it (Ctrl-C stops)");
    Ending ending = AwaitDevice();
    if (ending.why.empty()) Status("the receiver at " + m_o.device + " is there");
    return ending;
}

int Session::StartLink() {
    if (!m_item) {
        ErrorLine("the plug-in added no item to the GPS menu");
        return kExitRunFailed;
    }
    std::string error;
    if (!m_desktop.PrepareStartDialog(m_o, &error)) {
        ErrorLine(error);
        return kExitUsage;
    }
    Status("choosing \"" + Cp932ToUtf8(m_item->text) + "\" in the GPS menu; the start dialog runs");
    const std::string refusal = ChooseMenuItem();
    if (refusal.empty()) return kExitOk;
    // The port would not open: which device that was, and how to name another.
    const bool portRefused = m_desktop.LastMessageBox() == TEXT_CANNOT_OPEN_PORT;
    ErrorLine("navigation did not start: " + refusal +
              (portRefused ? ": " + m_source.PortAdvice(PortToOpen(m_o, m_profile)) : std::string()));
    return kExitSource;
}

// Chooses the menu item, so that the start dialog runs; empty when a link
// runs, else why not.
std::string Session::ChooseMenuItem() {
    const int startsBefore = m_host.NavigationStarts();
    m_item->callback(VPI_MENU_CHOOSE, 0, 0);
    if (m_host.NavigationStarts() > startsBefore) return std::string();
    std::string reason = m_desktop.StartDialogOutcome();
    if (reason.empty()) reason = m_desktop.LastMessageBox();
    if (reason.empty()) reason = "the start dialog was closed without Start";
    return reason;
}

void Session::StopLink() {
    for (const auto& hook : m_hooks)
        if (hook.kind == VPI_HOOK_KIND_COMMAND && hook.callback) hook.callback(VPI_HOOK_STOP_GPS, 0, 0);
}

// Once navigation runs: the source starts, and the line is named as the
// module stored its settings and as it is set.
Ending Session::StartSource() {
    std::string error;
    if (!m_source.Start(&error)) ErrorLine(error);
    m_line = {"COM" + std::to_string(StoredPort(m_profile)), StoredReceiverType(m_profile), m_source.LineSpeed()};
    Status("reading " + m_line.port + " from " + m_source.Description() +
           (m_line.baud > 0 ? " at " + std::to_string(m_line.baud) + " baud" : std::string()) + ", receiver type " +
           ReceiverName(m_line.protocol) + (m_o.duration > 0 ? "" : "; Ctrl-C stops"));
    if (m_o.duration > 0)
        m_stopAt =
            Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(m_o.duration));
    LinkStarted(0);
    // The port takes a rate the line can run within 2 %; farther off, the
    // line is not what was asked for.
    const int baud = m_line.baud;
    if (m_o.baud > 0 && baud > 0 && std::abs(baud - m_o.baud) * 50 > m_o.baud) {
        ErrorLine("the line runs at " + std::to_string(baud) + " baud, not at the " + std::to_string(m_o.baud) +
                  " asked for");
        return {"the line speed could not be set", kExitSource};
    }
    return {};
}

// Runs the link until something ends the run, asleep between events.
Ending Session::Watch(Ending ending) {
    while (ending.why.empty()) {
        ending = Interruption();
        if (!ending.why.empty()) break;
        const std::string gone = m_source.DeviceGone();
        if (!gone.empty()) {
            ending = OnDeviceGone(gone);
            continue;
        }
        Tick();
        m_source.Wait(NextTimer());
    }
    return ending;
}

// What ends the run now, but for a device that has gone.
Ending Session::Interruption() {
    if (StopRequested()) return {StopReason()};
    if (m_printer.OutputFailed()) return {"nobody reads the records any more"};
    if (Clock::now() >= m_stopAt) return {"the duration has passed"};
    if (m_source.Finished()) return {"the replay has been read"};
    const std::string failure = m_source.Failure();
    if (failure.empty()) return {};
    ErrorLine(failure);
    return {"the line failed", kExitRunFailed};
}

// Until the device can be opened, or the run is to end.
Ending Session::AwaitDevice() {
    Ending ending;
    while ((ending = Interruption()).why.empty() && !m_source.DeviceBack()) m_source.Wait(m_stopAt);
    return ending;
}

// The run ends; with --wait-for-device the link stops until the device is
// back, then starts again through the start dialog.
Ending Session::OnDeviceGone(const std::string& gone) {
    if (!m_o.waitForDevice) {
        ErrorLine(gone);
        return {"the receiver is gone", kExitRunFailed};
    }
    ErrorLine(gone + "; waiting for it to come back (Ctrl-C stops)");
    StopLink();
    WriteFiles(Clock::now());  // the wait may be long
    Ending ending = AwaitDevice();
    if (!ending.why.empty()) return ending;
    Status("the receiver at " + m_o.device + " is back; the start dialog runs again");
    std::string error;
    m_desktop.PrepareStartDialog(m_o, &error);
    const long before = m_printer.Count();
    const std::string refusal = ChooseMenuItem();
    if (!refusal.empty()) {
        ErrorLine("navigation did not start again: " + refusal);
        return {"navigation did not start again", kExitSource};
    }
    LinkStarted(before);
    return {};
}

void Session::LinkStarted(long recordsBefore) {
    m_linkStarted = Clock::now();
    m_recordsBefore = recordsBefore;
    m_hinted = false;
    m_recordsWhenQuiet = -1;
    m_wakeOnRecord = false;
    if (m_files.Asked() && m_nextWrite == kNever) m_nextWrite = m_linkStarted + kTrackWrite;
}

// On the thread that sent the record: the main thread sleeps unless it
// waits for records or nobody reads them any more.
void Session::AfterRecord() {
    m_lastRecord = Clock::now().time_since_epoch().count();
    if (m_wakeOnRecord.exchange(false) || m_printer.OutputFailed()) Wake();
}

// What is due at the running link: the hints, the files, the progress.
void Session::Tick() {
    const Clock::time_point now = Clock::now();
    HintSilence(now);
    if (now >= m_nextWrite) WriteFiles(now);
    if (m_showProgress) m_progress.Update(m_source.Progress());
}

void Session::HintSilence(Clock::time_point now) {
    const long records = m_printer.Count();
    if (!m_hinted && now >= m_linkStarted + kSilence) {
        m_hinted = true;
        // Past the empty record every link start sends.
        if (m_printer.PositionCount() == 0) {
            const std::string talkers = StoredAnyTalker(m_profile) ? "" : AnyTalkerHint(m_source.SentenceIdsRead());
            ErrorLine(SilenceHint(Decoded(records), m_line, talkers));
        }
    }
    if (m_recordsWhenQuiet >= 0 && records > m_recordsWhenQuiet) {
        m_recordsWhenQuiet = -1;
        ErrorLine(QuietReceiver(m_line, true));
    }
    const Clock::time_point last{Clock::duration(m_lastRecord.load())};
    if (m_recordsWhenQuiet < 0 && Decoded(records) && now >= last + kSilence) {
        m_recordsWhenQuiet = records;
        ErrorLine(QuietReceiver(m_line, false));
        m_wakeOnRecord = true;
        if (m_printer.Count() > records) Wake();  // one came in between
    }
}

// The track files, when there are new fixes since the last write.
void Session::WriteFiles(Clock::time_point now) {
    if (!m_files.Asked()) return;
    const long positions = m_printer.PositionCount();
    if (positions == m_positionsWritten) {
        m_nextWrite = now + kTrackWrite;
        return;
    }
    m_files.Write(m_printer.TrackCopy());
    m_positionsWritten = positions;
    m_nextWrite = now + std::max<Clock::duration>(kTrackWrite, (Clock::now() - now) * kTrackWriteShare);
}

// The earliest of what has a time.
Clock::time_point Session::NextTimer() {
    Clock::time_point next = std::min(m_stopAt, m_nextWrite);
    if (!m_hinted) next = std::min(next, m_linkStarted + kSilence);
    const Clock::time_point last{Clock::duration(m_lastRecord.load())};
    if (m_recordsWhenQuiet < 0 && Decoded(m_printer.Count())) next = std::min(next, last + kSilence);
    if (m_showProgress) next = std::min(next, Clock::now() + kProgressTick);
    return next;
}

// The host's stop command first, then the module's own shutdown; then the
// files.
int Session::ShutDown(const Ending& ending) {
    m_progress.Update(m_source.Progress());
    m_progress.Finish();
    Status("stopping (" + ending.why + "): the host's GPS stop command, then the plug-in's Close and Release");
    AllowImmediateStop();
    StopLink();
    m_source.Stop();
    m_plugin.reset();
    m_printer.Finish();  // the last second's line and report, once no record can follow
    const Track track = m_printer.TrackCopy();
    m_files.Write(track);
    int exitCode = m_files.Failed() ? kExitRunFailed : ending.exitCode;
    Status(std::to_string(m_printer.Count()) + " records, " + std::to_string(track.points().size()) +
           " fixes in the track");
    if (m_host.ProfileFailed() && exitCode == kExitOk) exitCode = kExitRunFailed;
    return exitCode;
}

}  // namespace

int RunModule(const Options& o, const std::string& modulePath, IniProfile& profile, DataSource& source,
              RecordListener* listener) {
    Session session(o, profile, source);
    session.SetListener(listener);
    int exitCode = session.LoadAndInit(modulePath);
    if (exitCode != kExitOk) return exitCode;
    if (o.about) return session.About();
    const Ending awaited = session.AwaitFirstDevice();
    if (!awaited.why.empty()) return session.ShutDown(awaited);
    exitCode = session.StartLink();
    if (exitCode != kExitOk) return exitCode;
    return session.ShutDown(session.Watch(session.StartSource()));
}

}  // namespace vpihost
