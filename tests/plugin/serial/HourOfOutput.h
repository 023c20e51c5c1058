// An hour of a 1 Hz NMEA receiver driving north-east: GGA, GSA, RMC and VTG
// each second, positions that change every second, correct checksums.
#pragma once

#include <cstdio>
#include <string>

namespace soak {

inline std::string WithChecksum(const std::string& body) {
    unsigned char sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

// Latitude ddmm.mmmm of second s: 48 deg 07.0000' plus 0.0010' a second.
inline double RawLatitude(int s) { return 4807.0 + 0.001 * s; }

inline std::string Burst(int s) {
    char time[16], lat[16], body[160];
    snprintf(time, sizeof time, "%02d%02d%02d", 10 + s / 3600, (s / 60) % 60, s % 60);
    snprintf(lat, sizeof lat, "%09.4f", RawLatitude(s));
    std::string out;
    snprintf(body, sizeof body, "GPGGA,%s,%s,N,01131.0000,E,1,%02d,0.9,545.4,M,46.9,M,,", time, lat, 4 + s % 8);
    out += WithChecksum(body);
    out += WithChecksum("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1");
    snprintf(body, sizeof body, "GPRMC,%s,A,%s,N,01131.0000,E,010.0,045.0,081226,,", time, lat);
    out += WithChecksum(body);
    out += WithChecksum("GPVTG,045.0,T,,M,010.0,N,018.5,K");
    return out;
}

constexpr int kLinesPerBurst = 4;

}  // namespace soak
