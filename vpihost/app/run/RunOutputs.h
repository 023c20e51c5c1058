// The records' way through the loop in a run: the queue the host callback
// fills, the feed that hands every record on, and the consumers with their
// times: the lines on stdout, the track and its files, the silence hints,
// the replay's progress line, and the hold on a fast replay while a
// consumer is behind. All on the loop's thread.
#pragma once

#include <string>

#include "cli/ProgressLine.h"
#include "output/RecordPrinter.h"
#include "output/TrackFiles.h"
#include "run/EventLoop.h"
#include "run/FileSchedule.h"
#include "run/RecordFeed.h"
#include "run/RecordQueue.h"
#include "run/SilenceHints.h"
#include "source/HoldBack.h"

namespace vpihost {

struct RunSettings;

class RunOutputs {
public:
    // extra: another consumer (the server), fed last; progress: what the
    // progress line shows, empty for none.
    RunOutputs(const RunSettings& settings, EventLoop& loop, SilenceHints::Talkers talkers, RecordConsumer* extra,
               std::function<std::string()> progress);
    ~RunOutputs();
    RunOutputs(const RunOutputs&) = delete;
    RunOutputs& operator=(const RunOutputs&) = delete;

    RecordQueue& Queue() { return m_queue; }
    HoldBack* Hold() { return &m_holdBack; }

    // A link has started (again): the hints look at its first seconds, the
    // files are written from a period on.
    void LinkStarted(const LineFacts& line);
    // What is queued now is handed on (before a wait that may be long, or
    // a link started again).
    void TakeQueued() { m_feed.Drain(); }
    // The receiver went away or came back: the consumers are told.
    void ReceiverPresent(bool present) { m_feed.ReceiverPresent(present); }
    // The module has released navigation (its thread has ended): the last
    // second's line and report now, before that is said.
    void ShowLastSecond() {
        m_feed.Drain();
        m_printer.Finish();
    }
    // The files now, when there are new fixes since their last write.
    void WriteFiles(Clock::time_point now);
    long Count() const { return m_feed.Count(); }
    // The run is ending: the progress line's last state.
    void FinishProgress();
    // No record can follow: the last second's line and report, the files
    // written. False when a file write failed in the run.
    bool Finish();
    size_t TrackPoints() const { return m_files.track().size(); }
    // "; values the GPX and the TPVs cannot hold, left out: ...", or empty.
    std::string LeftOut() const { return m_files.track().LeftOutText(); }

private:
    void AfterTurn();
    void DrawProgress(Clock::time_point now);

    EventLoop& m_loop;
    RecordQueue m_queue;
    RecordFeed m_feed{m_queue};
    // The consumers, fed in this order.
    RecordPrinter m_printer;
    TrackFiles m_files;
    SilenceHints m_hints;
    FileSchedule m_schedule;
    std::function<std::string()> m_progressText;
    ProgressLine m_progress;
    Clock::time_point m_nextProgress = kNever;
    // A fast replay waits while a consumer is behind.
    HoldBack m_holdBack{[this] { return m_queue.Size() > RecordQueue::kHighWater; }};
    Clock::time_point m_heldUntil = Clock::time_point::min();
    FunctionTimer m_fileTimer, m_progressTimer, m_holdTimer;
    int m_afterTurn = 0;
};

}  // namespace vpihost
