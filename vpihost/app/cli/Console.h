// vpihost's own lines on stderr: status lines (off with --quiet), errors
// (always), the plug-in's message boxes (always), and text conversion for
// the console.
#pragma once

#include <chrono>
#include <string>

#include "output/OutputStream.h"

namespace vpihost {

class EventLoop;

void SetQuiet(bool quiet);
bool Quiet();

// "vpihost: ..." on stderr unless quiet.
void Status(const std::string& line);
// "vpihost: ..." on stderr, always.
void ErrorLine(const std::string& line);

// Code page 932 text (the module's texts) as UTF-8.
std::string Cp932ToUtf8(const std::string& text);

// Makes the console take UTF-8 (Windows); nothing elsewhere.
void PrepareConsole();

// The records' stream (stdout) and the one of vpihost's own lines (stderr),
// each a bounded queue that never makes its writer wait (OutputStream.h).
OutputStream& RecordStream();
OutputStream& MessageStream();
// While the loop runs it writes what the streams could not take at once,
// and says how many lines a stream left out once it writes again.
void WatchConsole(EventLoop& loop);
// At the end: what is queued goes out, waiting at most until `until`; then
// what was left out is said.
void FinishConsole(std::chrono::steady_clock::time_point until);

}  // namespace vpihost
