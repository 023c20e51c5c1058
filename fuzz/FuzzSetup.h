// Common set-up of the decoder harnesses: the record as a link start leaves
// it, and a link configured from the input's first byte.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "CheckingHost.h"
#include "serial/GPSComm.h"
#include "serial/ModuleState.h"

inline void ResetRecord() {
    memset(&g_GpsNaviInfo, 0, sizeof g_GpsNaviInfo);
    g_GpsNaviInfo.dwSize = 80;
    g_GpsNaviInfo.nInterval = kFuzzInterval;
}

// Bits 0-1: protocol (0, 1, -1, 2); bit 2: local time; bits 3-5: course-hold
// threshold -1 to 6; bit 6: any talker.
inline void Configure(uint8_t bConfig, CGPSComm* pComm, CheckingHost* pHost) {
    static const int anProtocols[4] = {0, 1, -1, 2};
    pComm->m_nProtocol = anProtocols[bConfig & 3];
    pHost->nLocalTime = (bConfig >> 2) & 1;
    pComm->m_nFixSpeed = ((bConfig >> 3) & 7) - 1;
    pComm->m_bAnyTalker = (bConfig >> 6) & 1;
}

// A half-hour zone exercises the carry of the minutes.
inline void UsePartHourZone() {
    setenv("TZ", "IST-5:30", 1);
    tzset();
}
