#include "run/RunOutputs.h"

#include "cli/Console.h"
#include "run/Session.h"

namespace vpihost {

namespace {

// How often a replay's progress line is drawn.
constexpr auto kProgressTick = std::chrono::milliseconds(100);

}  // namespace

RunOutputs::RunOutputs(const RunSettings& o, EventLoop& loop, SilenceHints::Talkers talkers, RecordConsumer* extra,
                       std::function<std::string()> progress)
    : m_loop(loop),
      m_printer(RecordStream(), o.format, !o.localTime, o.allRecords, o.reportDevice),
      m_files(o.gpx, o.svg, !o.localTime),
      m_hints([](const std::string& line) { ErrorLine(line); }, std::move(talkers)),
      m_progressText(std::move(progress)),
      m_progress(static_cast<bool>(m_progressText)),
      m_fileTimer([this] { return m_schedule.Deadline(); }, [this](Clock::time_point now) { WriteFiles(now); }),
      m_progressTimer([this] { return m_nextProgress; }, [this](Clock::time_point now) { DrawProgress(now); }),
      // Once the grace has passed, the turn after it lets the replay go on.
      m_holdTimer([this] { return m_heldUntil > Clock::now() ? m_heldUntil : kNever; }, [](Clock::time_point) {}) {
    m_feed.Add(&m_printer);
    m_feed.Add(&m_files);
    m_feed.Add(&m_hints);
    if (extra) m_feed.Add(extra);
    for (Timer* timer : {static_cast<Timer*>(&m_hints), static_cast<Timer*>(&m_fileTimer),
                         static_cast<Timer*>(&m_progressTimer), static_cast<Timer*>(&m_holdTimer)})
        m_loop.AddTimer(timer);
    m_afterTurn = m_loop.AfterEachTurn(EventLoop::Step::kHandOn, [this] { AfterTurn(); });
}

RunOutputs::~RunOutputs() {
    m_loop.StopAfterEachTurn(m_afterTurn);
    for (const Timer* timer : {static_cast<const Timer*>(&m_hints), static_cast<const Timer*>(&m_fileTimer),
                               static_cast<const Timer*>(&m_progressTimer), static_cast<const Timer*>(&m_holdTimer)})
        m_loop.RemoveTimer(timer);
}

void RunOutputs::AfterTurn() {
    m_feed.Drain();
    m_heldUntil = m_feed.HeldUntil();
    m_holdBack.Set(m_heldUntil > Clock::now());
}

void RunOutputs::LinkStarted(const LineFacts& line) {
    const Clock::time_point now = Clock::now();
    m_hints.LinkStarted(now, line);
    if (m_files.Asked()) m_schedule.Start(now);
    if (m_progressText) m_nextProgress = now;
}

void RunOutputs::WriteFiles(Clock::time_point now) {
    if (!m_files.Asked()) return;
    const long positions = m_feed.PositionCount();
    if (!m_schedule.WriteNow(now, positions)) return;
    m_files.Write();
    const auto cost = std::chrono::duration<double>(m_files.LastWriteCost());
    m_schedule.Wrote(positions, now, Clock::now(), std::chrono::duration_cast<Clock::duration>(cost));
}

void RunOutputs::DrawProgress(Clock::time_point now) {
    m_progress.Update(m_progressText());
    m_nextProgress = now + kProgressTick;
}

void RunOutputs::FinishProgress() {
    if (m_progressText) m_progress.Update(m_progressText());
    m_progress.Finish();
    m_nextProgress = kNever;
}

bool RunOutputs::Finish() {
    m_feed.Finish();
    m_files.Write(true);
    return !m_files.Failed();
}

}  // namespace vpihost
