// Ctrl-C, SIGTERM and a hang-up of the terminal (SIGHUP) as a request to stop
// the run the clean way, outputs written; a second such signal ends the
// program at once. A closed stdout (SIGPIPE) is ignored here: the printer
// sees the failed write and the run stops the same clean way.
#pragma once

#include <string>

namespace vpihost {

void InstallStopSignal();
bool StopRequested();
// Why the stop was asked for, for the status line: "interrupted", ...
std::string StopReason();

}  // namespace vpihost
