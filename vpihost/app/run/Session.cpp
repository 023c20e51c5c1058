#include "run/Session.h"

#include <cstdlib>
#include <optional>

#include "cli/Console.h"
#include "cli/ExitCodes.h"
#include "cli/StopSignal.h"
#include "module/HostApp.h"
#include "module/LoadedPlugin.h"
#include "module/PluginModule.h"
#include "module/PluginProfile.h"
#include "run/LinkControl.h"
#include "run/RunOutputs.h"
#include "source/ReadTap.h"
#include "source/SentenceIds.h"

namespace vpihost {

namespace {

// Why the run ends, and how; an empty why while it goes on.
struct Ending {
    std::string why;
    int exitCode = kExitOk;
};

// The host's side of one run. The phases are called in order; each ends
// the run early by its result.
class Session {
public:
    Session(const RunSettings& o, IniProfile& profile, DataSource& source, EventLoop& loop, RecordConsumer* consumer)
        : m_o(o),
          m_profile(profile),
          m_source(source),
          m_loop(loop),
          m_outputs(
              o, loop, [this] { return StoredAnyTalker(m_profile) ? "" : AnyTalkerHint(m_source.SentenceIdsRead()); },
              consumer,
              o.replay && !o.quiet ? std::function<std::string()>([this] { return m_source.Progress(); }) : nullptr),
          m_host(o.hostVersion, o.localTime, &profile, &m_outputs.Queue()),
          m_installed(&m_host),
          m_link(m_host),
          m_stopTimer([this] { return m_stopAt; }, [](Clock::time_point) {}) {
        if (m_source.Tap()) m_host.SetOrigins(&m_source.Tap()->Origins());
        m_loop.AddTimer(&m_stopTimer);
        // The module's thread has ended: its last second's line comes before
        // "navigation released".
        m_host.SetBeforeRelease([this] { m_outputs.ShowLastSecond(); });
    }
    ~Session() { m_loop.RemoveTimer(&m_stopTimer); }

    int LoadAndInit(const std::string& modulePath);  // kExitOk once the plug-in is loaded
    int About();
    Ending AwaitFirstDevice();  // --wait-for-device with the device not there at the start
    int StartLink();            // kExitOk once navigation runs
    Ending StartSource();
    Ending Watch(Ending ending);
    int ShutDown(const Ending& ending);

private:
    Ending Interruption();
    Ending AwaitDevice();
    Ending OnDeviceGone(const std::string& gone);

    const RunSettings& m_o;
    IniProfile& m_profile;
    DataSource& m_source;
    EventLoop& m_loop;
    RunOutputs m_outputs;  // before the host, which queues the records
    HostApp m_host;
    InstalledHost m_installed;
    PluginModule m_module;
    LinkControl m_link;
    LineFacts m_line;
    Clock::time_point m_stopAt = kNever;  // --duration, from the first link's start
    FunctionTimer m_stopTimer;
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
    m_link.ListRegistrations();
    return kExitOk;
}

int Session::About() {
    Status("About: answered " + std::to_string(m_plugin->About()));
    return kExitOk;
}

Ending Session::AwaitFirstDevice() {
    const std::string absent = m_source.DeviceAbsent();
    if (absent.empty()) return {};
    ErrorLine(absent + "; waiting for it (Ctrl-C stops)");
    m_outputs.ReceiverPresent(false);
    Ending ending = AwaitDevice();
    if (!ending.why.empty()) return ending;
    Status("the receiver at " + m_o.device + " is there");
    m_outputs.ReceiverPresent(true);
    return ending;
}

int Session::StartLink() {
    if (!m_link.HasMenuItem()) {
        ErrorLine("the plug-in added no item to the GPS menu");
        return kExitRunFailed;
    }
    std::string error;
    if (!m_link.Prepare(m_o.dialog, &error)) {
        ErrorLine(error);
        return kExitUsage;
    }
    Status("choosing \"" + Cp932ToUtf8(m_link.MenuItemText()) + "\" in the GPS menu; the start dialog runs");
    const std::string refusal = m_link.Choose();
    if (refusal.empty()) return kExitOk;
    // The port would not open: which device that was, and how to name another.
    ErrorLine(
        "navigation did not start: " + refusal +
        (m_link.PortRefused() ? ": " + m_source.PortAdvice(PortToOpen(m_o.dialog.port, m_profile)) : std::string()));
    return kExitSource;
}

// Once navigation runs: the source starts, and the line is named as the
// module stored its settings and as it is set.
Ending Session::StartSource() {
    std::string error;
    if (!m_source.Start(m_outputs.Hold(), &error)) ErrorLine(error);
    m_line = {"COM" + std::to_string(StoredPort(m_profile)), StoredReceiverType(m_profile), m_source.LineSpeed()};
    Status("reading " + m_line.port + " from " + m_source.Description() +
           (m_line.baud > 0 ? " at " + std::to_string(m_line.baud) + " baud" : std::string()) + ", receiver type " +
           ReceiverName(m_line.protocol) + (m_o.duration > 0 ? "" : "; Ctrl-C stops"));
    if (m_o.duration > 0)
        m_stopAt =
            Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(m_o.duration));
    m_outputs.LinkStarted(m_line);
    // The port takes a rate the line can run within 2 %; farther off, the
    // line is not what was asked for.
    const int baud = m_line.baud;
    const int asked = m_o.dialog.baud;
    if (asked > 0 && baud > 0 && std::abs(baud - asked) * 50 > asked) {
        ErrorLine("the line runs at " + std::to_string(baud) + " baud, not at the " + std::to_string(asked) +
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
        m_loop.Turn();
    }
    return ending;
}

// What ends the run now, but for a device that has gone.
Ending Session::Interruption() {
    if (StopRequested()) return {StopReason()};
    if (RecordStream().Failed()) return {"nobody reads the records any more"};
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
    while ((ending = Interruption()).why.empty() && !m_source.DeviceBack()) m_loop.Turn();
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
    m_link.Stop();
    m_outputs.TakeQueued();
    m_outputs.ReceiverPresent(false);
    m_outputs.WriteFiles(Clock::now());  // the wait may be long
    Ending ending = AwaitDevice();
    if (!ending.why.empty()) return ending;
    Status("the receiver at " + m_o.device + " is back; the start dialog runs again");
    std::string error;
    m_link.Prepare(m_o.dialog, &error);
    m_outputs.TakeQueued();  // the old link's records are the old link's
    const std::string refusal = m_link.Choose();
    if (!refusal.empty()) {
        ErrorLine("navigation did not start again: " + refusal);
        return {"navigation did not start again", kExitSource};
    }
    m_outputs.ReceiverPresent(true);
    m_outputs.LinkStarted(m_line);
    return {};
}

// The host's stop command first, then the module's own shutdown; then the
// records still on their way, the files, and what the outputs still hold.
int Session::ShutDown(const Ending& ending) {
    m_outputs.FinishProgress();
    Status("stopping (" + ending.why + "): the host's GPS stop command, then the plug-in's Close and Release");
    AllowImmediateStop();
    m_link.Stop();
    m_source.Stop();
    m_plugin.reset();
    m_source.DrainTap();  // the module's last reads, for the log
    int exitCode = m_outputs.Finish() ? ending.exitCode : kExitRunFailed;
    Status(std::to_string(m_outputs.Count()) + " records, " + std::to_string(m_outputs.TrackPoints()) +
           " fixes in the track" + m_outputs.LeftOut());
    if (m_host.ProfileFailed() && exitCode == kExitOk) exitCode = kExitRunFailed;
    return exitCode;
}

}  // namespace

int RunModule(const RunSettings& o, const std::string& modulePath, IniProfile& profile, DataSource& source,
              EventLoop& loop, RecordConsumer* consumer) {
    Session session(o, profile, source, loop, consumer);
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
