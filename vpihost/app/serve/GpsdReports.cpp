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

// Only a true moment: a date that is no calendar date gives no time.
std::string Time(const tagGPSNAVIINFO& info, const ReportFacts& facts) {
    const std::string date = CalendarDate(FieldText(info.szDate, sizeof info.szDate));
    const std::string time = ClockTime(FieldText(info.szTime, sizeof info.szTime));
    if (!facts.timesAreUtc || date.empty() || time.empty()) return std::string();
    return ",\"time\":\"" + date + "T" + time + ".000Z\"";
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
    // again after a GGA without: 0 is no altitude. One that no plain
    // decimal holds (1e308) is left out, and the fix is 2D.
    const std::string alt = position && info.dAltitude != 0 ? DecimalText(info.dAltitude) : std::string();
    std::string line = Head("TPV", info, facts) + ",\"mode\":" + (!position ? "1" : !alt.empty() ? "3" : "2");
    if (!position) return line + "}";
    line += ",\"lat\":" + ShortestDouble(info.dLatitude) + ",\"lon\":" + ShortestDouble(info.dLongitude);
    if (!alt.empty()) line += ",\"altMSL\":" + alt + ",\"alt\":" + alt;
    // A course of 0 is the module's "none" too: it is due north only while
    // moving, once the receiver has sent another course. The protocol's
    // track runs from 0 up to 360 and its speed from 0: others are left out.
    const bool moving = std::isfinite(info.dSpeed) && info.dSpeed > 0;
    if (CourseFits(info.dCourse) && (info.dCourse != 0 || (moving && facts.trackSeen)))
        line += ",\"track\":" + ShortestDouble(info.dCourse);
    if (SpeedFits(info.dSpeed) && facts.speedSeen) line += ",\"speed\":" + ShortestDouble(info.dSpeed / 3.6);
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
