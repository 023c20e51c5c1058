// vpihost's own lines on stderr: status lines (off with --quiet), errors
// (always), the plug-in's message boxes (always), and text conversion for
// the console.
#pragma once

#include <string>

namespace vpihost {

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

}  // namespace vpihost
