// The desktop in front of the plug-in: its message boxes and the start
// dialog. vpihost plays the user: message boxes go to stderr and are
// answered with OK, and the start dialog is clicked through from the
// options. On Linux through the Win32 stand-in's control API; on Windows
// in the real windows, from a watcher thread.
#pragma once

#include <string>

#include "desktop/DialogSettings.h"

namespace vpihost {

class Desktop {
public:
    Desktop();
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // Made on the thread that runs the plug-in's windows (the UI thread).
    // Before the menu item is chosen: arranges that the dialog gets the
    // options. False with a reason when an option cannot be played here.
    bool PrepareStartDialog(const DialogSettings& settings, std::string* error);

    // After the menu callback: why the start dialog did not lead to a link,
    // as far as vpihost saw it (empty when it does not know).
    std::string StartDialogOutcome() const;

    // The text of the last message box, UTF-8; empty when none was seen.
    std::string LastMessageBox() const;
};

}  // namespace vpihost
