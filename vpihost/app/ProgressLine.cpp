#include "ProgressLine.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace vpihost {

ProgressLine::ProgressLine(bool enabled) : m_enabled(enabled), m_terminal(isatty(fileno(stderr)) != 0) {}

void ProgressLine::Update(const std::string& text) {
    if (!m_enabled || text.empty() || text == m_last) return;
    m_last = text;
    if (!m_terminal) return;
    std::string line = "\r" + text;
    if (text.size() < m_width) line += std::string(m_width - text.size(), ' ');
    m_width = text.size();
    fputs(line.c_str(), stderr);
    fflush(stderr);
    m_drawn = true;
}

void ProgressLine::Finish() {
    if (!m_enabled || m_last.empty()) return;
    if (m_terminal) {
        if (m_drawn) fputs("\n", stderr);
    } else {
        fprintf(stderr, "%s\n", m_last.c_str());
    }
    fflush(stderr);
    m_drawn = false;
    m_last.clear();
}

}  // namespace vpihost
