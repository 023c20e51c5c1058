// The built-in host (every request accepted, nothing shown), installed for
// the life of the object: benchmarks measure the plug-in's own cost with it,
// and other hosts override only what they watch.
#pragma once

#include "BuiltinHost.h"

class NullHost : public BuiltinHost {
public:
    NullHost() : m_previous(VpiInstallHost(this)) {}
    ~NullHost() override { VpiInstallHost(m_previous); }
    NullHost(const NullHost&) = delete;
    NullHost& operator=(const NullHost&) = delete;

private:
    IVpiHost* m_previous;
};
