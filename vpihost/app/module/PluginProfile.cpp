#include "module/PluginProfile.h"

#include "serial/ReceiverType.h"

namespace vpihost {

int StoredPort(const IniProfile& profile) { return profile.GetInt(kPluginId, "GPSNavi CommPort", 1) + 1; }
int StoredReceiverType(const IniProfile& profile) {
    return profile.GetInt(kPluginId, "GPSNavi Protcol", NT_RECEIVER_NMEA);
}

bool StoredAnyTalker(const IniProfile& profile) { return profile.GetInt(kPluginId, kKeyAnyTalker, 0) == 1; }

int PortToOpen(int port, const IniProfile& profile) { return port > 0 ? port : StoredPort(profile); }

bool SonyToChoose(Receiver receiver, const IniProfile& profile) {
    return receiver == Receiver::kSony ||
           (receiver == Receiver::kUnset && StoredReceiverType(profile) == NT_RECEIVER_SONY);
}

}  // namespace vpihost
