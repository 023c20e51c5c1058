// What vpihost plays into the start dialog: the options a user would give
// it, each "as stored" unless set.
#pragma once

#include "cli/Receiver.h"

namespace vpihost {

struct DialogSettings {
    int port = 0;  // 1..4, 0: as stored
    Receiver receiver = Receiver::kUnset;
    int interval = 0;  // 0: as stored
    int center = -1;   // -1: as stored, 0 off, 1 on
    int view3d = -1;
    int record = -1;
    int baud = 0;  // 0: the line-settings button is not pressed
};

}  // namespace vpihost
