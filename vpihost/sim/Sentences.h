// What the simulated receivers send for one second of the drive: the NMEA
// 0183 burst (4800 baud) and the Sony fixed-column record (9600 baud).
#pragma once

#include <string>

#include "Route.h"

namespace vpisim {

struct UtcTime {
    int year;  // four digits
    int month, day, hour, minute, second;
    long SecondOfDay() const { return hour * 3600L + minute * 60L + second; }
};

// Broken-down UTC time of seconds since 1970, without the C library's
// time-zone state.
UtcTime UtcFromEpoch(long long epochSeconds);

// "*hh" checksum of a sentence body (the text between '$' and '*').
std::string NmeaChecksum(const std::string& body);

// "$body*hh\r\n".
std::string NmeaSentence(const std::string& body);

// Angles as the sentences carry them: ddmm.mmmmm / dddmm.mmmmm and the
// hemisphere letter.
std::string NmeaLatitude(double degrees);
std::string NmeaLongitude(double degrees);

constexpr int kNmeaBaud = 4800;
constexpr int kSonyBaud = 9600;
constexpr int kSatellitesInUse = 8;

// One second's burst: GGA, GSA, GSV (every fifth second), RMC, VTG, GLL and
// PGRMM (every tenth second, shifted off the GSV seconds).
std::string NmeaBurst(const UtcTime& time, const Truth& truth);

// One Sony record with its CR LF; columns counted from the 'S' of "SONY":
// 13-18 time, 19 latitude letter, 20-26 ddmmsss (seconds in tenths), 27
// longitude letter, 28-35 dddmmsss, 41-43 km/h, 44-46 course, 61 satellites,
// 62 datum letter (A = WGS 84).
std::string SonyRecord(const UtcTime& time, const Truth& truth);

// The command after which a Sony receiver starts sending.
constexpr const char* kSonyStartCommand = "@DMS\n";

}  // namespace vpisim
