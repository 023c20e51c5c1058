// Host for the fuzz harnesses: answers like a real host and checks every
// record the plug-in sends. A broken record stops the run with a trap.
#pragma once

#include <cstring>

#include "NullHost.h"

constexpr int kFuzzInterval = 5;

inline void Require(bool bCondition) {
    if (!bCondition) __builtin_trap();
}

// What every record must hold, whatever the input was.
inline void CheckRecord(const tagGPSNAVIINFO& record) {
    Require(record.dwSize == 80);
    Require(record.dwReserved == 0);
    Require(record.nInterval == kFuzzInterval);
    // hhmmss and a NUL within its seven bytes; the eighth is never written.
    Require(memchr(record.szTime, '\0', 7) != nullptr);
    Require(record.szTime[7] == '\0');
    // Six characters at most, then NULs up to the ninth byte; the last
    // three bytes are never written.
    for (int i = 6; i < 12; ++i) Require(record.szDate[i] == '\0');
    Require(record.nDatum == 0 || record.nDatum == 1);
}

class CheckingHost : public NullHost {
public:
    int nLocalTime = 0;
    long nSends = 0;

    void GetViewOptions(unsigned int, tagVIEWOPTIONS* pOptions) override {
        Require(pOptions->dwSize == 144);
        pOptions->bLocalTime = nLocalTime;
    }
    void SetGpsNaviInfo(tagGPSNAVIINFO* pInfo) override {
        ++nSends;
        CheckRecord(*pInfo);
    }
};
