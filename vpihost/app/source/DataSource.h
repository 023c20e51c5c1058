// Where the line's bytes come from: the port's own device (nothing to do), a
// device named with --device, a simulated receiver on a pseudo-terminal, or
// a recorded log replayed into one. On Linux every COM port name (COM1 to
// COM4) is mapped to the device, so whichever port the start dialog opens
// reaches it; under Wine --device points the port the dialog will open at
// the device (the link in the prefix), and the other sources are Linux's.
#pragma once

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "module/IniProfile.h"
#include "cli/Options.h"

namespace vpihost {

class DataSource {
public:
    DataSource();
    ~DataSource();
    DataSource(const DataSource&) = delete;
    DataSource& operator=(const DataSource&) = delete;

    // Before the start dialog: opens the device or the log and maps the
    // ports; starts the --log recording. The profile and the options tell
    // the port the dialog will open and the receiver type it will choose
    // (the replay's default pace). False with a one-line reason.
    bool Prepare(const Options& options, const IniProfile& profile, std::string* error);

    // Once the link runs: starts the simulator or the replay.
    bool Start(std::string* error);

    // The replay has been written and read whole.
    bool Finished() const;
    // What went wrong while running; empty while all is well.
    std::string Failure() const;
    // With --wait-for-device, a --device that is not there at the start:
    // the line that says so; empty once it is there.
    std::string DeviceAbsent() const;
    // The --device has gone (hung up, failed, or its path vanished or names
    // another device): the one line that says so; empty while it is there.
    // The descriptor that watched it is closed at once: a USB serial driver
    // keeps the device's number while one is open, and the receiver would
    // come back under another name.
    std::string DeviceGone();
    // After DeviceGone, or while absent: true once the device can be opened
    // again; it is watched from then on.
    bool DeviceBack();
    // Sleeps until something may have happened (Wakeup.h, a change at the
    // device or its folder) or until `until`.
    void Wait(std::chrono::steady_clock::time_point until);
    // One short progress text for a replay; empty for other sources.
    std::string Progress() const;
    // What stands behind the ports, for the status line.
    std::string Description() const;
    // The line speed the device runs at now, 0 when it cannot be told.
    int LineSpeed() const;
    // Once the module is loaded: what it reads is watched (on Linux the
    // stand-in shows the reads already).
    void WatchModule(HMODULE module);
    // The sentence identifiers the module has read ("$GNRMC"), in the
    // order first seen; empty where vpihost does not see them.
    std::vector<std::string> SentenceIdsRead() const;
    // Said when the start dialog could not open COM<port>: what stands
    // behind it, and how to give it another device.
    std::string PortAdvice(int port) const;

    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

}  // namespace vpihost
