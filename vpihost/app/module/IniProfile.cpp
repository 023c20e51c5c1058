#include "module/IniProfile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "output/AtomicFile.h"

namespace vpihost {

namespace {

std::string Trim(const std::string& s) {
    size_t begin = s.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return std::string();
    size_t end = s.find_last_not_of(" \t\r");
    return s.substr(begin, end - begin + 1);
}

bool ToInt(const std::string& text, int* out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long value = strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < -2147483647L - 1 || value > 2147483647L) return false;
    *out = static_cast<int>(value);
    return true;
}

}  // namespace

std::string IniProfile::SectionName(unsigned int pluginId) { return "plugin " + std::to_string(pluginId); }

bool IniProfile::Load(const std::string& path, std::string* error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_path = path;
    m_lines.clear();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return true;
    auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        *error = "cannot read the profile " + path + ": " + ec.message();
        return false;
    }
    if (size > kMaxFileSize) {
        *error = "the profile " + path + " is larger than 1 MiB";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read the profile " + path + ": " + strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!Parse(text.str())) {
        m_lines.clear();
        *error = "the profile " + path + " has more than " + std::to_string(kMaxLines) + " lines";
        return false;
    }
    return true;
}

bool IniProfile::Parse(const std::string& text) {
    std::string section;
    size_t start = 0;
    size_t crlfLines = 0;
    while (start < text.size()) {
        if (m_lines.size() >= kMaxLines) return false;
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        Line line;
        line.text = text.substr(start, end - start);
        if (!line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.crlf = true;
            ++crlfLines;
        }
        start = end + 1;

        std::string trimmed = Trim(line.text);
        if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
            section = Trim(trimmed.substr(1, trimmed.size() - 2));
        } else if (!trimmed.empty() && trimmed[0] != ';' && trimmed[0] != '#') {
            size_t eq = trimmed.find('=');
            if (eq != std::string::npos && eq > 0) {
                line.key = Trim(trimmed.substr(0, eq));
                line.value = Trim(trimmed.substr(eq + 1));
            }
        }
        line.section = section;
        m_lines.push_back(line);
    }
    m_crlf = crlfLines * 2 > m_lines.size();
    return true;
}

int IniProfile::Find(const std::string& section, const std::string& key) const {
    // The last of duplicate keys wins, as it would when read top to bottom.
    int found = -1;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        if (!line.key.empty() && line.section == section && line.key == key) found = static_cast<int>(i);
    }
    return found;
}

int IniProfile::GetInt(unsigned int pluginId, const std::string& key, int nDefault) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    int index = Find(SectionName(pluginId), key);
    int value;
    return index >= 0 && ToInt(m_lines[static_cast<size_t>(index)].value, &value) ? value : nDefault;
}

bool IniProfile::Has(unsigned int pluginId, const std::string& key) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    int value;
    int index = Find(SectionName(pluginId), key);
    return index >= 0 && ToInt(m_lines[static_cast<size_t>(index)].value, &value);
}

bool IniProfile::SetInt(unsigned int pluginId, const std::string& key, int value, std::string* error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string section = SectionName(pluginId);
    int index = Find(section, key);
    if (index >= 0) {
        m_lines[static_cast<size_t>(index)].value = std::to_string(value);
        m_lines[static_cast<size_t>(index)].changed = true;
    } else {
        // Behind the section's last key line, or a new section at the end.
        size_t insertAt = m_lines.size();
        bool sectionFound = false;
        for (size_t i = 0; i < m_lines.size(); ++i) {
            const std::string trimmed = Trim(m_lines[i].text);
            bool header = trimmed.size() >= 2 && trimmed.front() == '[' && m_lines[i].section == section;
            if (header || (m_lines[i].section == section && !m_lines[i].key.empty())) {
                sectionFound = true;
                insertAt = i + 1;
            }
        }
        if (!sectionFound) {
            if (!m_lines.empty() && (!m_lines.back().key.empty() || !Trim(m_lines.back().text).empty())) {
                Line blank;
                blank.crlf = m_crlf;
                blank.section = m_lines.back().section;
                m_lines.push_back(blank);
            }
            Line header;
            header.crlf = m_crlf;
            header.text = "[" + section + "]";
            header.section = section;
            m_lines.push_back(header);
            insertAt = m_lines.size();
        }
        Line line;
        line.crlf = m_crlf;
        line.section = section;
        line.key = key;
        line.value = std::to_string(value);
        line.changed = true;
        m_lines.insert(m_lines.begin() + static_cast<long>(insertAt), line);
    }
    if (Save(error)) return true;
    m_writeFailed = true;
    return false;
}

std::string IniProfile::Text() const {
    std::string text;
    for (const Line& line : m_lines) {
        text += line.changed ? line.key + "=" + line.value : line.text;
        text += line.crlf ? "\r\n" : "\n";
    }
    return text;
}

bool IniProfile::Save(std::string* error) const {
    if (m_path.empty()) return true;
    namespace fs = std::filesystem;
    std::string target;
    int code = ResolveLinks(m_path, &target) ? 0 : ELOOP;
    if (code == 0) {
        std::error_code ec;
        if (fs::path(target).has_parent_path()) fs::create_directories(fs::path(target).parent_path(), ec);
        code = ReplaceWholeFile(target, Text());
    }
    if (code == 0) return true;
    *error = "cannot write the profile " + m_path + ": " + ReplaceFailure(code);
    return false;
}

std::string DefaultProfilePath() {
#ifdef _WIN32
    const char* appData = getenv("APPDATA");
    std::string base = appData && *appData ? appData : ".";
    return base + "\\vpihost\\profile.ini";
#else
    const char* xdg = getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.config";
    }
    return base + "/vpihost/profile.ini";
#endif
}

}  // namespace vpihost
