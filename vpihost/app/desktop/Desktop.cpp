// What the Linux and the Windows desktop share: the outcome of the start
// dialog and the message boxes' texts.
#include "cli/Console.h"
#include "desktop/Desktop.h"
#include "desktop/DesktopState.h"

namespace vpihost {

void SayMessageBox(const std::string& utf8) {
    // One line each, so that every message stays one line of stderr.
    std::string line;
    for (char c : utf8) {
        if (c == '\n') {
            if (!line.empty() && line.back() != ' ') line += " / ";
        } else if (c != '\r') {
            line += c;
        }
    }
    while (line.size() >= 3 && line.compare(line.size() - 3, 3, " / ") == 0) line.resize(line.size() - 3);
    ErrorLine("message box: " + line);
}

std::string Desktop::StartDialogOutcome() const {
    PlayState& state = DesktopState();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.played) return "the start dialog did not appear";
    if (state.stayedOpen)
        return "the start dialog refused Start" + (state.lastBox.empty() ? "" : " (" + state.lastBox + ")");
    return std::string();
}

std::string Desktop::LastMessageBox() const {
    PlayState& state = DesktopState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.lastBox;
}

}  // namespace vpihost
