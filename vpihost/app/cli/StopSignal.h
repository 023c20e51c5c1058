// Ctrl-C, SIGTERM and a hang-up of the terminal (SIGHUP) as a request to stop
// the run the clean way, outputs written. Such signals often come in twos
// (a closing terminal sends SIGHUP, then the kernel another): all of them
// before the stopping line only confirm the request. After that line, Ctrl-C
// again ends the program at once. A closed stdout (SIGPIPE) is ignored here:
// the printer sees the failed write and the run stops the same clean way.
#pragma once

#include <string>

namespace vpihost {

void InstallStopSignal();
bool StopRequested();
// Why the stop was asked for, for the status line: "interrupted", ...
std::string StopReason();
// Said once the stopping line is out: from now on Ctrl-C ends at once.
void AllowImmediateStop();

}  // namespace vpihost
