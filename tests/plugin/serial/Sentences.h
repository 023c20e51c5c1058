// Receiver output for the serial tests: well-formed sentences that differ in
// their time, so that each record tells which sentence made it.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

#include "host/GpsNaviInfo.h"
#include "serial/ModuleState.h"

// "$body*hh\r\n", with the checksum the body needs.
inline std::string Sentence(const char* pszBody) {
    unsigned int nSum = 0;
    for (const char* p = pszBody; *p; ++p) nSum ^= static_cast<unsigned char>(*p);
    char szTail[8];
    snprintf(szTail, sizeof szTail, "*%02X\r\n", nSum);
    return std::string("$") + pszBody + szTail;
}

inline std::string Gga(int nTime) {
    char sz[128];
    snprintf(sz, sizeof sz, "GPGGA,%06d,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", nTime);
    return Sentence(sz);
}

inline std::string Rmc(int nTime) {
    char sz[128];
    snprintf(sz, sizeof sz, "GPRMC,%06d,A,3539.000,N,13945.000,E,010.0,084.4,230394,003.1,W", nTime);
    return Sentence(sz);
}

inline std::string Vtg(int nCourse) {
    char sz[128];
    snprintf(sz, sizeof sz, "GPVTG,%03d.0,T,,M,005.0,N,009.3,K", nCourse);
    return Sentence(sz);
}

inline std::string Gsa() { return "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n"; }

inline std::string TimeOf(const tagGPSNAVIINFO& info) {
    return std::string(info.szTime, strnlen(info.szTime, sizeof info.szTime));
}

inline std::string TimeText(int nTime) {
    char sz[16];
    snprintf(sz, sizeof sz, "%06d", nTime);
    return sz;
}

// The record as a link start leaves it.
inline void ResetNaviInfo() {
    memset(&g_GpsNaviInfo, 0, sizeof g_GpsNaviInfo);
    g_GpsNaviInfo.dwSize = 80;
}
