#include "serve/CycleEnd.h"

#include <algorithm>

namespace vpihost {

bool CycleEnd::Ids::Has(const std::string& id) const {
    return std::find(m_ids.begin(), m_ids.begin() + m_count, id) != m_ids.begin() + m_count;
}

void CycleEnd::Ids::Add(const std::string& id) {
    if (m_count < m_ids.size() && !Has(id)) m_ids[m_count++] = id;
}

void CycleEnd::Ids::Remove(const std::string& id) {
    const auto end = m_ids.begin() + m_count;
    const auto found = std::find(m_ids.begin(), end, id);
    if (found == end) return;
    std::rotate(found, found + 1, end);
    --m_count;
}

void CycleEnd::NewEpoch() {
    if (!m_lastFix.empty()) m_enders.Add(m_lastFix);
    m_lastFix.clear();
    m_reportedBy.clear();
}

bool CycleEnd::Ends(const std::string& id, bool changed) {
    // Reported too early: the receiver's order has changed.
    if (changed && !m_reportedBy.empty()) {
        m_enders.Remove(m_reportedBy);
        m_reportedBy.clear();
    }
    if (id.empty()) return false;
    if (changed) m_fix.Add(id);
    if (!m_fix.Has(id)) return false;
    m_lastFix = id;
    if (!m_enders.Has(id)) return false;
    m_reportedBy = id;
    return true;
}

}  // namespace vpihost
