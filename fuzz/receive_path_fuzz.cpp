// The whole receive path: arbitrary chunks through framing and the line
// assembler into DecodeLine, every record checked by the host as it is sent.
// The first byte configures the link; then each chunk is a length byte
// (0-255) and that many bytes, NULs included.
//
// The same bytes are then received again in reads of 255 bytes: the records
// must not depend on how the line was cut into reads. (Only while the
// accumulation buffer never overflows: text without a start marker that
// outgrows it loses its oldest part, and how much depends on the reads.)
//
// vpihost's pairing of records with the lines they came from, fed each read
// as its read tap is, must name for every record the line the decoder saw.
#include <string>
#include <vector>

#include "FuzzSetup.h"
#include "serial/ReceiverThread.h"
#include "source/RecordOrigins.h"

namespace {

struct Reception {
    long nRecords = 0;
    uint64_t nHash = 1469598103934665603ULL;
    const CGPSComm* pComm = nullptr;
    vpihost::RecordOrigins origins;
};

// The sentence of the line the decoder has just seen, as vpihost names it.
std::string SentenceOf(const char* pszLine) {
    if (pszLine[0] == '$') return std::string(pszLine, strcspn(pszLine, ",*")).substr(0, 6);
    return strncmp(pszLine, "SONY", 4) == 0 ? "SONY" : "";
}

class RecordingCheckingHost : public CheckingHost {
public:
    Reception* pReception = nullptr;
    void SetGpsNaviInfo(tagGPSNAVIINFO* pInfo) override {
        CheckingHost::SetGpsNaviInfo(pInfo);
        ++pReception->nRecords;
        Require(pReception->origins.Next() == SentenceOf(pReception->pComm->m_szLine));
        const unsigned char* pByte = reinterpret_cast<const unsigned char*>(pInfo);
        for (size_t i = 0; i < sizeof *pInfo; ++i) {
            pReception->nHash = (pReception->nHash ^ pByte[i]) * 1099511628211ULL;
        }
    }
};

RecordingCheckingHost& Host() {
    static RecordingCheckingHost host;
    return host;
}

void Receive(uint8_t bConfig, const std::vector<std::vector<char>>& reads, Reception* pReception) {
    // A fresh link per reception, as every link start makes one.
    CGPSComm comm;
    ResetRecord();
    Configure(bConfig, &comm, &Host());
    Host().pReception = pReception;
    pReception->pComm = &comm;
    pReception->origins.SetSony(comm.m_nProtocol == 1);
    static char szBuffer[RECEIVER_BUFFER_SIZE];
    static char szSentence[RECEIVER_SENTENCE_SIZE];
    char abRead[RECEIVER_READ_SIZE];
    szBuffer[0] = '\0';
    for (const std::vector<char>& read : reads) {
        if (!read.empty()) memcpy(abRead, read.data(), read.size());
        pReception->origins.Read(read.data(), read.size());
        FrameReceived(&comm, szBuffer, abRead, static_cast<int>(read.size()), szSentence);
        Require(comm.m_nLineLength >= 0 && comm.m_nLineLength <= 255);
    }
}

// Whether some stretch of the text, NULs left out, runs longer than the
// accumulation buffer can hold without a start marker.
bool MayOverflow(const std::vector<char>& text, int nProtocol) {
    const char* pszMarker = nProtocol == 1 ? "SONY" : "$";
    size_t nMarker = strlen(pszMarker);
    std::vector<char> kept;
    for (char c : text) {
        if (c != '\0') kept.push_back(c);
    }
    size_t nSince = 0;
    for (size_t i = 0; i < kept.size(); ++i, ++nSince) {
        if (i + nMarker <= kept.size() && memcmp(&kept[i], pszMarker, nMarker) == 0) nSince = 0;
        // Room for the stretch and one more read behind it.
        if (nSince + RECEIVER_READ_SIZE >= RECEIVER_BUFFER_SIZE - 1) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    UsePartHourZone();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize < 1) return 0;
    std::vector<std::vector<char>> reads;
    std::vector<char> all;
    size_t nAt = 1;
    while (nAt < nSize) {
        size_t nChunk = pData[nAt++];
        if (nChunk > RECEIVER_READ_SIZE - 1) nChunk = RECEIVER_READ_SIZE - 1;
        if (nChunk > nSize - nAt) nChunk = nSize - nAt;
        reads.emplace_back(pData + nAt, pData + nAt + nChunk);
        all.insert(all.end(), pData + nAt, pData + nAt + nChunk);
        nAt += nChunk;
    }
    Reception asChunked;
    Receive(pData[0], reads, &asChunked);

    static const int anProtocols[4] = {0, 1, -1, 2};
    if (MayOverflow(all, anProtocols[pData[0] & 3])) return 0;
    std::vector<std::vector<char>> evenReads;
    for (size_t n = 0; n < all.size(); n += RECEIVER_READ_SIZE - 1) {
        size_t nEnd = std::min(all.size(), n + RECEIVER_READ_SIZE - 1);
        evenReads.emplace_back(all.begin() + static_cast<long>(n), all.begin() + static_cast<long>(nEnd));
    }
    Reception asEven;
    Receive(pData[0], evenReads, &asEven);
    Require(asChunked.nRecords == asEven.nRecords);
    Require(asChunked.nHash == asEven.nHash);
    return 0;
}
