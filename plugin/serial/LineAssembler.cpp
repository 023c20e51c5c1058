// Line assembler: collects one line of cut sentences and hands it to the
// decoder at its line feed.
#include "serial/GPSComm.h"

void CGPSComm::PutText(const char* pszText) {
    if (!pszText) return;
    while (*pszText) PutChar(*pszText++);
}

void CGPSComm::PutChar(char c) {
    // The length is a public member; a value out of range must not write
    // outside the line.
    if (m_nLineLength < 0 || m_nLineLength > NT_LINE_SIZE - 1) m_nLineLength = 0;

    if (c == '\n') {
        m_szLine[m_nLineLength] = '\0';
        DecodeLine();
        m_nLineLength = 0;
        return;
    }
    if (c == '$') m_nLineLength = 0;  // a line always begins with its '$'

    m_szLine[m_nLineLength] = c;
    m_nLineLength++;
    // Once full, further characters overwrite the last place, which the NUL
    // at the line feed replaces: the decoder sees the first NT_LINE_SIZE - 1.
    if (m_nLineLength >= NT_LINE_SIZE) m_nLineLength = NT_LINE_SIZE - 1;
}
