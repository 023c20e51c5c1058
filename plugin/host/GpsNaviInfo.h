// The GPS navigation info record shared with the host: 80 bytes, fixed layout.
#ifndef GPSNAVIINFO_H
#define GPSNAVIINFO_H

#include <stddef.h>

struct tagGPSNAVIINFO {
    unsigned int dwSize;      // always 80
    unsigned int dwReserved;  // gap before the first double, stays zero
    double dLatitude;         // decimal degrees, north positive
    double dLongitude;        // decimal degrees, east positive
    double dAltitude;
    double dCourse;   // degrees
    double dSpeed;    // km/h
    char szTime[8];   // hhmmss and NUL
    int nSatellites;  // 99: count replaced by the fallback
    int nInterval;    // display update interval, seconds
    int nDatum;       // 1: Tokyo datum
    char szDate[12];  // yymmdd and NULs; only 9 bytes are written
};

// The layout is the host's contract; i686 aligns doubles in structs to 8 as
// x86-64 does, so both platforms must give the same offsets.
static_assert(sizeof(tagGPSNAVIINFO) == 80, "record size");
static_assert(offsetof(tagGPSNAVIINFO, dwSize) == 0, "dwSize");
static_assert(offsetof(tagGPSNAVIINFO, dwReserved) == 4, "dwReserved");
static_assert(offsetof(tagGPSNAVIINFO, dLatitude) == 8, "dLatitude");
static_assert(offsetof(tagGPSNAVIINFO, dLongitude) == 16, "dLongitude");
static_assert(offsetof(tagGPSNAVIINFO, dAltitude) == 24, "dAltitude");
static_assert(offsetof(tagGPSNAVIINFO, dCourse) == 32, "dCourse");
static_assert(offsetof(tagGPSNAVIINFO, dSpeed) == 40, "dSpeed");
static_assert(offsetof(tagGPSNAVIINFO, szTime) == 48, "szTime");
static_assert(offsetof(tagGPSNAVIINFO, nSatellites) == 56, "nSatellites");
static_assert(offsetof(tagGPSNAVIINFO, nInterval) == 60, "nInterval");
static_assert(offsetof(tagGPSNAVIINFO, nDatum) == 64, "nDatum");
static_assert(offsetof(tagGPSNAVIINFO, szDate) == 68, "szDate");

#define GPSNAVIINFO_SIZE 80

#endif
