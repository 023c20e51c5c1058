// What both desktops keep about the start dialog they play and the message
// boxes they answer. Each platform's state extends it, all under its mutex.
#pragma once

#include <mutex>
#include <string>

#include "desktop/DialogSettings.h"

namespace vpihost {

struct PlayState {
    std::mutex mutex;
    DialogSettings options;   // what the next start dialog gets
    bool played = false;      // the start dialog appeared and was played
    bool stayedOpen = false;  // Start was refused: the dialog stayed open
    std::string lastBox;      // the text of the last message box, UTF-8
};

// This process's desktop state (the platform's desktop defines it).
PlayState& DesktopState();

// "message box: ..." on stderr, the box's lines as one line.
void SayMessageBox(const std::string& utf8);

}  // namespace vpihost
