#include "run/SilenceHints.h"

#include <algorithm>

#include "serial/ReceiverType.h"

namespace vpihost {

namespace {

// Said when a receiver that sent records falls silent, and when it is back.
std::string QuietReceiver(const LineFacts& line, bool back) {
    return "the receiver on " + line.port +
           (back ? " sends again"
                 : " has sent nothing for " + std::to_string(SilenceHints::kSilence.count()) +
                       " s: is it still switched on and connected?");
}

// Said once when a link has run for a while without a position.
std::string SilenceHint(bool decodedAny, const LineFacts& line, const std::string& talkers) {
    std::string what =
        decodedAny ? "5 s of records without a position" : "no sentence from the receiver could be decoded in 5 s";
    if (!talkers.empty()) return what + ": " + talkers;
    return what + ": check the port (" + line.port + "), the line speed (" +
           (line.baud > 0 ? std::to_string(line.baud) + " baud; --baud" : std::string("--baud")) +
           ") and the receiver type (" + ReceiverName(line.protocol) +
           "; --receiver nmea|sony). A receiver that sends $GN... sentences needs --any-talker; "
           "one without a view of the sky has no position yet";
}

}  // namespace

std::string ReceiverName(int protocol) {
    return protocol == NT_RECEIVER_SONY   ? "Sony IPS-3000/5000 or PACY-CNV10"
           : protocol == NT_RECEIVER_NMEA ? "NMEA 0183"
                                          : "none chosen";
}

void SilenceHints::LinkStarted(Clock::time_point now, const LineFacts& line) {
    m_line = line;
    m_linked = true;
    m_linkStarted = now;
    m_recordsAtStart = m_records;
    m_hinted = false;
    m_quiet = false;
}

void SilenceHints::Take(const Record& r) {
    ++m_records;
    if (r.info.dLatitude != 0 || r.info.dLongitude != 0) ++m_positions;
    m_lastRecord = std::max(m_lastRecord, r.at);
    if (m_quiet) {
        m_quiet = false;
        m_say(QuietReceiver(m_line, true));
    }
}

Clock::time_point SilenceHints::Deadline() const {
    if (!m_linked) return kNever;
    Clock::time_point next = m_hinted ? kNever : m_linkStarted + kSilence;
    if (!m_quiet && Decoded()) next = std::min(next, m_lastRecord + kSilence);
    return next;
}

void SilenceHints::Due(Clock::time_point now) {
    if (!m_linked) return;
    if (!m_hinted && now >= m_linkStarted + kSilence) {
        m_hinted = true;
        if (m_positions == 0) m_say(SilenceHint(Decoded(), m_line, m_talkers()));
    }
    if (!m_quiet && Decoded() && now >= m_lastRecord + kSilence) {
        m_quiet = true;
        m_say(QuietReceiver(m_line, false));
    }
}

}  // namespace vpihost
