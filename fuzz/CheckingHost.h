// Host for the fuzz harnesses: answers like a real host and checks every
// record the plug-in sends. A broken record stops the run with a trap.
#pragma once

#include <cstring>

#include "vpi_host.h"

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

class CheckingHost : public IVpiHost {
public:
    CheckingHost() : m_previous(VpiInstallHost(this)) {}
    ~CheckingHost() override { VpiInstallHost(m_previous); }
    CheckingHost(const CheckingHost&) = delete;
    CheckingHost& operator=(const CheckingHost&) = delete;

    int nLocalTime = 0;
    long nSends = 0;

    int GetVersion() override { return 7420; }
    unsigned int AddHook(unsigned int, tagHOOKENTRY*) override { return 1; }
    unsigned int AddMenu(unsigned int, unsigned int, const char*, VPI_CALLBACK) override { return 1; }
    unsigned int GetProfileInt(unsigned int, const char*, int nDefault) override {
        return static_cast<unsigned int>(nDefault);
    }
    int WriteProfileInt(unsigned int, const char*, int) override { return 1; }
    unsigned int GetActiveView() override { return 1; }
    void GetViewOptions(unsigned int, tagVIEWOPTIONS* pOptions) override {
        Require(pOptions->dwSize == 144);
        pOptions->bLocalTime = nLocalTime;
    }
    int InitGpsNavi(unsigned int, VPI_CALLBACK) override { return 1; }
    void StartGpsNavi(int, int, int, int) override {}
    void SetGpsNaviInfo(tagGPSNAVIINFO* pInfo) override {
        ++nSends;
        CheckRecord(*pInfo);
    }
    void ReleaseGpsNavi() override {}
    double Convert60to10(double dPacked) override { return VpiPacked60To10(dPacked); }

private:
    IVpiHost* m_previous;
};
