#include "Sentences.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace vpisim {

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[160];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return std::string();
    return std::string(buffer, static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1);
}

// Whole degrees and minutes rounded to five decimals, the carry included
// (59.999996 minutes is the next degree).
void DegreesMinutes(double degrees, int* whole, double* minutes) {
    long long units = std::llround(std::fabs(degrees) * 60.0 * 100000.0);  // 1e-5 minutes
    *whole = static_cast<int>(units / (60LL * 100000));
    *minutes = static_cast<double>(units % (60LL * 100000)) / 100000.0;
}

std::string Hms(const UtcTime& t) { return Format("%02d%02d%02d", t.hour, t.minute, t.second); }

// Sexagesimal digits with seconds in tenths: dd mm sss.
std::string SonyAngle(double degrees, int degreeDigits) {
    long long tenths = std::llround(std::fabs(degrees) * 36000.0);
    int whole = static_cast<int>(tenths / 36000);
    int minutes = static_cast<int>(tenths % 36000 / 600);
    int seconds = static_cast<int>(tenths % 600);
    return Format("%0*d%02d%03d", degreeDigits, whole, minutes, seconds);
}

}  // namespace

UtcTime UtcFromEpoch(long long epochSeconds) {
    long long days = epochSeconds / 86400;
    long long rest = epochSeconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Civil date from days since 1970-01-01 (proleptic Gregorian).
    days += 719468;
    long long era = (days >= 0 ? days : days - 146096) / 146097;
    long long dayOfEra = days - era * 146097;
    long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    long long mp = (5 * dayOfYear + 2) / 153;
    UtcTime t;
    t.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yearOfEra + era * 400 + (t.month <= 2 ? 1 : 0));
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest % 3600 / 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

std::string NmeaChecksum(const std::string& body) {
    unsigned char sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    return Format("*%02X", sum);
}

std::string NmeaSentence(const std::string& body) { return "$" + body + NmeaChecksum(body) + "\r\n"; }

std::string NmeaLatitude(double degrees) {
    int whole;
    double minutes;
    DegreesMinutes(degrees, &whole, &minutes);
    return Format("%02d%08.5f,%c", whole, minutes, degrees < 0 ? 'S' : 'N');
}

std::string NmeaLongitude(double degrees) {
    int whole;
    double minutes;
    DegreesMinutes(degrees, &whole, &minutes);
    return Format("%03d%08.5f,%c", whole, minutes, degrees < 0 ? 'W' : 'E');
}

std::string NmeaBurst(const UtcTime& t, const Truth& truth) {
    const std::string time = Hms(t) + ".00";
    const std::string position = NmeaLatitude(truth.latitude) + "," + NmeaLongitude(truth.longitude);
    const std::string date = Format("%02d%02d%02d", t.day, t.month, t.year % 100);
    const double knots = truth.speedKmh / 1.852;
    const long second = t.SecondOfDay();

    std::string burst;
    burst += NmeaSentence(Format("GPGGA,%s,%s,1,%02d,0.9,%.1f,M,39.4,M,,", time.c_str(), position.c_str(),
                                 kSatellitesInUse, truth.altitude));
    burst += NmeaSentence("GPGSA,A,3,02,05,09,12,15,18,21,25,,,,,1.6,0.9,1.3");
    if (second % 5 == 0) {
        burst += NmeaSentence("GPGSV,2,1,08,02,45,083,44,05,30,150,40,09,60,270,46,12,15,320,35");
        burst += NmeaSentence("GPGSV,2,2,08,15,52,012,45,18,22,201,38,21,70,115,47,25,10,295,31");
    }
    burst += NmeaSentence(
        Format("GPRMC,%s,A,%s,%.1f,%.1f,%s,,,A", time.c_str(), position.c_str(), knots, truth.course, date.c_str()));
    burst += NmeaSentence(Format("GPVTG,%.1f,T,,M,%.1f,N,%.1f,K,A", truth.course, knots, truth.speedKmh));
    burst += NmeaSentence(Format("GPGLL,%s,%s,A,A", position.c_str(), time.c_str()));
    if (second % 10 == 3) burst += NmeaSentence("PGRMM,WGS 84");
    return burst;
}

std::string SonyRecord(const UtcTime& t, const Truth& truth) {
    long speed = std::lround(truth.speedKmh);
    if (speed < 0) speed = 0;
    if (speed > 999) speed = 999;
    long course = std::lround(truth.course) % 360;
    long altitude = std::lround(truth.altitude);
    if (altitude > 9999) altitude = 9999;
    if (altitude < -999) altitude = -999;
    std::string record = "SONY";
    record += Format("DMS%02d%02d%02d", t.year % 100, t.month, t.day);  // 4-12, not read by the plug-in
    record += Hms(t);                                                   // 13-18
    record += truth.latitude < 0 ? 'S' : 'N';                           // 19
    record += SonyAngle(truth.latitude, 2);                             // 20-26
    record += truth.longitude < 0 ? 'W' : 'E';                          // 27
    record += SonyAngle(truth.longitude, 3);                            // 28-35
    record += Format("%+05ld", altitude);                               // 36-40
    record += Format("%03ld%03ld", speed, course);                      // 41-46
    record += "00090013000000";                                         // 47-60
    record += static_cast<char>('0' + kSatellitesInUse);                // 61
    record += 'A';                                                      // 62
    record += "\r\n";
    return record;
}

}  // namespace vpisim
