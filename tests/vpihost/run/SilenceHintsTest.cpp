// The hints about a quiet line, on a clock the test moves: which line comes
// when, once, and the texts.
#include <gtest/gtest.h>

#include <cstring>

#include "run/SilenceHints.h"

using namespace vpihost;
using std::chrono::milliseconds;

namespace {

const LineFacts kLine{"COM2", 0, 4800};  // NMEA 0183, as the profile stores it
const std::string kWhere =
    ": check the port (COM2), the line speed (4800 baud; --baud) and the receiver type (NMEA 0183; --receiver "
    "nmea|sony). A receiver that sends $GN... sentences needs --any-talker; one without a view of the sky has no "
    "position yet";
const std::string kSilent = "the receiver on COM2 has sent nothing for 5 s: is it still switched on and connected?";
const std::string kBack = "the receiver on COM2 sends again";

// A link started at 0; records (p with a position, . without) come at the
// times given in ms; the hints are looked at at each deadline up to `until`.
struct Line {
    std::string talkers;
    std::vector<std::string> said;
    SilenceHints hints{[this](const std::string& line) { said.push_back(line); }, [this] { return talkers; }};
    Clock::time_point zero = Clock::now();

    void Feed(const std::vector<std::pair<int, char>>& records, int untilMs) {
        hints.LinkStarted(zero, kLine);
        size_t next = 0;
        for (;;) {
            const Clock::time_point deadline = hints.Deadline();
            const Clock::time_point recordAt =
                next < records.size() ? zero + milliseconds(records[next].first) : kNever;
            const Clock::time_point at = std::min(deadline, recordAt);
            if (at > zero + milliseconds(untilMs)) return;
            if (at == recordAt) {
                Record r{};
                if (records[next].second == 'p') r.info.dLatitude = 35.5;
                r.at = recordAt;
                hints.Take(r);
                ++next;
            } else {
                hints.Due(at);
            }
        }
    }
};

}  // namespace

TEST(SilenceHints, EachHintComesOnceAtItsTime) {
    const struct Case {
        const char* what;
        std::vector<std::pair<int, char>> records;
        std::string talkers;
        std::vector<std::string> said;
        int untilMs = 12000;
    } cases[] = {
        // clang-format off
        {"silent from the start: no 'sent nothing'", {{10, '.'}}, "",
         {"no sentence from the receiver could be decoded in 5 s" + kWhere}},
        {"records without a position, then silent, then back", {{10, '.'}, {1000, '.'}, {2000, '.'}, {9000, '.'}}, "",
         {"5 s of records without a position" + kWhere, kSilent, kBack}},
        {"the talkers the module does not take", {{10, '.'}, {100, '.'}, {4900, '.'}}, "the receiver sends $GNRMC; ...",
         {"5 s of records without a position: the receiver sends $GNRMC; ..."}, 9000},
        {"a position in time: no hint", {{10, '.'}, {4000, 'p'}, {4500, 'p'}}, "", {}, 9000},
        {"records every second: never silent", {{10, '.'}, {900, 'p'}, {1900, 'p'}, {2900, 'p'}, {3900, 'p'},
                                                {4900, 'p'}, {5900, 'p'}, {6900, 'p'}, {7900, 'p'}}, "", {}},
        // clang-format on
    };
    for (const Case& c : cases) {
        Line run;
        run.talkers = c.talkers;
        run.Feed(c.records, c.untilMs);
        EXPECT_EQ(c.said, run.said) << c.what;
    }
}

TEST(SilenceHints, TheDeadlinesAreFiveSecondsAfterTheStartAndTheLastRecord) {
    Line run;
    run.hints.LinkStarted(run.zero, kLine);
    EXPECT_EQ(run.zero + SilenceHints::kSilence, run.hints.Deadline());
    run.hints.Due(run.zero + milliseconds(4999));
    EXPECT_TRUE(run.said.empty());
    for (int ms : {10, 6000}) {
        Record r{};
        r.at = run.zero + milliseconds(ms);
        run.hints.Take(r);
    }
    run.hints.Due(run.zero + SilenceHints::kSilence);
    EXPECT_EQ(1u, run.said.size());
    EXPECT_EQ(run.zero + milliseconds(11000), run.hints.Deadline()) << "5 s after the last record";
    // A new link (the device came back) looks at its first seconds again.
    run.hints.LinkStarted(run.zero + milliseconds(20000), kLine);
    EXPECT_EQ(run.zero + milliseconds(25000), run.hints.Deadline());
}
