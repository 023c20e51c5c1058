#include "source/RecordOrigins.h"

#include <algorithm>
#include <cstring>

namespace vpihost {

void RecordOrigins::SetSony(bool sony) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sony = sony;
}

void RecordOrigins::Read(const char* bytes, size_t size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_first = m_count = 0;
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] != '\0') Take(bytes[i]);  // the module drops NUL bytes
}

void RecordOrigins::Take(char c) {
    const bool sonyMarker = m_sony && c == 'Y' && memcmp(m_before.data(), "SON", 3) == 0;
    ++m_piece;
    if (sonyMarker) {
        // "SON" begins this piece: what of it seemed lost reaches the line.
        m_piece = 4;
        for (size_t k = 0; k < m_before.size(); ++k)
            if (m_beforeLost[k]) Append(m_before[k]);
    }
    if (c == '$' && !m_sony) m_piece = 1;
    // The tail of a piece too long for the module's sentence buffer
    // never reaches its line assembler, the line end included: the
    // line goes on into the next piece.
    const bool lost = m_piece > kMaxPiece;
    std::rotate(m_before.begin(), m_before.begin() + 1, m_before.end());
    std::rotate(m_beforeLost.begin(), m_beforeLost.begin() + 1, m_beforeLost.end());
    m_before.back() = c;
    m_beforeLost.back() = lost;
    if (c == '\n') {
        if (!lost) {
            EndLine();
            m_headLength = 0;
        }
        m_piece = 0;
    } else if (lost) {
        return;
    } else if (c == '$') {  // the line assembler begins a line at each '$'
        m_head[0] = c;
        m_headLength = 1;
    } else {
        Append(c);
    }
}

void RecordOrigins::Append(char c) {
    if (m_headLength < m_head.size()) m_head[m_headLength++] = c;
}

void RecordOrigins::EndLine() {
    Id id{};
    size_t n = 0;
    if (m_headLength > 0 && m_head[0] == '$') {
        while (n < m_headLength && m_head[n] != ',' && m_head[n] != '*') ++n;
    } else if (m_headLength >= 4 && memcmp(m_head.data(), "SONY", 4) == 0) {
        n = 4;
    }
    memcpy(id.data(), m_head.data(), n);
    if (m_count == m_pending.size()) return;
    m_pending[(m_first + m_count++) % m_pending.size()] = id;
}

std::string RecordOrigins::Next() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_count == 0) return std::string();
    const Id& id = m_pending[m_first];
    m_first = (m_first + 1) % m_pending.size();
    --m_count;
    return std::string(id.data());
}

}  // namespace vpihost
