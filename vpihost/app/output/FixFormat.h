// How one GPS navigation info record is printed: a line for people, or one
// JSON object with the record's members under their own names.
#pragma once

#include <string>

#include "GpsNaviInfo.h"

namespace vpihost {

// The shortest decimal text that reads back to the same double; "null" for
// NaN and infinities, which JSON cannot carry.
std::string ShortestDouble(double value);

// A char array member up to its NUL, never past its width.
std::string FieldText(const char* field, size_t width);

// "hh:mm:ss" from six digits, or the text as it came (printable ASCII only).
std::string TimeText(const tagGPSNAVIINFO& info);
// "yyyy-mm-dd" from yymmdd (years 80-99 are 19xx), or empty.
std::string DateText(const tagGPSNAVIINFO& info);

// For the formats that must hold a true moment (GPX, the TPV's time): the
// same texts, but only for a calendar date ("yyyy-mm-dd" of yymmdd) and a
// time of day from 00:00:00 to 23:59:59 ("hh:mm:ss" of hhmmss); else empty,
// never a date rolled over into another month.
std::string CalendarDate(const std::string& yymmdd);
std::string ClockTime(const std::string& hhmmss);

// A plain decimal, as xsd:decimal and the GPS tools' readers take it: no
// exponent, the shortest digits that read back to the same double (digits
// past the ninth decimal rounded away where there would be many). Empty
// when the value has none: not finite, or kDecimalLimit or more in size.
std::string DecimalText(double value);
constexpr double kDecimalLimit = 1e9;
// The same into a buffer of kDecimalBuffer chars: its length, 0 for none.
constexpr size_t kDecimalBuffer = 64;
size_t DecimalChars(double value, char* buffer);

// A course the formats hold: from 0 up to (not including) 360 degrees; a
// speed: 0 or more.
bool CourseFits(double degrees);
bool SpeedFits(double kmh);

// Whether the record holds anything from the receiver: the one the module
// sends as a link starts holds nothing but its size and the interval.
bool CarriesData(const tagGPSNAVIINFO& info);

// n is the call's number, from 0. A record without data says so rather
// than showing a position of 0/0.
std::string HumanLine(const tagGPSNAVIINFO& info, long n);
// The names of HumanLine's columns, each over its column.
std::string HumanHeader();
std::string JsonLine(const tagGPSNAVIINFO& info, long n);
// A JSON string literal with its quotes; control characters and bytes above
// 0x7E escaped, so any bytes give valid JSON.
std::string JsonString(const std::string& text);

}  // namespace vpihost
