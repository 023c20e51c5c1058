// Ctrl-C (and, on Linux, SIGTERM) as a request to stop the run the clean
// way; a second Ctrl-C ends the program at once.
#pragma once

namespace vpihost {

void InstallStopSignal();
bool StopRequested();

}  // namespace vpihost
