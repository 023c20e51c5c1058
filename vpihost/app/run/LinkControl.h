// The plug-in's link as the host's menu and commands control it: what the
// plug-in registered, its GPS menu item chosen so that the start dialog
// runs (played by the desktop), and the host's GPS stop command.
#pragma once

#include <string>
#include <vector>

#include "desktop/Desktop.h"
#include "desktop/DialogSettings.h"
#include "module/HostApp.h"

namespace vpihost {

class LinkControl {
public:
    explicit LinkControl(HostApp& host) : m_host(host) {}

    // After Load: says what the plug-in registered.
    void ListRegistrations();
    // The GPS menu item that starts the link; false when there is none.
    bool HasMenuItem() const { return m_item != nullptr; }
    const std::string& MenuItemText() const { return m_item->text; }
    // Before Choose: the start dialog is to get the settings; false with a
    // reason when an option cannot be played here.
    bool Prepare(const DialogSettings& settings, std::string* error) {
        return m_desktop.PrepareStartDialog(settings, error);
    }
    // Chooses the menu item, so that the start dialog runs; empty once a
    // link runs, else why not.
    std::string Choose();
    // The menu item's dialog refused the port (Cannot Open COM port).
    bool PortRefused() const;
    // The host's GPS stop command.
    void Stop();

private:
    HostApp& m_host;
    Desktop m_desktop;  // made on this thread, which runs the plug-in's windows
    std::vector<HostApp::Menu> m_menus;
    std::vector<HostApp::Hook> m_hooks;
    const HostApp::Menu* m_item = nullptr;
};

}  // namespace vpihost
