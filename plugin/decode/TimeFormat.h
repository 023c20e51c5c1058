// The time of day as text: "%06ld" of hhmmss, cut to the six characters and
// the NUL that a record's time member holds.
#pragma once

#include <stdio.h>
#include <string.h>

// Writes exactly 7 bytes at pszOut.
inline void FormatTime6(long lValue, char* pszOut) {
    char szText[32];
    snprintf(szText, sizeof(szText), "%06ld", lValue);
    memcpy(pszOut, szText, 6);
    pszOut[6] = '\0';
}
