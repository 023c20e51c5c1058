// The hints about a quiet line: once, 5 s after a link starts, when no
// record has carried a position yet (with the likely causes); and when a
// receiver that sent records falls silent for 5 s, and again when it is
// back. Fed every record, asked at its Deadline(); the time comes in as an
// argument, so that the rules can be tried on any clock.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "output/RecordConsumer.h"
#include "run/EventLoop.h"

namespace vpihost {

// The line as the module stored its settings and as it is set.
struct LineFacts {
    std::string port;  // "COM2"
    int protocol = 0;  // StoredReceiverType
    int baud = 0;      // 0 when it cannot be told
};

std::string ReceiverName(int protocol);

class SilenceHints : public RecordConsumer, public Timer {
public:
    using Say = std::function<void(const std::string& line)>;
    // What the receiver sends that the module takes only with --any-talker
    // (AnyTalkerHint); empty when nothing or when the profile has it.
    using Talkers = std::function<std::string()>;

    SilenceHints(Say say, Talkers talkers) : m_say(std::move(say)), m_talkers(std::move(talkers)) {}

    // A link has started (again) at `now` on this line.
    void LinkStarted(Clock::time_point now, const LineFacts& line);
    void Take(const Record& record) override;
    Clock::time_point Deadline() const override;
    void Due(Clock::time_point now) override;

    static constexpr auto kSilence = std::chrono::seconds(5);

private:
    // More than the empty record every link start sends.
    bool Decoded() const { return m_records - m_recordsAtStart > 1; }

    Say m_say;
    Talkers m_talkers;
    LineFacts m_line;
    bool m_linked = false;
    Clock::time_point m_linkStarted;
    long m_records = 0;
    long m_positions = 0;
    long m_recordsAtStart = 0;
    bool m_hinted = false;  // the look at the link's first seconds is taken
    Clock::time_point m_lastRecord;
    bool m_quiet = false;  // the receiver is said to be silent
};

}  // namespace vpihost
