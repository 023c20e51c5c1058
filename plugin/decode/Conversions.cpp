// Value conversions shared by the NMEA and Sony decoders: angles to decimal
// degrees, the time of day into the view's time zone, dates to yymmdd.
#include <crt_compat.h>
#include <limits.h>
#include <string.h>

#include "decode/DecodeConstants.h"
#include "decode/NumberParse.h"
#include "decode/TimeFormat.h"
#include "host/PluginIf.h"
#include "serial/GPSComm.h"

// Seconds east of UTC of local standard time, as loaded by _tzset in the
// constructor.
static long ZoneOffsetEast() { return -_timezone; }

// Truncation toward zero into 32 bits, as the x86 conversion does it: a value
// without a 32-bit integer part (huge, infinite, NaN) gives INT_MIN instead of
// undefined behaviour.
static int TruncateToInt32(double dValue) {
    if (dValue > -2147483649.0 && dValue < 2147483648.0) {
        return (int)dValue;
    }
    return INT_MIN;
}

double CGPSComm::ToDegrees(double dValue) {
    // One rounding per step, in this order: the host has always received
    // exactly these doubles.
    double dScaled = dValue * NT_ONE_HUNDREDTH;
    int nDegrees = TruncateToInt32(dScaled);
    double dMinutesPart = dScaled - nDegrees;
    double dFraction = dMinutesPart * NT_MINUTES_TO_DEGREES;
    return nDegrees + dFraction;
}

// Adds a part-hour zone offset (seconds, |n| < 3600) to the minutes and
// seconds, carrying whole hours into the hour.
static void AddPartHour(long lPartHour, long* plHour, long* plMinSec) {
    long lSeconds = (*plMinSec / 100) * 60 + *plMinSec % 100 + lPartHour;
    long lCarry = lSeconds / 3600;
    lSeconds %= 3600;
    if (lSeconds < 0) {
        lSeconds += 3600;
        --lCarry;
    }
    *plHour += lCarry;
    *plMinSec = (lSeconds / 60) * 100 + lSeconds % 60;
}

void CGPSComm::ToLocalTime(char* pszTime) {
    long lValue = ParseLong(pszTime);
    long lHour = lValue / 10000;
    long lMinSec = lValue % 10000;

    // The host may fill only what it knows; nothing unset is ever read.
    tagVIEWOPTIONS options;
    memset(&options, 0, sizeof(options));
    options.dwSize = VPI_VIEWOPTIONS_SIZE;
    VPI_GetViewOptions(VPI_GetActiveView(), &options);

    if (options.bLocalTime == 1) {
        long lOffset = ZoneOffsetEast();
        lHour += lOffset / 3600;
        // Zones such as UTC+5:30 must not lose their half hour.
        if (lOffset % 3600 != 0) {
            AddPartHour(lOffset % 3600, &lHour, &lMinSec);
        }
    }
    if (lHour > 23) {
        lHour -= 24;
    }
    if (lHour < 0) {
        lHour += 24;
    }

    // Far outside a time of day the sum can leave long's range: let it wrap
    // instead of overflowing.
    long lResult = (long)((unsigned long)lHour * 10000UL + (unsigned long)lMinSec);
    FormatTime6(lResult, pszTime);
}

void CGPSComm::ToDateYYMMDD(char* pszDate) {
    size_t nLength = strnlen(pszDate, 8);
    char szResult[7];
    if (nLength < 6) {
        // Too short to be a date: empty, not leftovers of the field.
        memset(pszDate, 0, sizeof(szResult));
        return;
    }
    // ddmmyyyy keeps the last two digits of the year, ddmmyy all of them.
    const char* pszYear = nLength >= 8 ? pszDate + 6 : pszDate + 4;
    szResult[0] = pszYear[0];
    szResult[1] = pszYear[1];
    szResult[2] = pszDate[2];
    szResult[3] = pszDate[3];
    szResult[4] = pszDate[0];
    szResult[5] = pszDate[1];
    szResult[6] = '\0';
    memcpy(pszDate, szResult, sizeof(szResult));
}
