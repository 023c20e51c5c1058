#include "run/LinkControl.h"

#include "cli/Console.h"
#include "shell/Texts.h"

namespace vpihost {

void LinkControl::ListRegistrations() {
    m_menus = m_host.Menus();
    m_hooks = m_host.Hooks();
    for (const auto& menu : m_menus)
        Status("it adds \"" + Cp932ToUtf8(menu.text) + "\" to " +
               (menu.place == VPI_MENU_PLACE_GPS ? std::string("the GPS menu")
                                                 : "menu place " + std::to_string(menu.place)));
    for (const auto& hook : m_hooks)
        Status(hook.kind == VPI_HOOK_KIND_COMMAND ? std::string("it listens to the host's commands (GPS stop)")
                                                  : "it hooks host events of kind " + std::to_string(hook.kind));
    for (const auto& menu : m_menus)
        if (menu.place == VPI_MENU_PLACE_GPS && menu.callback && !m_item) m_item = &menu;
}

std::string LinkControl::Choose() {
    const int startsBefore = m_host.NavigationStarts();
    m_item->callback(VPI_MENU_CHOOSE, 0, 0);
    if (m_host.NavigationStarts() > startsBefore) return std::string();
    std::string reason = m_desktop.StartDialogOutcome();
    if (reason.empty()) reason = m_desktop.LastMessageBox();
    if (reason.empty()) reason = "the start dialog was closed without Start";
    return reason;
}

bool LinkControl::PortRefused() const { return m_desktop.LastMessageBox() == TEXT_CANNOT_OPEN_PORT; }

void LinkControl::Stop() {
    for (const auto& hook : m_hooks)
        if (hook.kind == VPI_HOOK_KIND_COMMAND && hook.callback) hook.callback(VPI_HOOK_STOP_GPS, 0, 0);
}

}  // namespace vpihost
