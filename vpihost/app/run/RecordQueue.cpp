#include "run/RecordQueue.h"

#include <cstring>

#include "run/Wakeup.h"

namespace vpihost {

RecordQueue::RecordQueue(size_t capacity) : m_slots(capacity) {}

void RecordQueue::Push(const tagGPSNAVIINFO& info, const std::string& sentence) {
    const auto at = std::chrono::steady_clock::now();
    bool wasEmpty;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const size_t size = m_size.load();
        if (size == m_slots.size()) {
            ++m_lost;
            return;
        }
        QueuedRecord& slot = m_slots[(m_head + size) % m_slots.size()];
        memcpy(&slot.info, &info, sizeof slot.info);
        slot.at = at;
        slot.sentence = sentence;  // a few characters: no allocation
        m_size = size + 1;
        wasEmpty = size == 0;
    }
    // The loop takes every record of a turn: a ring that was not empty has
    // a wake-up on its way already.
    if (wasEmpty) Wake();
}

bool RecordQueue::Pop(QueuedRecord* record) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const size_t size = m_size.load();
    if (size == 0) return false;
    *record = m_slots[m_head];
    m_head = (m_head + 1) % m_slots.size();
    m_size = size - 1;
    return true;
}

}  // namespace vpihost
