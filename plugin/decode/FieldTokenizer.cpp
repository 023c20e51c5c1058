// Cutting comma-separated fields out of an NMEA 0183 sentence and reading
// them as numbers.
#include "decode/FieldTokenizer.h"

#include "decode/NumberParse.h"
#include "serial/GPSComm.h"

static inline int IsFieldEnd(char c) { return c == '\0' || c == ',' || c == '\n' || c == '\r'; }

void CGPSComm::GetField(char** ppCursor, char* pszOut) {
    char* pszStart = *ppCursor;
    char* p = pszStart;
    // Field buffers hold 79 characters; the rest of a longer field is passed
    // over, not carried into the next one.
    size_t nStored = 0;
    while (!IsFieldEnd(*p)) {
        if (nStored < NT_FIELD_MAX) {
            pszOut[nStored++] = *p;
        }
        ++p;
    }
    pszOut[nStored] = '\0';

    if (*p == ',') {
        // A field that ends at a comma is never shortened.
        *ppCursor = p + 1;
        return;
    }
    // End of the sentence: the cursor stays here, so every later field of
    // this line is empty. A trailing "*hh" is the checksum, not data.
    *ppCursor = p;
    size_t nLength = (size_t)(p - pszStart);
    if (nLength > 3 && pszStart[nLength - 3] == '*' && nLength - 3 < nStored) {
        pszOut[nLength - 3] = '\0';
    }
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
