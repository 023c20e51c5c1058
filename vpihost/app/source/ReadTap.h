// What the module read from the line (Linux: the stand-in shows the bytes
// of each completed read): on the receiver thread the bytes are only
// copied into a bounded ring and the loop is woken; after each turn the
// loop appends them to the --log, gathers their sentence identifiers (for
// the hint) and hands each line to the listeners. Bytes that find the ring
// full are counted and said, never waited for.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "source/RecordOrigins.h"
#include "source/SentenceIds.h"

namespace vpihost {

// Takes each line the module read, without its line end, on the loop. A
// line longer than ReadTap::kMaxLine is handed cut at that length.
class LineListener {
public:
    virtual ~LineListener() = default;
    virtual void Line(const std::string& line) = 0;
};

class ReadTap {
public:
    ReadTap();
    ~ReadTap();  // no longer the stand-in's tap
    ReadTap(const ReadTap&) = delete;
    ReadTap& operator=(const ReadTap&) = delete;

    // --log: the bytes are appended to this file; false with the reason.
    bool LogTo(const std::string& path, std::string* error);
    void AddListener(LineListener* listener) { m_listeners.push_back(listener); }

    // The receiver thread (through the stand-in).
    void Copy(const char* bytes, size_t size);
    // The loop: the bytes read since the last call.
    void Drain();

    std::vector<std::string> SentenceIdsRead() const { return m_ids.Seen(); }
    // Which sentence each record came from: fed on the receiver thread, as
    // each read completes, and asked there as each record is handed over.
    RecordOrigins& Origins() { return m_origins; }
    // Writing the log failed; empty while all is well.
    std::string Failure() const { return m_failure; }
    // Bytes that found the ring full, said as the loop takes the rest.
    unsigned long long Lost() const { return m_lostSaid; }

    static constexpr size_t kCapacity = 256 * 1024;
    static constexpr size_t kMaxLine = 1024;

private:
    void Log(const char* bytes, size_t size);
    void Split(const char* bytes, size_t size);

    RecordOrigins m_origins;
    std::mutex m_mutex;  // the ring, between the receiver thread and the loop
    std::vector<char> m_ring;
    size_t m_head = 0, m_size = 0;
    unsigned long long m_lost = 0;
    // The loop's own.
    std::string m_logPath;
    int m_logFd = -1;
    std::string m_failure;
    unsigned long long m_lostSaid = 0;
    SentenceIds m_ids;
    std::string m_line;
    bool m_cut = false;  // the line passed kMaxLine: the rest up to its end is skipped
    std::vector<LineListener*> m_listeners;
    std::vector<char> m_taken;
};

}  // namespace vpihost
