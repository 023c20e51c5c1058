// A record as the loop hands it to each of its consumers (the printer, the
// track, the server, the hints), in the order the module sent them.
#pragma once

#include <chrono>
#include <string>

#include "GpsNaviInfo.h"

namespace vpihost {

struct Record {
    tagGPSNAVIINFO info;     // as the module sent it
    tagGPSNAVIINFO stamped;  // its date only where it is its second's (DateStamp): for the track and the TPVs
    long number;             // from 0
    std::chrono::steady_clock::time_point at;  // when the module handed it over
    std::string sentence;                      // the one it came from ("$GPRMC"), empty where not known
};

class RecordConsumer {
public:
    virtual ~RecordConsumer() = default;
    virtual void Take(const Record& record) = 0;
    // The receiver went away (false), or is there again (true).
    virtual void ReceiverPresent(bool) {}
    // No record follows: what is held back for the last second goes out.
    virtual void Finish() {}
    // While it is behind but still takes its output (a reader that reads
    // slower than a fast replay writes), the time until which it asks the
    // replay to wait; Clock::time_point::min() when it asks nothing.
    virtual std::chrono::steady_clock::time_point HeldUntil() const {
        return std::chrono::steady_clock::time_point::min();
    }
};

// Seconds of the steady clock, as the reports count time.
inline double SteadySeconds(std::chrono::steady_clock::time_point at) {
    return std::chrono::duration<double>(at.time_since_epoch()).count();
}

}  // namespace vpihost
