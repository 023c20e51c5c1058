// The sentence identifiers a receiver sends ("$GNRMC"), gathered from the
// bytes the module read (on the loop, ReadTap.h), so that the hint for a
// line without positions can name what the receiver sends.
#pragma once

#include <string>
#include <vector>

namespace vpihost {

class SentenceIds {
public:
    // The bytes in the order they were read; a sentence may span calls.
    // An identifier is '$' and up to five upper-case letters or digits
    // before the first ',' or '*'.
    void Take(const char* bytes, size_t size);
    // The distinct identifiers, in the order first seen.
    std::vector<std::string> Seen() const;

    // A receiver sends a few kinds; beyond these, later ones are not kept.
    static constexpr size_t kMaxKept = 16;

private:
    bool m_inId = false;
    std::string m_id;
    std::vector<std::string> m_seen;
};

// "the receiver sends $GNRMC, $GNGGA; the module takes them with
// --any-talker" for the identifiers among ids that the module takes only
// with any talker (GLL, GSA, GGA, VTG and RMC behind two upper-case letters
// other than GP, none behind P); empty when there are none.
std::string AnyTalkerHint(const std::vector<std::string>& ids);

}  // namespace vpihost
