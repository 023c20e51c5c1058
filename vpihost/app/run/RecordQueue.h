// The records on their way from the module's receiver thread to the loop:
// a ring of preallocated slots behind a lock held only to copy one record
// in or out, so that the host callback never waits for a consumer and
// never allocates. The loop is woken when the ring stops being empty.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "GpsNaviInfo.h"

namespace vpihost {

struct QueuedRecord {
    tagGPSNAVIINFO info;
    std::string sentence;                      // the one it came from ("$GPRMC"), empty where not known
    std::chrono::steady_clock::time_point at;  // when the module handed it over
};

class RecordQueue {
public:
    explicit RecordQueue(size_t capacity = kCapacity);

    // The receiver thread. A record that finds the ring full is counted as
    // lost (Lost), never waited for.
    void Push(const tagGPSNAVIINFO& info, const std::string& sentence = std::string());
    // The loop: the oldest record, false when there is none.
    bool Pop(QueuedRecord* record);

    size_t Size() const { return m_size.load(); }
    // Records lost to a full ring so far.
    long Lost() const { return m_lost.load(); }

    // Some seconds of the densest replay's records. A fast replay is held
    // back far before (kHighWater), so that one turn of the loop never
    // hands a client more reports than its queue has room for.
    static constexpr size_t kCapacity = 16384;
    static constexpr size_t kHighWater = 64;

private:
    std::mutex m_mutex;
    std::vector<QueuedRecord> m_slots;
    size_t m_head = 0;  // the oldest record
    std::atomic<size_t> m_size{0};
    std::atomic<long> m_lost{0};
};

}  // namespace vpihost
