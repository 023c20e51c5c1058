#include "cli/ProgressLine.h"

#include <cstdio>

#include "cli/Console.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace vpihost {

namespace {
std::mutex g_activeMutex;
ProgressLine* g_active = nullptr;
}  // namespace

ProgressLine::ProgressLine(bool enabled) : m_enabled(enabled), m_terminal(isatty(fileno(stderr)) != 0) {
    std::lock_guard<std::mutex> lock(g_activeMutex);
    g_active = this;
}

ProgressLine::~ProgressLine() {
    std::lock_guard<std::mutex> lock(g_activeMutex);
    if (g_active == this) g_active = nullptr;
}

void ProgressLine::Update(const std::string& text) {
    std::lock_guard<std::mutex> held(g_activeMutex);  // not while a line is written
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_enabled || text.empty() || (text == m_last && (m_drawn || !m_terminal))) return;
    m_last = text;
    if (!m_terminal) return;
    std::string line = "\r" + text;
    if (text.size() < m_width) line += std::string(m_width - text.size(), ' ');
    m_width = text.size();
    MessageStream().Put(line);
    m_drawn = true;
}

void ProgressLine::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_drawn) return;
    MessageStream().Put("\r" + std::string(m_width, ' ') + "\r");
    m_drawn = false;
    m_width = 0;
}

void ProgressLine::Finish() {
    std::lock_guard<std::mutex> held(g_activeMutex);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_enabled || m_last.empty()) return;
    if (m_terminal) {
        if (m_drawn) MessageStream().Put("\n");
    } else {
        MessageStream().Put(m_last + "\n");
    }
    m_drawn = false;
    m_last.clear();
}

std::unique_lock<std::mutex> ClearProgressLine() {
    std::unique_lock<std::mutex> lock(g_activeMutex);
    if (g_active) g_active->Clear();
    return lock;
}

}  // namespace vpihost
