// Something that takes every record the module hands to the host, on the
// thread that hands it (the receiver thread): it must return at once.
#pragma once

#include "GpsNaviInfo.h"

namespace vpihost {

class RecordListener {
public:
    virtual ~RecordListener() = default;
    virtual void Hand(const tagGPSNAVIINFO& info) = 0;
};

}  // namespace vpihost
