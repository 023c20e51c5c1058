// Writes a recorded log into the device side of a line, byte for byte as
// the file holds it, on a thread of its own: paced by a baud rate, or at
// baud 0 as fast as the reader takes it. Done once the whole file has been
// written and taken by the reader (Linux).
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "LineWriter.h"
#include "source/HoldBack.h"

namespace vpihost {

class ReplayWriter {
public:
    ReplayWriter() = default;
    ~ReplayWriter();
    ReplayWriter(const ReplayWriter&) = delete;
    ReplayWriter& operator=(const ReplayWriter&) = delete;

    // Opens the log; false with a reason for a missing or non-regular file.
    bool Open(const std::string& path, std::string* error);

    // holdBack, if any, may hold each sentence back (HoldBack.h).
    void Start(int deviceFd, int baud, vpisim::LineWriter::BytesTaken bytesTaken,
               vpisim::LineWriter::WaitTaken waitTaken, HoldBack* holdBack);
    void Stop();

    bool Done() const { return m_done.load(); }
    std::string Failure() const;
    // "replay N of M bytes (P%)".
    std::string Progress() const;

private:
    void Run(int deviceFd, int baud, vpisim::LineWriter::BytesTaken bytesTaken, vpisim::LineWriter::WaitTaken waitTaken,
             HoldBack* holdBack);
    void Fail(const std::string& reason);

    int m_fd = -1;
    unsigned long long m_size = 0;
    std::atomic<unsigned long long> m_written{0};
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::string m_failure;
};

}  // namespace vpihost
