// One run of the plug-in module in the host's phases: load and init, start
// the link through the start dialog, watch it, shut down.
#pragma once

#include <string>

#include "source/DataSource.h"
#include "module/IniProfile.h"
#include "cli/Options.h"
#include "output/RecordListener.h"

namespace vpihost {

// Runs the module at modulePath (checked, with a directory part) with the
// profile loaded and the data source prepared; returns the exit code.
// The listener, if any, is handed every record too.
int RunModule(const Options& options, const std::string& modulePath, IniProfile& profile, DataSource& source,
              RecordListener* listener = nullptr);

}  // namespace vpihost
