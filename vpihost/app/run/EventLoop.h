// The main thread's one place of waiting, after muduo's EventLoop: channels
// (a descriptor, or on Windows a handle, with the events wanted and what to
// do when they come), timers (components that tell their next Deadline()),
// and work to do after every turn. It waits in one epoll (Linux) or
// WaitForMultipleObjects (Windows) call, on the channels, on the wake-up
// (Wakeup.h: records, signals, other threads) and until the earliest
// deadline. Only the thread that runs it may use it.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vpihost {

using Clock = std::chrono::steady_clock;
constexpr Clock::time_point kNever = Clock::time_point::max();

// Something with a time to keep: the loop calls Due once Deadline() has
// come. kNever for no time.
class Timer {
public:
    virtual ~Timer() = default;
    virtual Clock::time_point Deadline() const = 0;
    virtual void Due(Clock::time_point now) = 0;
};

// A time kept by a pair of functions: for small timers of their owner.
class FunctionTimer : public Timer {
public:
    FunctionTimer(std::function<Clock::time_point()> deadline, std::function<void(Clock::time_point)> due)
        : m_deadline(std::move(deadline)), m_due(std::move(due)) {}
    Clock::time_point Deadline() const override { return m_deadline(); }
    void Due(Clock::time_point now) override { m_due(now); }

private:
    std::function<Clock::time_point()> m_deadline;
    std::function<void(Clock::time_point)> m_due;
};

class EventLoop {
public:
#ifdef _WIN32
    using Native = HANDLE;  // signalled: kIn
#else
    using Native = int;  // a descriptor
#endif
    enum Events : unsigned { kIn = 1, kOut = 2, kHangUp = 4 };
    using Handler = std::function<void(unsigned events)>;

    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Watches a channel; the handler gets what came (kHangUp covers errors
    // too). Returns its id. A handler may add, change and remove channels.
    int Watch(Native native, unsigned events, Handler handler);
    void Change(int id, unsigned events);
    void Forget(int id);

    void AddTimer(Timer* timer);
    void RemoveTimer(const Timer* timer);
    // What is done after each turn's events and timers, step by step, and
    // in the order added within a step: first what came in is handed on
    // (the bytes read, the records), then the outputs send what that
    // queued, so that it goes out in the same turn.
    enum class Step { kHandOn, kSend };
    // Returns an id for StopAfterEachTurn.
    int AfterEachTurn(Step step, std::function<void()> work);
    void StopAfterEachTurn(int id);

    // The earliest of the timers' deadlines.
    Clock::time_point Deadline() const;
    // Waits once, until a channel has an event, the wake-up comes, the
    // earliest deadline or `until`; then handles what came, the timers that
    // are due and the work after the turn.
    void Turn(Clock::time_point until = kNever);

private:
    struct Channel {
        Native native;
        unsigned events;
        Handler handler;
    };
    void Wait(Clock::time_point until);
    void Dispatch(int id, unsigned events);
    void Arm(int id, const Channel& channel, bool added);

    std::map<int, Channel> m_channels;
    int m_nextId = 1;
    std::vector<Timer*> m_timers;
    struct Work {
        int id;
        Step step;
        std::function<void()> work;
    };
    std::vector<Work> m_afterTurn;  // ordered by step
#ifndef _WIN32
    int m_epoll = -1;
#endif
};

}  // namespace vpihost
