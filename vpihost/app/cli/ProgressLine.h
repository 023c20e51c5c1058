// A progress line on stderr: redrawn in place on a terminal; elsewhere only
// the last state is written, once, so logs stay readable. Records and
// status lines clear it first and hold it off while they are written
// (ClearProgressLine), so that they never run into it; the next update
// draws it again.
#pragma once

#include <mutex>
#include <string>

namespace vpihost {

class ProgressLine {
public:
    explicit ProgressLine(bool enabled);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Update(const std::string& text);
    void Finish();
    // Takes the drawn line off the terminal.
    void Clear();

private:
    std::mutex m_mutex;
    bool m_enabled;
    bool m_terminal;
    bool m_drawn = false;
    std::string m_last;
    size_t m_width = 0;
};

// Clears the progress line that is drawn now, if any, and keeps it from
// being drawn again until the lock is released, while the caller writes its
// line; any thread.
std::unique_lock<std::mutex> ClearProgressLine();

}  // namespace vpihost
