#include "output/FixFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vpihost {

namespace {

bool AllDigits(const std::string& s, size_t n) {
    if (s.size() != n) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

std::string Printable(const std::string& s) {
    std::string out;
    for (char c : s) out += (c >= 0x20 && c < 0x7F) ? c : '?';
    return out;
}

}  // namespace

std::string ShortestDouble(double value) {
    if (!std::isfinite(value)) return "null";
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string FieldText(const char* field, size_t width) {
    size_t length = 0;
    while (length < width && field[length] != '\0') ++length;
    return std::string(field, length);
}

std::string TimeText(const tagGPSNAVIINFO& info) {
    std::string t = FieldText(info.szTime, sizeof info.szTime);
    if (AllDigits(t, 6)) return t.substr(0, 2) + ":" + t.substr(2, 2) + ":" + t.substr(4, 2);
    return Printable(t);
}

std::string DateText(const tagGPSNAVIINFO& info) {
    std::string d = FieldText(info.szDate, sizeof info.szDate);
    if (!AllDigits(d, 6)) return std::string();
    int yy = (d[0] - '0') * 10 + (d[1] - '0');
    return std::to_string(yy >= 80 ? 1900 + yy : 2000 + yy) + "-" + d.substr(2, 2) + "-" + d.substr(4, 2);
}

std::string HumanLine(const tagGPSNAVIINFO& info, long n) {
    std::string time = TimeText(info);
    std::string date = DateText(info);
    char line[256];
    snprintf(line, sizeof line,
             "%5ld  %-8s  %-10s  %10.6f %c  %11.6f %c  %7.1f m  %6.1f km/h  course %5.1f  sats %2d  %s", n,
             time.empty() ? "--:--:--" : time.c_str(), date.empty() ? "----------" : date.c_str(),
             std::fabs(info.dLatitude), info.dLatitude < 0 ? 'S' : 'N', std::fabs(info.dLongitude),
             info.dLongitude < 0 ? 'W' : 'E', info.dAltitude, info.dSpeed, info.dCourse, info.nSatellites,
             info.nDatum == 1 ? "Tokyo" : "WGS 84");
    return line;
}

std::string HumanHeader() {
    // HumanLine's widths, with each unit or hemisphere letter counted in.
    char line[160];
    snprintf(line, sizeof line, "%5s  %-8s  %-10s  %12s  %13s  %9s  %11s  %12s  %7s  %s", "call", "time", "date",
             "latitude", "longitude", "altitude", "speed", "course", "sats", "datum");
    return line;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7E) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string JsonLine(const tagGPSNAVIINFO& info, long n) {
    std::string line = "{\"n\":" + std::to_string(n);
    line += ",\"dwSize\":" + std::to_string(info.dwSize);
    line += ",\"dLatitude\":" + ShortestDouble(info.dLatitude);
    line += ",\"dLongitude\":" + ShortestDouble(info.dLongitude);
    line += ",\"dAltitude\":" + ShortestDouble(info.dAltitude);
    line += ",\"dCourse\":" + ShortestDouble(info.dCourse);
    line += ",\"dSpeed\":" + ShortestDouble(info.dSpeed);
    line += ",\"szTime\":" + JsonString(FieldText(info.szTime, sizeof info.szTime));
    line += ",\"nSatellites\":" + std::to_string(info.nSatellites);
    line += ",\"nInterval\":" + std::to_string(info.nInterval);
    line += ",\"nDatum\":" + std::to_string(info.nDatum);
    line += ",\"szDate\":" + JsonString(FieldText(info.szDate, sizeof info.szDate));
    return line + "}";
}

}  // namespace vpihost
