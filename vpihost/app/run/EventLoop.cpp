#include "run/EventLoop.h"

#include <algorithm>

#include "run/Wakeup.h"

#ifndef _WIN32
#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace vpihost {

namespace {

// Events waited for in one call; more simply wait for the next turn.
constexpr int kMaxEvents = 64;
// The wake-up's channel id; channels count from 1.
constexpr int kWakeId = 0;

#ifdef _WIN32
DWORD MillisecondsUntil(Clock::time_point until) {
    if (until == kNever) return INFINITE;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(std::max(Clock::duration::zero(), until - Clock::now()));
    return static_cast<DWORD>(std::min<long long>(left.count(), INFINITE - 1));
}
#else
int MillisecondsUntil(Clock::time_point until) {
    if (until == kNever) return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(std::max(Clock::duration::zero(), until - Clock::now()));
    return static_cast<int>(std::min<long long>(left.count(), 24 * 3600 * 1000));
}

unsigned EpollEvents(unsigned events) {
    return (events & EventLoop::kIn ? EPOLLIN : 0u) | (events & EventLoop::kOut ? EPOLLOUT : 0u);
}
#endif

}  // namespace

EventLoop::EventLoop() {
    PrepareWakeup();
#ifndef _WIN32
    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kWakeId;
    epoll_ctl(m_epoll, EPOLL_CTL_ADD, WakeFd(), &ev);
#endif
}

EventLoop::~EventLoop() {
#ifndef _WIN32
    if (m_epoll >= 0) close(m_epoll);
#endif
}

int EventLoop::Watch(Native native, unsigned events, Handler handler) {
    const int id = m_nextId++;
    Channel& channel = m_channels[id] = Channel{native, events, std::move(handler)};
    Arm(id, channel, true);
    return id;
}

void EventLoop::Change(int id, unsigned events) {
    const auto found = m_channels.find(id);
    if (found == m_channels.end() || found->second.events == events) return;
    found->second.events = events;
    Arm(id, found->second, false);
}

void EventLoop::Forget(int id) {
    const auto found = m_channels.find(id);
    if (found == m_channels.end()) return;
#ifndef _WIN32
    epoll_ctl(m_epoll, EPOLL_CTL_DEL, found->second.native, nullptr);
#endif
    m_channels.erase(found);
}

void EventLoop::Arm(int id, const Channel& channel, bool added) {
#ifdef _WIN32
    (void)id, (void)channel, (void)added;  // a handle is waited on while it is watched
#else
    epoll_event ev{};
    ev.events = EpollEvents(channel.events);
    ev.data.u64 = static_cast<uint64_t>(id);
    epoll_ctl(m_epoll, added ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, channel.native, &ev);
#endif
}

void EventLoop::AddTimer(Timer* timer) { m_timers.push_back(timer); }

void EventLoop::RemoveTimer(const Timer* timer) {
    m_timers.erase(std::remove(m_timers.begin(), m_timers.end(), timer), m_timers.end());
}

int EventLoop::AfterEachTurn(Step step, std::function<void()> work) {
    const int id = m_nextId++;
    const auto later =
        std::find_if(m_afterTurn.begin(), m_afterTurn.end(), [step](const Work& w) { return w.step > step; });
    m_afterTurn.insert(later, Work{id, step, std::move(work)});
    return id;
}

void EventLoop::StopAfterEachTurn(int id) {
    m_afterTurn.erase(
        std::remove_if(m_afterTurn.begin(), m_afterTurn.end(), [id](const Work& w) { return w.id == id; }),
        m_afterTurn.end());
}

Clock::time_point EventLoop::Deadline() const {
    Clock::time_point next = kNever;
    for (const Timer* timer : m_timers) next = std::min(next, timer->Deadline());
    return next;
}

void EventLoop::Turn(Clock::time_point until) {
    Wait(std::min(until, Deadline()));
    const Clock::time_point now = Clock::now();
    // A timer may remove itself or others: walk a copy.
    const std::vector<Timer*> timers = m_timers;
    for (Timer* timer : timers)
        if (std::find(m_timers.begin(), m_timers.end(), timer) != m_timers.end() && timer->Deadline() <= now)
            timer->Due(now);
    const auto steps = m_afterTurn;  // work may stop itself
    for (const Work& step : steps) step.work();
}

void EventLoop::Dispatch(int id, unsigned events) {
    const auto found = m_channels.find(id);
    if (found == m_channels.end()) return;          // removed by an earlier handler of this turn
    const Handler handler = found->second.handler;  // the handler may forget its channel
    handler(events);
}

#ifdef _WIN32
void EventLoop::Wait(Clock::time_point until) {
    std::vector<HANDLE> handles{WakeEvent()};
    std::vector<int> ids{kWakeId};
    for (const auto& [id, channel] : m_channels) {
        if (handles.size() == MAXIMUM_WAIT_OBJECTS) break;
        handles.push_back(channel.native);
        ids.push_back(id);
    }
    const DWORD result =
        WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, MillisecondsUntil(until));
    if (result >= WAIT_OBJECT_0 + 1 && result < WAIT_OBJECT_0 + handles.size())
        Dispatch(ids[result - WAIT_OBJECT_0], kIn);
}
#else
void EventLoop::Wait(Clock::time_point until) {
    epoll_event events[kMaxEvents];
    const int n = epoll_wait(m_epoll, events, kMaxEvents, MillisecondsUntil(until));
    for (int k = 0; k < n; ++k) {
        const int id = static_cast<int>(events[k].data.u64);
        if (id == kWakeId) {
            DrainWakeup();
            continue;
        }
        const unsigned got = events[k].events;
        Dispatch(id, (got & EPOLLIN ? kIn : 0u) | (got & EPOLLOUT ? kOut : 0u) |
                         (got & (EPOLLHUP | EPOLLERR) ? kHangUp : 0u));
    }
}
#endif

}  // namespace vpihost
