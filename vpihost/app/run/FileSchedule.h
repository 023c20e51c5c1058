// When the track files are written while the run goes: 2 s after the link
// starts and then every 2 s while new positions come, but no more than a
// twentieth of a core (the write's processor time twenty times over), no
// sooner than the last write took, and never more than 10 s apart, so that
// a killed run loses at most the last 10 s. The times come in as arguments.
#pragma once

#include <chrono>

#include "run/EventLoop.h"

namespace vpihost {

class FileSchedule {
public:
    // The first link has started: the first write is due a period later.
    void Start(Clock::time_point now);
    Clock::time_point Deadline() const { return m_next; }
    // At the deadline: true when the files are to be written now (positions
    // came since the last write); else the next look is a period later.
    bool WriteNow(Clock::time_point now, long positions);
    // A write began and ended at these times with this many positions, and
    // took this much processor time.
    void Wrote(long positions, Clock::time_point began, Clock::time_point ended, Clock::duration cost);

    static constexpr auto kPeriod = std::chrono::seconds(2);
    static constexpr auto kLongest = std::chrono::seconds(10);
    static constexpr int kShare = 20;

private:
    Clock::time_point m_next = kNever;
    long m_positionsWritten = 0;
};

}  // namespace vpihost
