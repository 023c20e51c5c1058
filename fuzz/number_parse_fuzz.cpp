// Differential check of the number readers' short paths: for every input the
// same value as atof, atoi and atol, bit for bit, and the same text as
// "%06ld" for the time of day.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "decode/NumberParse.h"
#include "decode/TimeFormat.h"

static void Require(bool bCondition) {
    if (!bCondition) __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    // The readers see field buffers: at most 79 characters and a NUL.
    char szText[80];
    if (nSize > sizeof szText - 1) nSize = sizeof szText - 1;
    memcpy(szText, pData, nSize);
    szText[nSize] = '\0';

    double dFast = ParseDouble(szText);
    double dLibrary = atof(szText);
    Require(memcmp(&dFast, &dLibrary, sizeof dFast) == 0);
    Require(ParseInt(szText) == atoi(szText));
    long lValue = atol(szText);
    Require(ParseLong(szText) == lValue);

    char szExpected[32];
    snprintf(szExpected, sizeof szExpected, "%06ld", lValue);
    szExpected[6] = '\0';
    char szTime[7];
    FormatTime6(lValue, szTime);
    Require(strcmp(szTime, szExpected) == 0);
    return 0;
}
