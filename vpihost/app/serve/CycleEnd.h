// Which sentence ends the receiver's cycle, learnt as the GPS daemon learns
// it: the last sentence of a second that carried fix data. A receiver sends
// its sentences in a fixed order, so that once that sentence is known its
// record completes the second, and the second can be reported at once
// instead of after a pause. A sentence carries fix data once its record has
// changed what the reports say (the module takes $GPGSA, $GPGSV, $GPZDA and
// the like but changes nothing for them).
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace vpihost {

class CycleEnd {
public:
    // A record of a new second begins; the second before taught its last
    // fix sentence as an end of the cycle.
    void NewEpoch();
    // A record of the sentence id ("$GPRMC"; empty where it is not known)
    // that changed what the reports say (changed) or not. True when the
    // second is complete with it. A second that was reported complete and
    // then changed again ended no cycle: that sentence is no end any more.
    bool Ends(const std::string& id, bool changed);

    // A receiver sends a few kinds; beyond these, later ones are not kept.
    static constexpr size_t kMaxKinds = 16;

private:
    // A small set of sentence ids, without allocation.
    class Ids {
    public:
        bool Has(const std::string& id) const;
        void Add(const std::string& id);
        void Remove(const std::string& id);

    private:
        std::array<std::string, kMaxKinds> m_ids;
        size_t m_count = 0;
    };

    Ids m_fix;                 // sentences that have carried fix data
    Ids m_enders;              // sentences that end a cycle
    std::string m_lastFix;     // the open second's last fix sentence
    std::string m_reportedBy;  // the sentence that ended the open second
};

}  // namespace vpihost
