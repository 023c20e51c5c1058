// Reading vpihost's JSON lines back: flat objects of numbers and strings.
#pragma once

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

// Members by name; strings unescaped, numbers as their text. Empty when the
// line is not such an object.
inline std::map<std::string, std::string> ParseFlatJson(const std::string& line) {
    std::map<std::string, std::string> members;
    size_t i = 0;
    auto fail = [&] {
        members.clear();
        return members;
    };
    auto readString = [&](std::string* out) {
        if (i >= line.size() || line[i] != '"') return false;
        for (++i; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                char e = line[++i];
                if (e == 'u' && i + 4 < line.size()) {
                    *out += static_cast<char>(strtol(line.substr(i + 1, 4).c_str(), nullptr, 16));
                    i += 4;
                } else {
                    *out += e;
                }
            } else {
                *out += line[i];
            }
        }
        return i++ < line.size();
    };
    if (line.empty() || line[i++] != '{') return fail();
    while (i < line.size() && line[i] != '}') {
        std::string name, value;
        if (!readString(&name) || i >= line.size() || line[i++] != ':') return fail();
        if (i < line.size() && line[i] == '"') {
            if (!readString(&value)) return fail();
        } else {
            size_t end = line.find_first_of(",}", i);
            if (end == std::string::npos) return fail();
            value = line.substr(i, end - i);
            i = end;
        }
        members[name] = value;
        if (i < line.size() && line[i] == ',') ++i;
    }
    return members;
}

inline std::vector<std::map<std::string, std::string>> ParseJsonLines(const std::string& text) {
    std::vector<std::map<std::string, std::string>> records;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) records.push_back(ParseFlatJson(text.substr(start, end - start)));
        start = end + 1;
    }
    return records;
}

inline double Number(const std::map<std::string, std::string>& record, const std::string& name) {
    auto it = record.find(name);
    return it == record.end() ? -1e300 : strtod(it->second.c_str(), nullptr);
}

inline std::string Text(const std::map<std::string, std::string>& record, const std::string& name) {
    auto it = record.find(name);
    return it == record.end() ? std::string("<absent>") : it->second;
}
