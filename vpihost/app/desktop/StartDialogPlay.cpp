#include "desktop/StartDialogPlay.h"

#include <string>

namespace vpihost {

namespace {

void SetCheck(HWND dialog, int id, int wanted) {
    if (wanted >= 0 && Checked(dialog, id) != (wanted == 1)) Click(dialog, id);
}

}  // namespace

void ClickOptions(HWND dialog, const DialogSettings& o) {
    if (o.port >= 1 && o.port <= 4) Click(dialog, kPortRadioFirst + o.port - 1);
    if (o.receiver == Receiver::kNmea && !Checked(dialog, kNmeaRadio)) Click(dialog, kNmeaRadio);
    if (o.receiver == Receiver::kSony && !Checked(dialog, kSonyRadio)) Click(dialog, kSonyRadio);
    SetCheck(dialog, kCenterCheck, o.center);
    SetCheck(dialog, k3DCheck, o.view3d);
    SetCheck(dialog, kRecordCheck, o.record);
    if (o.interval > 0) dialog_clicks::SetText(dialog, kIntervalCombo, std::to_string(o.interval).c_str());
}

}  // namespace vpihost
