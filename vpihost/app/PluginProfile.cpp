#include "PluginProfile.h"

namespace vpihost {

int StoredPort(const IniProfile& profile) { return profile.GetInt(kPluginId, "GPSNavi CommPort", 1) + 1; }
int StoredReceiverType(const IniProfile& profile) { return profile.GetInt(kPluginId, "GPSNavi Protcol", 0); }

int PortToOpen(const Options& o, const IniProfile& profile) { return o.port > 0 ? o.port : StoredPort(profile); }

bool SonyToChoose(const Options& o, const IniProfile& profile) {
    return o.receiver == Receiver::kSony || (o.receiver == Receiver::kUnset && StoredReceiverType(profile) == 1);
}

}  // namespace vpihost
