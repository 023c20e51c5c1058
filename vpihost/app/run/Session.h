// One run of the plug-in module in the host's phases: load and init, start
// the link through the start dialog, watch it, shut down; all on the main
// thread, which sleeps in the event loop between events.
#pragma once

#include <string>

#include "desktop/DialogSettings.h"
#include "module/IniProfile.h"
#include "output/RecordPrinter.h"
#include "output/RecordConsumer.h"
#include "run/EventLoop.h"
#include "source/DataSource.h"

namespace vpihost {

// What the run reads of the options.
struct RunSettings {
    int hostVersion = 0;
    bool localTime = false;  // the view option: the module reports local times
    bool about = false;      // the about box instead of navigation
    bool quiet = false;
    double duration = 0;  // seconds, 0: until stopped
    std::string device;   // --device, named in the lines about it
    bool waitForDevice = false;
    bool replay = false;  // a replay: the progress line
    RecordPrinter::Format format = RecordPrinter::Format::kText;
    bool allRecords = false;
    std::string reportDevice;  // the TPVs' "device"
    std::string gpx, svg;
    DialogSettings dialog;
};

// Runs the module at modulePath (checked, with a directory part) with the
// profile loaded and the data source prepared; returns the exit code.
// The consumer, if any (the server), is handed every record too.
int RunModule(const RunSettings& settings, const std::string& modulePath, IniProfile& profile, DataSource& source,
              EventLoop& loop, RecordConsumer* consumer = nullptr);

}  // namespace vpihost
