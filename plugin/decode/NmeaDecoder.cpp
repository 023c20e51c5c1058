// DecodeLine: one complete receiver line into g_GpsNaviInfo, then one send to
// the host. The NMEA 0183 branch and the course hold live here.
#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include "decode/DecodeConstants.h"
#include "decode/FieldTokenizer.h"
#include "host/PluginIf.h"
#include "serial/GPSComm.h"
#include "serial/ModuleState.h"

void CGPSComm::DecodeLine() {
    // The assembler keeps the line NUL-terminated; this makes sure of it, so
    // that nothing behind the buffer is ever read.
    m_szLine[sizeof(m_szLine) - 1] = '\0';

    if (m_nProtocol == NT_RECEIVER_NMEA) {
        DecodeNmea();
    } else if (m_nProtocol == NT_RECEIVER_SONY && strncmp(m_szLine, "SONY", 4) == 0) {
        DecodeSony();
    }
    // Every line is sent, whether or not it changed anything.
    VPI_SetGpsNaviInfo(&g_GpsNaviInfo);
}

void CGPSComm::HoldCourse() {
    if (m_nFixSpeed < 0) {
        return;
    }
    // At or below the threshold the receiver's course is noise: keep showing
    // the last one taken at speed.
    if (m_bCourseHeld && !((double)m_nFixSpeed < g_GpsNaviInfo.dSpeed)) {
        g_GpsNaviInfo.dCourse = m_dHeldCourse;
    }
    m_bCourseHeld = 1;
    m_dHeldCourse = g_GpsNaviInfo.dCourse;
}

// The time field is read into a buffer of its own: receivers send up to ten
// characters (hhmmss.sss), more than szTime holds. Only the six converted
// digits and the NUL reach the record.
static void TakeTime(char** ppCursor) {
    char szTime[NT_FIELD_SIZE];
    CGPSComm::GetField(ppCursor, szTime);
    CGPSComm::ToLocalTime(szTime);
    memcpy(g_GpsNaviInfo.szTime, szTime, 7);
}

struct NmeaPosition {
    double dRawLatitude;
    double dRawLongitude;
    char szNorthSouth[NT_FIELD_SIZE];
    char szEastWest[NT_FIELD_SIZE];
};

static void ReadPosition(char** ppCursor, NmeaPosition* pPosition) {
    pPosition->dRawLatitude = CGPSComm::GetFieldDouble(ppCursor);
    CGPSComm::GetField(ppCursor, pPosition->szNorthSouth);
    pPosition->dRawLongitude = CGPSComm::GetFieldDouble(ppCursor);
    CGPSComm::GetField(ppCursor, pPosition->szEastWest);
}

static void StorePosition(const NmeaPosition* pPosition) {
    g_GpsNaviInfo.dLatitude = CGPSComm::ToDegrees(pPosition->dRawLatitude);
    if (pPosition->szNorthSouth[0] == 'S' || pPosition->szNorthSouth[0] == 's') {
        g_GpsNaviInfo.dLatitude = -g_GpsNaviInfo.dLatitude;
    }
    g_GpsNaviInfo.dLongitude = CGPSComm::ToDegrees(pPosition->dRawLongitude);
    if (pPosition->szEastWest[0] == 'W' || pPosition->szEastWest[0] == 'w') {
        g_GpsNaviInfo.dLongitude = -g_GpsNaviInfo.dLongitude;
    }
}

// A receiver without a fix may go on sending a position (its last one, a
// dead-reckoned or a simulated one) and mark it invalid: RMC or GLL status
// "V", GGA fix quality "0" (no fix) or "8" (simulator mode). Such a position
// is none, read as empty fields give it: 0 and 0, hemispheres unsigned. An
// empty mark changes nothing. Quality "6" (dead reckoning) is the receiver's
// best estimate and is kept, as the GPS daemon reports it as a fix too.
static int IsVoidStatus(const char* pszStatus) { return strcmp(pszStatus, "V") == 0; }
static int IsNoFixQuality(const char* pszQuality) {
    return strcmp(pszQuality, "0") == 0 || strcmp(pszQuality, "8") == 0;
}

static void ForgetPosition(NmeaPosition* pPosition) {
    pPosition->dRawLatitude = 0.0;
    pPosition->dRawLongitude = 0.0;
    pPosition->szNorthSouth[0] = '\0';
    pPosition->szEastWest[0] = '\0';
}

// GLL and RMC carry no satellite count: a position with a count below 3 (from
// an earlier GGA) is flagged to the host as 99. Without a position it is not.
static void ApplySatelliteFallback(const NmeaPosition* pPosition) {
    if (g_GpsNaviInfo.nSatellites < 3 &&
        (pPosition->dRawLatitude != pPosition->dRawLongitude || pPosition->dRawLatitude != 0.0)) {
        g_GpsNaviInfo.nSatellites = 99;
    }
}

static int IsTokyoDatum(const char* pszName) {
    static const char szTokyo[] = "TOKY";
    for (int i = 0; i < 4; ++i) {
        if (toupper((unsigned char)pszName[i]) != szTokyo[i]) {
            return 0;
        }
    }
    return 1;
}

// A sentence that ends with a checksum ("*hh", either case, before the
// carriage return or the end of the line) must match the XOR of the
// characters between its '$' and the '*': one changed character would
// otherwise put a wrong position on the map. A sentence without one passes.
static int ChecksumFits(const char* pszLine) {
    size_t nLength = strlen(pszLine);
    if (nLength > 0 && pszLine[nLength - 1] == '\r') nLength--;
    if (nLength < 4 || pszLine[nLength - 3] != '*' || !isxdigit((unsigned char)pszLine[nLength - 2]) ||
        !isxdigit((unsigned char)pszLine[nLength - 1])) {
        return 1;
    }
    unsigned int nSum = 0;
    for (size_t i = 1; i < nLength - 3; ++i) nSum ^= (unsigned char)pszLine[i];
    char szDigits[3] = {pszLine[nLength - 2], pszLine[nLength - 1], '\0'};
    return strtoul(szDigits, nullptr, 16) == nSum;
}

// "$GP" and the sentence type; with any talker also '$', two upper-case
// letters and the type ("$GNRMC", "$GLGGA", ...). "$P" begins a maker's own
// sentence, never a talker: "$PGRMC" is no RMC.
static int IsSentence(const char* pszId, const char* pszType, int bAnyTalker) {
    if (pszId[0] != '$') return 0;
    int bTalker = (pszId[1] == 'G' && pszId[2] == 'P') || (bAnyTalker && pszId[1] != 'P' && pszId[1] >= 'A' &&
                                                           pszId[1] <= 'Z' && pszId[2] >= 'A' && pszId[2] <= 'Z');
    return bTalker && strcmp(pszId + 3, pszType) == 0;
}

void CGPSComm::DecodeNmea() {
    if (!ChecksumFits(m_szLine)) return;

    // Fields begin behind the first comma; a line without one has only empty
    // fields, its cursor resting on the terminating NUL.
    char* pCursor = strchr(m_szLine, ',');
    pCursor = pCursor ? pCursor + 1 : m_szLine + strlen(m_szLine);
    // The identifier is the first six characters, whatever follows them.
    m_szLine[6] = '\0';

    char szScratch[NT_FIELD_SIZE];
    NmeaPosition position;

    if (IsSentence(m_szLine, "GLL", m_bAnyTalker)) {
        ReadPosition(&pCursor, &position);
        TakeTime(&pCursor);
        GetField(&pCursor, szScratch);  // status; older receivers leave it out
        if (IsVoidStatus(szScratch)) ForgetPosition(&position);
        StorePosition(&position);
        ApplySatelliteFallback(&position);
    } else if (IsSentence(m_szLine, "GSA", m_bAnyTalker)) {
        // Carries nothing the record holds.
    } else if (IsSentence(m_szLine, "GGA", m_bAnyTalker)) {
        TakeTime(&pCursor);
        ReadPosition(&pCursor, &position);
        GetField(&pCursor, szScratch);  // fix quality
        int bNoFix = IsNoFixQuality(szScratch);
        g_GpsNaviInfo.nSatellites = GetFieldInt(&pCursor);
        GetFieldDouble(&pCursor);  // horizontal dilution
        double dAltitude = GetFieldDouble(&pCursor);
        if (bNoFix) {
            ForgetPosition(&position);
            dAltitude = 0.0;
        }
        StorePosition(&position);
        g_GpsNaviInfo.dAltitude = dAltitude;
    } else if (IsSentence(m_szLine, "VTG", m_bAnyTalker)) {
        g_GpsNaviInfo.dCourse = GetFieldDouble(&pCursor);
        // Reference letter, magnetic course and letter, knots and letter.
        for (int i = 0; i < 5; ++i) {
            GetField(&pCursor, szScratch);
        }
        g_GpsNaviInfo.dSpeed = GetFieldDouble(&pCursor);
        HoldCourse();
    } else if (IsSentence(m_szLine, "RMC", m_bAnyTalker)) {
        TakeTime(&pCursor);
        GetField(&pCursor, szScratch);  // status
        int bNoFix = IsVoidStatus(szScratch);
        ReadPosition(&pCursor, &position);
        if (bNoFix) ForgetPosition(&position);
        g_GpsNaviInfo.dSpeed = GetFieldDouble(&pCursor) * NT_KNOTS_TO_KMH;
        double dCourse = GetFieldDouble(&pCursor);
        char szDate[NT_FIELD_SIZE];
        GetField(&pCursor, szDate);
        ToDateYYMMDD(szDate);
        // The six digits and three NULs; bytes 9 to 11 stay as the start left them.
        memset(g_GpsNaviInfo.szDate, 0, 9);
        memcpy(g_GpsNaviInfo.szDate, szDate, strnlen(szDate, 9));
        StorePosition(&position);
        g_GpsNaviInfo.dCourse = dCourse;
        HoldCourse();
        ApplySatelliteFallback(&position);
    } else if (strcmp(m_szLine, "$PGRMM") == 0) {
        GetField(&pCursor, szScratch);
        g_GpsNaviInfo.nDatum = IsTokyoDatum(szScratch);
    }
}
