// Takes the records from the queue after each turn of the loop and hands
// each to every consumer in order; counts them, and says when the queue
// lost some.
#pragma once

#include <vector>

#include "output/RecordConsumer.h"
#include "output/Track.h"
#include "run/RecordQueue.h"

namespace vpihost {

class RecordFeed {
public:
    explicit RecordFeed(RecordQueue& queue) : m_queue(queue) {}

    void Add(RecordConsumer* consumer) { m_consumers.push_back(consumer); }
    // Hands on what is queued now; records that come meanwhile wait for the
    // next turn, which they wake.
    void Drain();
    // The records are over: the consumers' Finish.
    void Finish();
    // The receiver went away or came back: the consumers are told.
    void ReceiverPresent(bool present);

    // The latest time a consumer asks a fast replay to wait until.
    std::chrono::steady_clock::time_point HeldUntil() const;

    long Count() const { return m_count; }
    // Records that carried a position (not 0/0).
    long PositionCount() const { return m_positions; }

private:
    RecordQueue& m_queue;
    std::vector<RecordConsumer*> m_consumers;
    DateStamp m_dates;
    long m_count = 0;
    long m_positions = 0;
    long m_lostSaid = 0;
};

}  // namespace vpihost
