// The server's command reader under any bytes a client may send: the same
// commands however the bytes are cut into reads, each complete line (LF or
// CR LF ended) read as ParseRequestLine reads it (or refused whole when it
// is too long or not text), every ERROR a valid report within the
// protocol's length, every WATCH's members within their ranges and its
// answer a valid report, and the client dropped only for a line far too
// long or a run of bad lines, which empty lines do not break.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "serve/GpsdCommands.h"
#include "serve/GpsdReports.h"

using vpihost::CommandReader;
using vpihost::GpsdCommand;

static void Require(bool bCondition) {
    if (!bCondition) __builtin_trap();
}

static bool Same(const GpsdCommand& a, const GpsdCommand& b) {
    return a.kind == b.kind && a.enable == b.enable && a.json == b.json && a.nmea == b.nmea && a.raw == b.raw &&
           a.device == b.device && a.error == b.error;
}

// The reader fed in reads of the lengths the cut byte gives; false once it
// dropped the client.
static bool Read(const uint8_t* pData, size_t nSize, unsigned nCut, std::vector<GpsdCommand>* pOut) {
    CommandReader reader;
    for (size_t i = 0; i < nSize;) {
        const size_t n = nCut ? std::min<size_t>(nSize - i, 1 + (i * 31 + nCut) % (nCut + 1)) : nSize - i;
        if (!reader.Feed(reinterpret_cast<const char*>(pData) + i, n, pOut)) return false;
        i += n;
    }
    return true;
}

// What the reader must give for the complete lines, worked out line by line.
static bool Expected(const uint8_t* pData, size_t nSize, std::vector<GpsdCommand>* pOut) {
    int nBadInARow = 0;
    size_t nStart = 0;
    for (size_t i = 0; i < nSize; ++i) {
        if (i - nStart >= CommandReader::kMaxOverlong && pData[i] != '\n') return false;
        if (pData[i] != '\n') continue;
        std::string line(reinterpret_cast<const char*>(pData) + nStart, i - nStart);
        nStart = i + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        bool bBinary = false;
        for (unsigned char c : line) bBinary = bBinary || c >= 0x80 || (c < 0x20 && c != '\r' && c != '\t');
        std::vector<GpsdCommand> commands;
        if (bBinary || line.size() > CommandReader::kMaxLine) {
            commands.resize(1);
        } else if (!line.empty()) {
            commands = vpihost::ParseRequestLine(line);
            // A CR too many before the line end changes nothing.
            const std::vector<GpsdCommand> again = vpihost::ParseRequestLine(line + "\r");
            Require(again.size() == commands.size());
            for (size_t k = 0; k < again.size(); ++k) Require(Same(again[k], commands[k]));
        }
        bool bBad = false;
        for (const GpsdCommand& c : commands) bBad = bBad || c.kind == GpsdCommand::Kind::kError;
        if (bBad || !commands.empty()) nBadInARow = bBad ? nBadInARow + 1 : 0;
        // Only the last command of a line may be an error, which ends it.
        for (size_t k = 0; k + 1 < commands.size(); ++k) Require(commands[k].kind != GpsdCommand::Kind::kError);
        Require(commands.size() <= line.size() / 2 + 1);
        pOut->insert(pOut->end(), commands.begin(), commands.end());
        if (nBadInARow >= CommandReader::kMaxBadLines) return false;
    }
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize == 0) return 0;
    const unsigned nCut = pData[0];
    ++pData;
    --nSize;
    std::vector<GpsdCommand> whole, cut, expected;
    vpihost::WatchPolicy policy;
    const bool bWhole = Read(pData, nSize, 0, &whole);
    const bool bCut = Read(pData, nSize, nCut, &cut);
    const bool bExpected = Expected(pData, nSize, &expected);
    Require(bWhole == bCut && bWhole == bExpected);
    Require(whole.size() == cut.size() && whole.size() == expected.size());
    for (size_t i = 0; i < whole.size(); ++i) {
        Require(Same(whole[i], cut[i]));
        // Refused lines say why in a message of their own.
        Require(whole[i].kind == expected[i].kind);
        if (whole[i].kind != GpsdCommand::Kind::kError) Require(Same(whole[i], expected[i]));
        if (whole[i].kind == GpsdCommand::Kind::kError) {
            const std::string report = vpihost::ErrorReport(whole[i].error) + "\r\n";
            Require(!whole[i].error.empty() && report.size() <= 1536);
            for (unsigned char c : report) Require(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F));
        }
        const GpsdCommand& c = whole[i];
        Require(c.enable >= -1 && c.enable <= 1 && c.json >= -1 && c.json <= 1 && c.nmea >= -1 && c.nmea <= 1 &&
                c.raw >= -1 && c.raw <= 2);
        if (c.kind != GpsdCommand::Kind::kWatch) {
            Require(c.enable == -1 && c.json == -1 && c.nmea == -1 && c.raw == -1 && c.device.empty());
            continue;
        }
        // A WATCH with an argument says whether it enables.
        Require(c.enable != -1 || (c.json == -1 && c.nmea == -1 && c.raw == -1 && c.device.empty()));
        policy.Apply(c);
        Require(policy.raw >= 0 && policy.raw <= 2);
        const std::string answer = vpihost::WatchReport(policy);
        Require(answer.size() < 200 && answer.find("\"raw\":" + std::to_string(policy.raw) + ",") != std::string::npos);
        Require(policy.WantsSentences() == (policy.enable && (policy.nmea || policy.raw > 0)));
    }
    return 0;
}
