// A progress line on stderr: redrawn in place on a terminal; elsewhere only
// the last state is written, once, so logs stay readable.
#pragma once

#include <string>

namespace vpihost {

class ProgressLine {
public:
    explicit ProgressLine(bool enabled);
    void Update(const std::string& text);
    void Finish();

private:
    bool m_enabled;
    bool m_terminal;
    bool m_drawn = false;
    std::string m_last;
    size_t m_width = 0;
};

}  // namespace vpihost
