// Sentence framing: cutting the received byte stream into sentences at line
// feeds and start markers.
#include <string.h>

#include "serial/GPSComm.h"
#include "serial/ReceiverThread.h"

static int BoundedLength(const char* psz, int nMax) {
    int n = 0;
    while (n < nMax && psz[n] != '\0') n++;
    return n;
}

// First start marker ("$", or "SONY" for protocol 1) at index 1 or later
// that begins before nEnd; 0 when there is none.
static int FindMarker(const char* pszText, int nEnd, int nProtocol) {
    for (int i = 1; i < nEnd; i++) {
        if (nProtocol == NT_RECEIVER_SONY ? strncmp(pszText + i, "SONY", 4) == 0 : pszText[i] == '$') return i;
    }
    return 0;
}

int CutSentence(char* pszBuffer, const char* pszChunk, char* pszSentence, int nBufferSize, int nSentenceSize,
                int nProtocol) {
    if (!pszBuffer || !pszSentence || nBufferSize < 2 || nSentenceSize < 1) return 0;
    if (!pszChunk) pszChunk = "";

    int nHave = BoundedLength(pszBuffer, nBufferSize - 1);
    int nChunk = (int)strlen(pszChunk);
    if (nChunk > nBufferSize - 1) {
        pszChunk += nChunk - (nBufferSize - 1);
        nChunk = nBufferSize - 1;
    }
    // Text without a marker that fills the buffer (noise, a receiver in a
    // binary mode) must not lock the link out: the oldest text goes.
    if (nHave + nChunk > nBufferSize - 1) {
        int nDrop = nHave + nChunk - (nBufferSize - 1);
        memmove(pszBuffer, pszBuffer + nDrop, (size_t)(nHave - nDrop));
        nHave -= nDrop;
    }
    memcpy(pszBuffer + nHave, pszChunk, (size_t)nChunk);
    nHave += nChunk;
    pszBuffer[nHave] = '\0';

    // A sentence ends just behind its line feed, so that its record goes out
    // when the line feed arrives, not when the next sentence begins. Without
    // a line feed it ends at the next start marker; index 0 is never a marker
    // cut point, the buffer starts with the marker of the sentence under way.
    if (nHave < 1) return 0;
    const char* pFeed = strchr(pszBuffer, '\n');
    int nEnd = pFeed ? (int)(pFeed - pszBuffer) + 1 : nHave;
    int nCut = FindMarker(pszBuffer, nEnd, nProtocol);
    if (nCut == 0) {
        if (!pFeed) return 0;
        nCut = nEnd;
    }

    int nCopy = nCut < nSentenceSize - 1 ? nCut : nSentenceSize - 1;
    memcpy(pszSentence, pszBuffer, (size_t)nCopy);
    pszSentence[nCopy] = '\0';
    memmove(pszBuffer, pszBuffer + nCut, (size_t)(nHave - nCut + 1));
    return 1;
}

int DropNulBytes(char* pData, int nLength) {
    int nKept = 0;
    for (int i = 0; i < nLength; i++) {
        if (pData[i] != '\0') pData[nKept++] = pData[i];
    }
    return nKept;
}

void FrameReceived(CGPSComm* pComm, char* pszBuffer, char* pRead, int nRead, char* pszSentence) {
    if (nRead < 0) nRead = 0;
    // A NUL byte drops only itself.
    nRead = DropNulBytes(pRead, nRead);
    pRead[nRead] = '\0';
    // Every complete sentence is cut now, so that no backlog builds up.
    int nCut =
        CutSentence(pszBuffer, pRead, pszSentence, RECEIVER_BUFFER_SIZE, RECEIVER_SENTENCE_SIZE, pComm->m_nProtocol);
    while (nCut) {
        pComm->PutText(pszSentence);
        nCut =
            CutSentence(pszBuffer, "", pszSentence, RECEIVER_BUFFER_SIZE, RECEIVER_SENTENCE_SIZE, pComm->m_nProtocol);
    }
}
