// One run of the plug-in module in the host's phases: load and init, start
// the link through the start dialog, watch it, shut down; all on the main
// thread, which sleeps in the event loop between events.
#pragma once

#include <string>

#include "cli/Options.h"
#include "module/IniProfile.h"
#include "output/RecordConsumer.h"
#include "run/EventLoop.h"
#include "source/DataSource.h"

namespace vpihost {

// Runs the module at modulePath (checked, with a directory part) with the
// profile loaded and the data source prepared; returns the exit code.
// The consumer, if any (the server), is handed every record too.
int RunModule(const Options& options, const std::string& modulePath, IniProfile& profile, DataSource& source,
              EventLoop& loop, RecordConsumer* consumer = nullptr);

}  // namespace vpihost
