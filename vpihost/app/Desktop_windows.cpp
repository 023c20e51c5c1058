#include "Desktop.h"

namespace vpihost {

Desktop::Desktop() = default;
Desktop::~Desktop() = default;

bool Desktop::PrepareStartDialog(const Options& o, IniProfile* profile, unsigned int id, std::string* error) {
    if (o.baud > 0) {
        *error = "--baud is played on Linux only; on Windows use the dialog's line-settings button";
        return false;
    }
    // The dialog opens with the stored settings: storing the options first
    // makes it show them, and the user confirms with Start.
    std::string ignored;
    if (o.port > 0) profile->SetInt(id, "GPSNavi CommPort", o.port - 1, &ignored);
    if (o.receiver != Receiver::kUnset)
        profile->SetInt(id, "GPSNavi Protcol", o.receiver == Receiver::kSony ? 1 : 0, &ignored);
    if (o.center >= 0) profile->SetInt(id, "GPSNavi Centering", o.center, &ignored);
    if (o.view3d >= 0) profile->SetInt(id, "GPSNavi 3DView", o.view3d, &ignored);
    if (o.record >= 0) profile->SetInt(id, "GPSNavi Record", o.record, &ignored);
    if (o.interval > 0) profile->SetInt(id, "GPSNavi Sampling", o.interval, &ignored);
    return true;
}

std::string Desktop::StartDialogOutcome() const { return std::string(); }
std::string Desktop::LastMessageBox() const { return std::string(); }

}  // namespace vpihost
