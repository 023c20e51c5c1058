// Receiver output used by the decoder benchmarks: one sentence of each kind,
// as the line assembler hands them over (carriage return still in the line),
// and a mixed burst of a typical receiver.
#pragma once

#include <stdio.h>

#include <string>
#include <vector>

namespace bench_sentences {

// Appends "*hh\r" with the checksum of the text between '$' and the end.
inline std::string WithChecksum(const char* pszLine) {
    unsigned int nSum = 0;
    for (const char* p = pszLine + 1; *p; ++p) nSum ^= static_cast<unsigned char>(*p);
    char szTail[8];
    snprintf(szTail, sizeof szTail, "*%02X\r", nSum);
    return std::string(pszLine) + szTail;
}

inline const char* const kGga = "$GPGGA,123519.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,*69\r";
inline const char* const kGsa = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r";
inline const char* const kRmc = "$GPRMC,123519.00,A,4807.0380,N,01131.0000,E,022.4,084.4,230394,003.1,W*44\r";
inline const char* const kVtg = "$GPVTG,084.4,T,081.3,M,022.4,N,041.5,K*48\r";
inline const char* const kGll = "$GPGLL,4916.4500,N,12311.1200,W,225444.00,A,A*72\r";
inline const char* const kPgrmm = "$PGRMM,WGS 84*06\r";
inline const char* const kGsv = "$GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75\r";
inline const char* const kSony = "SONY---------123519N3540123E13944567-----020090--------------7A\r";

// Ten fixes of GGA, GSA, RMC, VTG, one second apart on a moving receiver,
// with a PGRMM after every fifth.
inline std::vector<std::string> MixedBurst() {
    std::vector<std::string> lines;
    char szLine[128];
    for (int nFix = 0; nFix < 10; ++nFix) {
        int nSecond = 10 + nFix;
        int nLatitude = 380 + 7 * nFix;
        int nLongitude = 9 * nFix;
        snprintf(szLine, sizeof szLine, "$GPGGA,1235%02d.00,4807.0%03d,N,01131.0%03d,E,1,%02d,0.9,545.%d,M,46.9,M,,",
                 nSecond, nLatitude, nLongitude, 6 + nFix % 4, nFix);
        lines.push_back(WithChecksum(szLine));
        lines.push_back(kGsa);
        snprintf(szLine, sizeof szLine, "$GPRMC,1235%02d.00,A,4807.0%03d,N,01131.0%03d,E,02%d.4,08%d.4,230394,003.1,W",
                 nSecond, nLatitude, nLongitude, nFix, nFix);
        lines.push_back(WithChecksum(szLine));
        snprintf(szLine, sizeof szLine, "$GPVTG,08%d.4,T,081.3,M,02%d.4,N,04%d.5,K", nFix, nFix, nFix);
        lines.push_back(WithChecksum(szLine));
        if (nFix % 5 == 4) lines.push_back(kPgrmm);
    }
    return lines;
}

}  // namespace bench_sentences
