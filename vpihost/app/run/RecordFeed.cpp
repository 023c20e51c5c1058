#include "run/RecordFeed.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "cli/Console.h"
#include "output/FixFormat.h"
#include "run/Wakeup.h"

namespace vpihost {

void RecordFeed::Drain() {
    QueuedRecord queued;
    for (size_t n = m_queue.Size(); n > 0 && m_queue.Pop(&queued); --n) {
        Record r{queued.info, queued.info, m_count++, queued.at, queued.sentence};
        const tagGPSNAVIINFO& info = r.info;
        // The track's and the TPVs' times take a date only where it is that
        // second's.
        if (m_dates.DateOf(FieldText(info.szTime, sizeof info.szTime), FieldText(info.szDate, sizeof info.szDate))
                .empty())
            memset(r.stamped.szDate, 0, sizeof r.stamped.szDate);
        if (info.dLatitude != 0 || info.dLongitude != 0) ++m_positions;
        for (RecordConsumer* consumer : m_consumers) consumer->Take(r);
    }
    if (m_queue.Size() > 0) Wake();  // the rest in the next turn
    const long lost = m_queue.Lost();
    if (lost > m_lostSaid) {
        ErrorLine(std::to_string(lost - m_lostSaid) +
                  " records were lost: they came faster than vpihost could take them");
        m_lostSaid = lost;
    }
}

std::chrono::steady_clock::time_point RecordFeed::HeldUntil() const {
    auto until = std::chrono::steady_clock::time_point::min();
    for (const RecordConsumer* consumer : m_consumers) until = std::max(until, consumer->HeldUntil());
    return until;
}

void RecordFeed::ReceiverPresent(bool present) {
    for (RecordConsumer* consumer : m_consumers) consumer->ReceiverPresent(present);
}

void RecordFeed::Finish() {
    Drain();
    for (RecordConsumer* consumer : m_consumers) consumer->Finish();
}

}  // namespace vpihost
