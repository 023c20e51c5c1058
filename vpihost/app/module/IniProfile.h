// The host profile in an INI file: one section per plug-in id ("[plugin 1]"),
// one "key=value" line per setting. Lines that are not ours (comments,
// other sections, unknown keys) are kept as they are when the file is
// written back.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace vpihost {

class IniProfile {
public:
    // Reads the file; a missing file is an empty profile. False (with a
    // reason) when the file exists but cannot be read or is too large.
    bool Load(const std::string& path, std::string* error);

    // The stored value, or nDefault when absent or not a number.
    int GetInt(unsigned int pluginId, const std::string& key, int nDefault) const;
    bool Has(unsigned int pluginId, const std::string& key) const;

    // Stores the value and writes the whole file (AtomicFile.h: never half
    // a profile; through links; a read-only file is refused); the file's
    // line ends (LF or CR LF) are kept. False with a reason when the file
    // cannot be written; the value is kept in memory either way.
    bool SetInt(unsigned int pluginId, const std::string& key, int value, std::string* error);
    // A write has failed in this run.
    bool WriteFailed() const { return m_writeFailed.load(); }

    // The file's text as it would be written.
    std::string Text() const;
    const std::string& path() const { return m_path; }

    static std::string SectionName(unsigned int pluginId);

    // Largest profile file read, and most lines: the memory a line takes
    // is far more than its bytes.
    static constexpr size_t kMaxFileSize = 1 << 20;
    static constexpr size_t kMaxLines = 10000;

private:
    struct Line {
        std::string text;     // as read, for lines we do not own
        bool crlf = false;    // ended in CR LF
        std::string section;  // the section the line stands in
        std::string key;      // empty: not a key line
        std::string value;
        bool changed = false;
    };

    // False when the text has more than kMaxLines lines.
    bool Parse(const std::string& text);
    // Index of the key's line, -1 when absent.
    int Find(const std::string& section, const std::string& key) const;
    bool Save(std::string* error) const;

    std::string m_path;
    bool m_crlf = false;  // most lines end in CR LF: new lines do too
    std::vector<Line> m_lines;
    mutable std::mutex m_mutex;
    std::atomic<bool> m_writeFailed{false};
};

// $XDG_CONFIG_HOME/vpihost/profile.ini (~/.config/... without it); on
// Windows %APPDATA%\vpihost\profile.ini.
std::string DefaultProfilePath();

}  // namespace vpihost
