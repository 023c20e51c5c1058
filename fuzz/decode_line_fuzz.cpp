// DecodeLine over arbitrary lines: the first byte configures the link, the
// rest is the line. The link object lives across inputs, so a line always
// meets what earlier, longer lines left in the buffer.
#include "FuzzSetup.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    UsePartHourZone();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    static CheckingHost host;
    static CGPSComm comm;
    if (nSize < 1) return 0;
    ResetRecord();
    Configure(pData[0], &comm, &host);

    size_t nLength = nSize - 1;
    if (nLength > sizeof comm.m_szLine - 1) nLength = sizeof comm.m_szLine - 1;
    memcpy(comm.m_szLine, pData + 1, nLength);
    comm.m_szLine[nLength] = '\0';

    long nBefore = host.nSends;
    comm.DecodeLine();
    Require(host.nSends == nBefore + 1);
    return 0;
}
