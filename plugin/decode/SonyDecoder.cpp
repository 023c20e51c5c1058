// The Sony branch of DecodeLine: fixed-column records that begin with "SONY".
#include <ctype.h>
#include <string.h>

#include "decode/DecodeConstants.h"
#include "decode/FieldTokenizer.h"
#include "decode/NumberParse.h"
#include "host/PluginIf.h"
#include "serial/GPSComm.h"
#include "serial/ModuleState.h"

// Column positions, counted from the 'S' of "SONY".
#define SONY_COL_TIME 13
#define SONY_WIDTH_TIME 6
#define SONY_COL_LAT_LETTER 19
#define SONY_COL_LATITUDE 20
#define SONY_WIDTH_LATITUDE 7
#define SONY_COL_LON_LETTER 27
#define SONY_COL_LONGITUDE 28
#define SONY_WIDTH_LONGITUDE 8
#define SONY_COL_SPEED 41
#define SONY_WIDTH_SPEED 3
#define SONY_COL_COURSE 44
#define SONY_WIDTH_COURSE 3
#define SONY_COL_SATELLITES 61
#define SONY_COL_DATUM 62

// Copies one column (at most nWidth characters) and a NUL. Columns behind
// the end of a short record are empty: what an earlier, longer line left in
// the buffer is never read.
static void CopyColumn(const char* pszLine, size_t nLineLength, size_t nColumn, size_t nWidth, char* pszOut) {
    size_t nCount = 0;
    if (nColumn < nLineLength) {
        nCount = nLineLength - nColumn;
        if (nCount > nWidth) {
            nCount = nWidth;
        }
        memcpy(pszOut, pszLine + nColumn, nCount);
    }
    pszOut[nCount] = '\0';
}

static char ColumnChar(const char* pszLine, size_t nLineLength, size_t nColumn) {
    return nColumn < nLineLength ? pszLine[nColumn] : '\0';
}

static double ColumnNumber(const char* pszLine, size_t nLineLength, size_t nColumn, size_t nWidth) {
    char szScratch[NT_FIELD_SIZE];
    CopyColumn(pszLine, nLineLength, nColumn, nWidth, szScratch);
    return ParseDouble(szScratch);
}

void CGPSComm::DecodeSony() {
    const char* pszLine = m_szLine;
    size_t nLength = strlen(pszLine);

    CopyColumn(pszLine, nLength, SONY_COL_TIME, SONY_WIDTH_TIME, g_GpsNaviInfo.szTime);
    g_GpsNaviInfo.szTime[6] = '\0';
    ToLocalTime(g_GpsNaviInfo.szTime);

    char cLatitudeLetter = ColumnChar(pszLine, nLength, SONY_COL_LAT_LETTER);
    double dRawLatitude = ColumnNumber(pszLine, nLength, SONY_COL_LATITUDE, SONY_WIDTH_LATITUDE);
    char cLongitudeLetter = ColumnChar(pszLine, nLength, SONY_COL_LON_LETTER);
    double dRawLongitude = ColumnNumber(pszLine, nLength, SONY_COL_LONGITUDE, SONY_WIDTH_LONGITUDE);
    g_GpsNaviInfo.dSpeed = ColumnNumber(pszLine, nLength, SONY_COL_SPEED, SONY_WIDTH_SPEED);
    g_GpsNaviInfo.dCourse = ColumnNumber(pszLine, nLength, SONY_COL_COURSE, SONY_WIDTH_COURSE);

    // The digit is not tested: a blank gives -16.
    g_GpsNaviInfo.nSatellites = ColumnChar(pszLine, nLength, SONY_COL_SATELLITES) - '0';

    int nDatumLetter = toupper((unsigned char)ColumnChar(pszLine, nLength, SONY_COL_DATUM));
    if (nDatumLetter == 'A') {
        g_GpsNaviInfo.nDatum = 0;
    } else if (nDatumLetter == 'B') {
        g_GpsNaviInfo.nDatum = 1;
    }

    // The columns hold dd mm ss.s without points; scaled, they are the
    // host's packed degrees.
    g_GpsNaviInfo.dLatitude = VPI_60to10(dRawLatitude * NT_SONY_ANGLE_SCALE);
    if (cLatitudeLetter == 'S' || cLatitudeLetter == 's') {
        g_GpsNaviInfo.dLatitude = -g_GpsNaviInfo.dLatitude;
    }
    g_GpsNaviInfo.dLongitude = VPI_60to10(dRawLongitude * NT_SONY_ANGLE_SCALE);
    if (cLongitudeLetter == 'W' || cLongitudeLetter == 'w') {
        g_GpsNaviInfo.dLongitude = -g_GpsNaviInfo.dLongitude;
    }

    HoldCourse();
}
