#include "serve/GpsdCommands.h"

#include <cctype>
#include <cstring>

namespace vpihost {

namespace {

GpsdCommand Error(const std::string& message) {
    GpsdCommand c;
    c.error = message;
    return c;
}

// A flat JSON object, as the commands' arguments are: names and values of
// strings, numbers, true and false. Reads from line[*at] on.
class ArgumentParser {
public:
    ArgumentParser(const std::string& line, size_t at) : m_s(line), m_i(at) {}
    size_t At() const { return m_i; }

    // Calls member(name, value, isString) for each member; false with
    // *error on text that is no such object.
    template <typename F>
    bool Object(F member, std::string* error) {
        if (!Take('{')) return Fail("an argument must be a JSON object", error);
        Space();
        if (Take('}')) return true;
        do {
            Space();
            std::string name, value;
            bool isString = false;
            if (!String(&name)) return Fail("a member name must be a string", error);
            Space();
            if (!Take(':')) return Fail("':' must follow a member name", error);
            Space();
            if (!Value(&value, &isString)) return Fail("values must be strings, numbers, true or false", error);
            if (!member(name, value, isString, error)) return false;
            Space();
        } while (Take(','));
        return Take('}') || Fail("the object does not end with '}'", error);
    }

private:
    static bool Fail(const char* why, std::string* error) {
        *error = why;
        return false;
    }
    bool Take(char c) {
        if (m_i >= m_s.size() || m_s[m_i] != c) return false;
        ++m_i;
        return true;
    }
    void Space() {
        while (m_i < m_s.size() && (m_s[m_i] == ' ' || m_s[m_i] == '\t')) ++m_i;
    }
    bool String(std::string* out) {
        if (!Take('"')) return false;
        while (m_i < m_s.size() && m_s[m_i] != '"') {
            char c = m_s[m_i++];
            if (c == '\\') {
                if (m_i >= m_s.size() || !strchr("\"\\/bfnrtu", m_s[m_i])) return false;
                c = m_s[m_i++];
                if (c == 'u') {
                    for (int k = 0; k < 4; ++k)
                        if (m_i >= m_s.size() || !isxdigit(static_cast<unsigned char>(m_s[m_i++]))) return false;
                    c = '?';  // no member this reader takes needs more than ASCII
                }
            }
            *out += c;
        }
        return Take('"');
    }
    bool Value(std::string* out, bool* isString) {
        if (m_i < m_s.size() && m_s[m_i] == '"') {
            *isString = true;
            return String(out);
        }
        for (const char* word : {"true", "false"})
            if (m_s.compare(m_i, strlen(word), word) == 0) {
                m_i += strlen(word);
                *out = word;
                return true;
            }
        const size_t start = m_i;
        Take('-');
        const size_t digits = m_i;
        while (m_i < m_s.size() && (isdigit(static_cast<unsigned char>(m_s[m_i])) || strchr(".eE+-", m_s[m_i]))) ++m_i;
        *out = m_s.substr(start, m_i - start);
        return m_i > digits && isdigit(static_cast<unsigned char>(m_s[digits]));
    }

    const std::string& m_s;
    size_t m_i;
};

bool Flag(const std::string& value, bool isString, int* out) {
    if (isString || (value != "true" && value != "false")) return false;
    if (out) *out = value == "true";
    return true;
}

// ?WATCH's argument; the members this server does not act on are checked
// for their type and otherwise left alone.
bool WatchMember(GpsdCommand* c, const std::string& name, const std::string& value, bool isString, std::string* error) {
    bool ok;
    if (name == "enable") {
        ok = Flag(value, isString, &c->enable);
    } else if (name == "json") {
        ok = Flag(value, isString, &c->json);
    } else if (name == "nmea" || name == "scaled" || name == "split24" || name == "pps" || name == "timing") {
        ok = Flag(value, isString, nullptr);
    } else if (name == "raw") {
        ok = !isString && value.find_first_not_of("0123456789") == std::string::npos;
    } else if (name == "device") {
        c->device = value;
        ok = isString;
    } else if (name == "remote") {
        ok = isString;
    } else {
        *error = "unknown attribute '" + name + "' in WATCH";
        return false;
    }
    if (!ok) *error = "wrong type for '" + name + "' in WATCH";
    return ok;
}

GpsdCommand::Kind KindOf(const std::string& name, bool* known) {
    *known = true;
    if (name == "WATCH") return GpsdCommand::Kind::kWatch;
    if (name == "POLL") return GpsdCommand::Kind::kPoll;
    if (name == "DEVICES") return GpsdCommand::Kind::kDevices;
    if (name == "VERSION") return GpsdCommand::Kind::kVersion;
    *known = false;
    return GpsdCommand::Kind::kError;
}

}  // namespace

std::vector<GpsdCommand> ParseRequestLine(const std::string& line) {
    std::vector<GpsdCommand> out;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] != '?') {
            out.push_back(Error("a request must begin with '?'"));
            return out;
        }
        const size_t start = ++i;
        while (i < line.size() && isupper(static_cast<unsigned char>(line[i]))) ++i;
        const std::string name = line.substr(start, i - start);
        bool known = false;
        GpsdCommand c;
        c.kind = KindOf(name, &known);
        if (!known) {
            out.push_back(Error("Unrecognized request '" + name + "'"));
            return out;
        }
        if (i < line.size() && line[i] == '=') {
            ArgumentParser args(line, i + 1);
            std::string error;
            const bool parsed = c.kind == GpsdCommand::Kind::kWatch
                                    ? args.Object([&](const std::string& n, const std::string& v, bool s,
                                                      std::string* e) { return WatchMember(&c, n, v, s, e); },
                                                  &error)
                                    : (error = "?" + name + " takes no argument", false);
            if (!parsed) {
                out.push_back(Error(error));
                return out;
            }
            i = args.At();
        }
        out.push_back(c);
        // Any ';' or white space after a command is ignored.
        while (i < line.size() && (line[i] == ';' || line[i] == ' ' || line[i] == '\t')) ++i;
    }
    return out;
}

bool CommandReader::Feed(const char* data, size_t size, std::vector<GpsdCommand>* out) {
    for (size_t k = 0; k < size; ++k) {
        const unsigned char c = static_cast<unsigned char>(data[k]);
        if (c == '\n') {
            EndLine(out);
            if (m_badInARow >= kMaxBadLines) return false;
            continue;
        }
        if (++m_length > kMaxOverlong) return false;
        if (c >= 0x80 || (c < 0x20 && c != '\r' && c != '\t')) m_binary = true;
        if (m_line.size() < kMaxLine) m_line += static_cast<char>(c);
        m_lastByte = c;
    }
    return true;
}

void CommandReader::EndLine(std::vector<GpsdCommand>* out) {
    if (m_lastByte == '\r') {
        if (m_length <= kMaxLine) m_line.pop_back();
        --m_length;
    }
    std::vector<GpsdCommand> commands;
    if (m_binary)
        commands.push_back(Error("a request must be US-ASCII text"));
    else if (m_length > kMaxLine)
        commands.push_back(Error("a request may be no more than " + std::to_string(kMaxLine) + " characters long"));
    else if (m_length > 0)
        commands = ParseRequestLine(m_line);
    bool bad = false;
    for (const GpsdCommand& c : commands) bad = bad || c.kind == GpsdCommand::Kind::kError;
    m_badInARow = bad ? m_badInARow + 1 : 0;
    out->insert(out->end(), commands.begin(), commands.end());
    m_line.clear();
    m_length = 0;
    m_binary = false;
    m_lastByte = 0;
}

}  // namespace vpihost
