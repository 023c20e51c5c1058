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

std::string CalendarDate(const std::string& d) {
    if (!AllDigits(d, 6)) return std::string();
    const int yy = std::stoi(d.substr(0, 2)), month = std::stoi(d.substr(2, 2)), day = std::stoi(d.substr(4, 2));
    const int year = yy >= 80 ? 1900 + yy : 2000 + yy;
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1] + (month == 2 && leap)) return std::string();
    return std::to_string(year) + "-" + d.substr(2, 2) + "-" + d.substr(4, 2);
}

std::string ClockTime(const std::string& t) {
    if (!AllDigits(t, 6) || t.substr(0, 2) > "23" || t[2] > '5' || t[4] > '5') return std::string();
    return t.substr(0, 2) + ":" + t.substr(2, 2) + ":" + t.substr(4, 2);
}

size_t DecimalChars(double value, char* buffer) {
    // Far behind the point the shortest digits would be long: a receiver's
    // values have no such digits.
    constexpr int kLongestShortest = 32, kDecimals = 9;
    if (!std::isfinite(value) || std::fabs(value) >= kDecimalLimit) return 0;
    if (value == 0) {  // also -0
        buffer[0] = '0';
        return 1;
    }
    char* const end = buffer + kDecimalBuffer;
    auto result = std::to_chars(buffer, end, value, std::chars_format::fixed);
    if (result.ec == std::errc() && result.ptr - buffer <= kLongestShortest) return result.ptr - buffer;
    result = std::to_chars(buffer, end, value, std::chars_format::fixed, kDecimals);
    char* last = result.ptr;
    while (last[-1] == '0') --last;
    if (last[-1] == '.') --last;
    if (last - buffer == 2 && buffer[0] == '-' && buffer[1] == '0') {
        buffer[0] = '0';
        return 1;
    }
    return last - buffer;
}

std::string DecimalText(double value) {
    char buffer[kDecimalBuffer];
    return std::string(buffer, DecimalChars(value, buffer));
}

bool CourseFits(double degrees) { return std::isfinite(degrees) && degrees >= 0 && degrees < 360; }
bool SpeedFits(double kmh) { return std::isfinite(kmh) && kmh >= 0; }

bool CarriesData(const tagGPSNAVIINFO& info) {
    return info.szTime[0] != '\0' || info.szDate[0] != '\0' || info.dLatitude != 0 || info.dLongitude != 0 ||
           info.dAltitude != 0 || info.dCourse != 0 || info.dSpeed != 0 || info.nSatellites != 0 || info.nDatum != 0;
}

std::string HumanLine(const tagGPSNAVIINFO& info, long n) {
    char line[256];
    if (!CarriesData(info)) {
        snprintf(line, sizeof line, "%5ld  no data yet: the record the module sends as the link starts", n);
        return line;
    }
    std::string time = TimeText(info);
    std::string date = DateText(info);
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
