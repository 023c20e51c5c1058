#include "run/FileSchedule.h"

#include <algorithm>

namespace vpihost {

void FileSchedule::Start(Clock::time_point now) {
    if (m_next == kNever) m_next = now + kPeriod;
}

bool FileSchedule::WriteNow(Clock::time_point now, long positions) {
    if (positions != m_positionsWritten) return true;
    m_next = now + kPeriod;
    return false;
}

void FileSchedule::Wrote(long positions, Clock::time_point began, Clock::time_point ended, Clock::duration cost) {
    m_positionsWritten = positions;
    // A slow disk's wait is no processor time, but is not to be filled with
    // writes either.
    const Clock::duration gap = std::max<Clock::duration>(cost * kShare, ended - began);
    m_next = began + std::clamp<Clock::duration>(gap, kPeriod, kLongest);
}

}  // namespace vpihost
