// The receiver types an option may name (--receiver, --simulate).
#pragma once

namespace vpihost {

enum class Receiver { kUnset, kNmea, kSony };

}  // namespace vpihost
