// One of the program's output streams (stdout, stderr) as a bounded queue
// that is written without ever waiting, so that a reader that stops
// reading (a full pipe, a terminal stopped with Ctrl-S) holds back this
// stream's own lines and nothing else.
//
// On Linux a pipe, FIFO or terminal is written through a description of
// its own (the stream's /proc/self/fd entry opened again), made
// non-blocking: setting O_NONBLOCK on the inherited one would change it for
// the shell that shares it. A socket is sent to with MSG_DONTWAIT. A
// regular file is written as it comes (it never makes a writer wait for a
// reader). On Windows writes go out as they come.
//
// Policy: a text is queued whole or left out whole; what is left out is
// counted and said (TakeLeftOut) once the stream writes again, or at the
// end. Any thread may Put; the loop writes the rest when the stream can
// take it (Fd, Flush).
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

namespace vpihost {

class OutputStream {
public:
    using Clock = std::chrono::steady_clock;

    // fd: 1 or 2 (and a FILE* for Windows); capacity: queued bytes at most.
    OutputStream(int fd, std::FILE* file, size_t capacity);
    ~OutputStream();
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;

    // Queues the text and writes what the stream takes now. False when it
    // was left out (the queue is full) or the stream has failed.
    bool Put(const std::string& text);
    // Writes what the stream takes now (the loop, when Fd() is writable).
    void Flush();
    // Waits, at most until `until`, for the queue to go out; at the end.
    void Drain(Clock::time_point until);

    // The descriptor the loop waits on for writing while Pending(); -1 when
    // writes never wait.
    int Fd() const { return m_pollable ? m_fd : -1; }
    bool Pending() const;
    size_t Queued() const;
    // The reader is gone (EPIPE) or a write failed: nothing more is taken.
    bool Failed() const;
    // Lines left out since the last call, once the queue has emptied (the
    // stream writes again); with atEnd, whatever was left out, the lines
    // still queued included.
    long TakeLeftOut(bool atEnd = false);
    // Over its high-water mark and still taking bytes: a fast replay waits
    // for it until kStall after it last took some (Clock::time_point::min()
    // when under the mark). A stream that took nothing for that long is
    // stalled and holds nothing back.
    Clock::time_point HeldUntil() const;

    static constexpr size_t kHighWater = 64 * 1024;
    static constexpr auto kStall = std::chrono::seconds(1);

private:
    void WriteSome();  // under m_mutex
    long Write(const char* data, size_t size);

    mutable std::mutex m_mutex;
    int m_fd;
    std::FILE* m_file;
    bool m_ownFd = false;     // a description of its own, to close
    bool m_pollable = false;  // writes may find it full
    bool m_socket = false;
    size_t m_capacity;
    std::string m_queue;
    size_t m_sent = 0;  // bytes of m_queue already written
    bool m_failed = false;
    long m_leftOut = 0;
    Clock::time_point m_lastProgress{};
};

}  // namespace vpihost
