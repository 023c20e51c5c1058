// The host profile in an INI file: one section per plug-in id ("[plugin 1]"),
// one "key=value" line per setting. Lines that are not ours (comments,
// other sections, unknown keys) are kept as they are when the file is
// written back.
#pragma once

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

    // Stores the value and writes the whole file (through a temporary file,
    // so a crash never leaves half a profile). False with a reason when the
    // file cannot be written; the value is kept in memory either way.
    bool SetInt(unsigned int pluginId, const std::string& key, int value, std::string* error);

    // The file's text as it would be written.
    std::string Text() const;
    const std::string& path() const { return m_path; }

    static std::string SectionName(unsigned int pluginId);

    // Largest profile file read.
    static constexpr size_t kMaxFileSize = 1 << 20;

private:
    struct Line {
        std::string text;     // as read, for lines we do not own
        std::string section;  // the section the line stands in
        std::string key;      // empty: not a key line
        std::string value;
        bool changed = false;
    };

    void Parse(const std::string& text);
    // Index of the key's line, -1 when absent.
    int Find(const std::string& section, const std::string& key) const;
    bool Save(std::string* error) const;

    std::string m_path;
    std::vector<Line> m_lines;
    mutable std::mutex m_mutex;
};

// $XDG_CONFIG_HOME/vpihost/profile.ini (~/.config/... without it); on
// Windows %APPDATA%\vpihost\profile.ini.
std::string DefaultProfilePath();

}  // namespace vpihost
