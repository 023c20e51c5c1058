// The whole receive path: arbitrary chunks through framing and the line
// assembler into DecodeLine, every record checked by the host as it is sent.
// The first byte configures the link; then each chunk is a length byte
// (0-255) and that many bytes, NULs included.
#include "FuzzSetup.h"
#include "serial/ReceiverThread.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    UsePartHourZone();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    static CheckingHost host;
    if (nSize < 1) return 0;
    // A fresh link per input, as every link start makes one.
    CGPSComm comm;
    ResetRecord();
    Configure(pData[0], &comm, &host);

    static char szBuffer[RECEIVER_BUFFER_SIZE];
    static char szSentence[RECEIVER_SENTENCE_SIZE];
    char abRead[RECEIVER_READ_SIZE];
    szBuffer[0] = '\0';
    size_t nAt = 1;
    while (nAt < nSize) {
        size_t nChunk = pData[nAt++];
        if (nChunk > RECEIVER_READ_SIZE - 1) nChunk = RECEIVER_READ_SIZE - 1;
        if (nChunk > nSize - nAt) nChunk = nSize - nAt;
        memcpy(abRead, pData + nAt, nChunk);
        nAt += nChunk;
        FrameReceived(&comm, szBuffer, abRead, static_cast<int>(nChunk), szSentence);
        Require(comm.m_nLineLength >= 0 && comm.m_nLineLength <= 255);
    }
    return 0;
}
