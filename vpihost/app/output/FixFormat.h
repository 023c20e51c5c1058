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

// n is the call's number, from 0.
std::string HumanLine(const tagGPSNAVIINFO& info, long n);
// The names of HumanLine's columns, each over its column.
std::string HumanHeader();
std::string JsonLine(const tagGPSNAVIINFO& info, long n);
// A JSON string literal with its quotes; control characters and bytes above
// 0x7E escaped, so any bytes give valid JSON.
std::string JsonString(const std::string& text);

}  // namespace vpihost
