#include "module/PluginProfile.h"

#include "serial/ReceiverType.h"

namespace vpihost {

int StoredPort(const IniProfile& profile) { return profile.GetInt(kPluginId, "GPSNavi CommPort", 1) + 1; }
int StoredReceiverType(const IniProfile& profile) {
    return profile.GetInt(kPluginId, "GPSNavi Protcol", NT_RECEIVER_NMEA);
}

bool StoredAnyTalker(const IniProfile& profile) { return profile.GetInt(kPluginId, kKeyAnyTalker, 0) == 1; }

int PortToOpen(const Options& o, const IniProfile& profile) { return o.port > 0 ? o.port : StoredPort(profile); }

bool SonyToChoose(const Options& o, const IniProfile& profile) {
    return o.receiver == Receiver::kSony ||
           (o.receiver == Receiver::kUnset && StoredReceiverType(profile) == NT_RECEIVER_SONY);
}

}  // namespace vpihost
