// Where every record the plug-in sends goes: a line on stdout (text or
// JSON) and, when asked for, the track. Called from the receiver thread and
// the UI thread.
#pragma once

#include <cstdio>
#include <mutex>

#include "Track.h"

namespace vpihost {

class FixPrinter {
public:
    FixPrinter(std::FILE* out, bool json) : m_out(out), m_json(json) {}

    void Print(const tagGPSNAVIINFO& info);

    long Count();
    Track TrackCopy();

private:
    std::FILE* m_out;
    bool m_json;
    std::mutex m_mutex;
    long m_count = 0;
    Track m_track;
};

}  // namespace vpihost
