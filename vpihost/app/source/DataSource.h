// Where the line's bytes come from, one class each: the port's own device
// (nothing to do), a device named with --device (opened first and watched),
// a simulated receiver on a pseudo-terminal, or a recorded log replayed
// into one. On Linux every COM port name (COM1 to COM4) is mapped to the
// device, so whichever port the start dialog opens reaches it; under Wine
// --device points the port the dialog will open at the device (the link in
// the prefix), and the other sources are Linux's. On Linux each source also
// has the read tap (ReadTap.h): what the module read, for --log, the hint
// and the line listeners.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "cli/Receiver.h"
#include "run/EventLoop.h"
#include "source/HoldBack.h"

namespace vpihost {

class ReadTap;

// What the sources read of the options, and of the profile the port the
// dialog will open and the receiver type it will choose.
struct SourceSettings {
    std::string device;  // --device
    bool waitForDevice = false;
    Receiver simulate = Receiver::kUnset;
    double simSpeedKmh = 0;  // 0: the simulator's default
    std::string replay;
    bool fast = false;
    int baud = 0;         // --baud, 0: the receiver type's default
    std::string logPath;  // --log
    int port = 1;         // 1..4, the port the start dialog will open
    bool sony = false;    // the receiver type it will choose is Sony's (the replay's default pace)
};

class DataSource {
public:
    virtual ~DataSource();

    // Once the link runs: starts the simulator or the replay; holdBack, if
    // any, holds a replay back while the records' consumers are behind.
    virtual bool Start(HoldBack* holdBack, std::string* error);
    virtual void Stop() {}
    // Lets the loop watch what the source watches, and take the tap's bytes.
    virtual void Attach(EventLoop& loop);

    // The replay has been written and read whole.
    virtual bool Finished() const { return false; }
    // What went wrong while running; empty while all is well.
    virtual std::string Failure() const;
    // With --wait-for-device, a --device that is not there at the start:
    // the line that says so; empty once it is there.
    virtual std::string DeviceAbsent() const { return std::string(); }
    // The --device has gone (hung up, failed, or its path vanished or names
    // another device): the one line that says so; empty while it is there.
    // The descriptor that watched it is closed at once: a USB serial driver
    // keeps the device's number while one is open, and the receiver would
    // come back under another name.
    virtual std::string DeviceGone() { return std::string(); }
    // After DeviceGone, or while absent: true once the device can be opened
    // again; it is watched from then on.
    virtual bool DeviceBack() { return false; }
    // One short progress text for a replay; empty for other sources.
    virtual std::string Progress() const { return std::string(); }
    // What stands behind the ports, for the status line.
    virtual std::string Description() const = 0;
    // The line speed the device runs at now, 0 when it cannot be told.
    virtual int LineSpeed() const { return 0; }
    // Said when the start dialog could not open COM<port>: what stands
    // behind it, and how to give it another device.
    virtual std::string PortAdvice(int port) const = 0;

    // The sentence identifiers the module has read ("$GNRMC"), in the
    // order first seen; empty where vpihost does not see the line (Windows).
    std::vector<std::string> SentenceIdsRead() const;
    // Once the module is loaded: what it reads is watched where no tap
    // sees the line (Windows; on Linux the stand-in shows the reads).
    void WatchModule(HMODULE module);
    // The read tap, where vpihost sees the line (Linux); else nullptr.
    ReadTap* Tap() const { return m_tap.get(); }
    // The bytes the module has read so far have been taken (at the end).
    void DrainTap();

protected:
    DataSource();
    // --log, where asked for; false with the reason.
    bool StartTap(const SourceSettings& settings, std::string* error);

private:
    std::shared_ptr<ReadTap> m_tap;
    EventLoop* m_loop = nullptr;
    int m_afterTurn = -1;
#ifdef _WIN32
    struct ModuleReadIds;
    std::unique_ptr<ModuleReadIds> m_moduleReads;  // kept while the module may read
#endif

public:
    DataSource(const DataSource&) = delete;
    DataSource& operator=(const DataSource&) = delete;
};

// Before the start dialog: opens the device or the log and maps the ports;
// starts the --log recording. nullptr with a one-line reason.
std::unique_ptr<DataSource> MakeDataSource(const SourceSettings& settings, std::string* error);
// The port's own devices, as the system has them (for --about).
std::unique_ptr<DataSource> MakePortDefaults();

}  // namespace vpihost
