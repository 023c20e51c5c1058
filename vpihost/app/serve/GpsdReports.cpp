#include "serve/GpsdReports.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "output/FixFormat.h"

namespace vpihost {

namespace {

// The module counts satellites as 99 when a receiver reports fewer than 3.
constexpr int kFewSatellites = 99;

bool HasPosition(const tagGPSNAVIINFO& info) {
    const double lat = info.dLatitude, lon = info.dLongitude;
    return std::isfinite(lat) && std::isfinite(lon) && std::fabs(lat) <= 90 && std::fabs(lon) <= 180 &&
           !(lat == 0 && lon == 0);
}

std::string Time(const tagGPSNAVIINFO& info, const ReportFacts& facts) {
    const std::string time = FieldText(info.szTime, sizeof info.szTime);
    const std::string date = DateText(info);
    if (!facts.timesAreUtc || date.empty() || time.size() != 6 || TimeText(info).size() != 8) return std::string();
    return ",\"time\":\"" + date + "T" + TimeText(info) + ".000Z\"";
}

std::string Head(const char* kind, const tagGPSNAVIINFO& info, const ReportFacts& facts) {
    return std::string("{\"class\":\"") + kind + "\",\"device\":" + JsonString(facts.device) + Time(info, facts);
}

}  // namespace

std::string ReportDevice(const std::string& device, const std::string& replay) {
    return !device.empty() ? device : !replay.empty() ? replay : std::string("vpihost");
}

std::string TpvReport(const tagGPSNAVIINFO& info, const ReportFacts& facts) {
    const bool position = HasPosition(info);
    // The module's altitude is 0 until a GGA with a fix carries one, and 0
    // again after a GGA without: 0 is no altitude.
    const bool altitude = position && std::isfinite(info.dAltitude) && info.dAltitude != 0;
    std::string line = Head("TPV", info, facts) + ",\"mode\":" + (!position ? "1" : altitude ? "3" : "2");
    if (!position) return line + "}";
    line += ",\"lat\":" + ShortestDouble(info.dLatitude) + ",\"lon\":" + ShortestDouble(info.dLongitude);
    if (altitude) {
        const std::string alt = ShortestDouble(info.dAltitude);
        line += ",\"altMSL\":" + alt + ",\"alt\":" + alt;
    }
    // A course of 0 is the module's "none" too: it is due north only while
    // moving, once the receiver has sent another course.
    const bool moving = std::isfinite(info.dSpeed) && info.dSpeed != 0;
    if (std::isfinite(info.dCourse) && (info.dCourse != 0 || (moving && facts.trackSeen)))
        line += ",\"track\":" + ShortestDouble(info.dCourse);
    if (std::isfinite(info.dSpeed) && facts.speedSeen) line += ",\"speed\":" + ShortestDouble(info.dSpeed / 3.6);
    return line + "}";
}

std::string SkyReport(const tagGPSNAVIINFO& info, const ReportFacts& facts) {
    if (!facts.satellitesSeen || info.nSatellites < 0 || info.nSatellites == kFewSatellites) return std::string();
    return Head("SKY", info, facts) + ",\"uSat\":" + std::to_string(info.nSatellites) + "}";
}

std::string VersionReport(const std::string& release) {
    return "{\"class\":\"VERSION\",\"release\":" + JsonString(release) + ",\"rev\":" + JsonString(release) +
           ",\"proto_major\":" + std::to_string(kProtoMajor) + ",\"proto_minor\":" + std::to_string(kProtoMinor) + "}";
}

std::string DeviceReport(const std::string& device, const std::string& activated, int bps) {
    const std::string head = "{\"class\":\"DEVICE\",\"path\":" + JsonString(device);
    if (activated.empty()) return head + ",\"activated\":0}";
    std::string one = head + ",\"driver\":\"vpihost\",\"activated\":" + JsonString(activated) + ",\"flags\":1";
    if (bps > 0) one += ",\"bps\":" + std::to_string(bps);
    return one + "}";
}

std::string DevicesReport(const std::string& device, const std::string& activated, int bps) {
    return "{\"class\":\"DEVICES\",\"devices\":[" + DeviceReport(device, activated, bps) + "]}";
}

std::string WatchReport(const WatchPolicy& p) {
    auto flag = [](bool on) { return on ? "true" : "false"; };
    return std::string("{\"class\":\"WATCH\",\"enable\":") + flag(p.enable) + ",\"json\":" + flag(p.json) +
           ",\"nmea\":" + flag(p.nmea) + ",\"raw\":" + std::to_string(p.raw) +
           ",\"scaled\":false,\"timing\":false,\"split24\":false,\"pps\":false}";
}

std::string PollReport(const std::string& isoNow, const std::string& tpv, const std::string& sky) {
    return "{\"class\":\"POLL\",\"time\":" + JsonString(isoNow) + ",\"active\":" + (tpv.empty() ? "0" : "1") +
           ",\"tpv\":[" + tpv + "],\"sky\":[" + sky + "]}";
}

std::string ErrorReport(const std::string& message) {
    return "{\"class\":\"ERROR\",\"message\":" + JsonString(message) + "}";
}

}  // namespace vpihost
