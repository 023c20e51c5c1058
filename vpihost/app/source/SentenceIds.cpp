#include "source/SentenceIds.h"

#include <algorithm>
#include <iterator>

namespace vpihost {

namespace {

constexpr size_t kIdLength = 6;  // "$GNRMC": the module reads the first six characters
constexpr size_t kListed = 5;    // the hint names these, then says how many more

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }

bool NeedsAnyTalker(const std::string& id) {
    static const char* const kTypes[] = {"GLL", "GSA", "GGA", "VTG", "RMC"};
    if (id.size() != kIdLength || !IsUpper(id[1]) || !IsUpper(id[2]) || id[1] == 'P') return false;
    if (id.compare(1, 2, "GP") == 0) return false;
    return std::any_of(std::begin(kTypes), std::end(kTypes), [&](const char* t) { return id.compare(3, 3, t) == 0; });
}

}  // namespace

void SentenceIds::Take(const char* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (c == '$') {
            m_inId = true;
            m_id = "$";
        } else if (!m_inId) {
            continue;
        } else if ((IsUpper(c) || (c >= '0' && c <= '9')) && m_id.size() < kIdLength) {
            m_id += c;
        } else {
            m_inId = false;
            const bool ended = (c == ',' || c == '*') && m_id.size() > 1;
            if (ended && m_seen.size() < kMaxKept && std::find(m_seen.begin(), m_seen.end(), m_id) == m_seen.end())
                m_seen.push_back(m_id);
        }
    }
}

std::vector<std::string> SentenceIds::Seen() const { return m_seen; }

std::string AnyTalkerHint(const std::vector<std::string>& ids) {
    std::vector<std::string> others;
    std::copy_if(ids.begin(), ids.end(), std::back_inserter(others), NeedsAnyTalker);
    if (others.empty()) return std::string();
    std::string list;
    for (size_t i = 0; i < others.size() && i < kListed; ++i) list += (i ? ", " : "") + others[i];
    if (others.size() > kListed) list += " and " + std::to_string(others.size() - kListed) + " more";
    return "the receiver sends " + list + "; the module takes them with --any-talker";
}

}  // namespace vpihost
