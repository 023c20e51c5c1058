// Cutting comma-separated fields out of an NMEA 0183 sentence and reading
// them as numbers.
#include "decode/FieldTokenizer.h"

#include <string.h>

#include "decode/NumberParse.h"
#include "serial/GPSComm.h"

static inline int IsFieldEnd(char c) { return c == '\0' || c == ',' || c == '\n' || c == '\r'; }

void CGPSComm::GetField(char** ppCursor, char* pszOut) {
    char* pszStart = *ppCursor;
    char* pszEnd = pszStart;
    while (!IsFieldEnd(*pszEnd)) {
        ++pszEnd;
    }
    size_t nLength = (size_t)(pszEnd - pszStart);

    if (*pszEnd == ',') {
        // A field that ends at a comma is never shortened.
        *ppCursor = pszEnd + 1;
    } else {
        // End of the sentence: the cursor stays here, so every later field of
        // this line is empty. A trailing "*hh" is the checksum, not data.
        *ppCursor = pszEnd;
        if (nLength > 3 && pszStart[nLength - 3] == '*') {
            nLength -= 3;
        }
    }

    // Field buffers hold 79 characters; the rest of a longer field is passed
    // over, not carried into the next one.
    if (nLength > NT_FIELD_MAX) {
        nLength = NT_FIELD_MAX;
    }
    memcpy(pszOut, pszStart, nLength);
    pszOut[nLength] = '\0';
}

double CGPSComm::GetFieldDouble(char** ppCursor) {
    char szField[NT_FIELD_SIZE];
    GetField(ppCursor, szField);
    return ParseDouble(szField);
}

int CGPSComm::GetFieldInt(char** ppCursor) {
    char szField[NT_FIELD_SIZE];
    GetField(ppCursor, szField);
    return ParseInt(szField);
}
