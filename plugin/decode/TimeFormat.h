// The time of day as text: "%06ld" of hhmmss, cut to the six characters and
// the NUL that a record's time member holds.
#pragma once

#include <stdio.h>
#include <string.h>

// Writes exactly 7 bytes at pszOut. Values of six digits or fewer, the only
// ones a time of day gives, are formatted by hand, digit for digit as "%06ld".
inline void FormatTime6(long lValue, char* pszOut) {
    if (lValue >= 0 && lValue <= 999999) {
        for (int i = 5; i >= 0; --i) {
            pszOut[i] = (char)('0' + lValue % 10);
            lValue /= 10;
        }
        pszOut[6] = '\0';
        return;
    }
    char szText[32];
    snprintf(szText, sizeof(szText), "%06ld", lValue);
    memcpy(pszOut, szText, 6);
    pszOut[6] = '\0';
}
