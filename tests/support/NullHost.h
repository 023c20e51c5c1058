// A host that accepts everything and does nothing: benchmarks measure the
// plug-in's own cost with it, and other hosts override only what they watch.
#pragma once

#include "vpi_host.h"

class NullHost : public IVpiHost {
public:
    NullHost() : m_previous(VpiInstallHost(this)) {}
    ~NullHost() override { VpiInstallHost(m_previous); }
    NullHost(const NullHost&) = delete;
    NullHost& operator=(const NullHost&) = delete;

    int GetVersion() override { return 7420; }
    unsigned int AddHook(unsigned int, tagHOOKENTRY*) override { return 1; }
    unsigned int AddMenu(unsigned int, unsigned int, const char*, VPI_CALLBACK) override { return 1; }
    unsigned int GetProfileInt(unsigned int, const char*, int nDefault) override {
        return static_cast<unsigned int>(nDefault);
    }
    int WriteProfileInt(unsigned int, const char*, int) override { return 1; }
    unsigned int GetActiveView() override { return 1; }
    void GetViewOptions(unsigned int, tagVIEWOPTIONS*) override {}
    int InitGpsNavi(unsigned int, VPI_CALLBACK) override { return 1; }
    void StartGpsNavi(int, int, int, int) override {}
    void SetGpsNaviInfo(tagGPSNAVIINFO*) override {}
    void ReleaseGpsNavi() override {}
    double Convert60to10(double dPacked) override { return VpiPacked60To10(dPacked); }

private:
    IVpiHost* m_previous;
};
