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

void FileSchedule::Wrote(long positions, Clock::time_point began, Clock::time_point ended) {
    m_positionsWritten = positions;
    m_next = began + std::max<Clock::duration>(kPeriod, (ended - began) * kShare);
}

}  // namespace vpihost
