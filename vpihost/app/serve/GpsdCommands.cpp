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

// JSON's white space; a stray CR before the line end is some client's
// second line end, not a request.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

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
        while (m_i < m_s.size() && IsSpace(m_s[m_i])) ++m_i;
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

// The kinds of value a WATCH member takes.
enum class Type { kFlag, kRawLevel, kText };

constexpr int kMaxRaw = 2;  // raw 2 is the receiver's bytes unchanged; more is nothing

// One value of its type into *out (where the member is kept); false when
// the value is not of that type.
bool Convert(Type type, const std::string& value, bool isString, int* out) {
    switch (type) {
        case Type::kFlag:
            if (isString || (value != "true" && value != "false")) return false;
            *out = value == "true";
            return true;
        case Type::kRawLevel:
            if (isString || value.size() != 1 || value[0] < '0' || value[0] > '0' + kMaxRaw) return false;
            *out = value[0] - '0';
            return true;
        case Type::kText:
            return isString;
    }
    return false;
}

// ?WATCH's members: those this server acts on, and those it takes and
// checks for their type only (the answer says they are off).
struct WatchMember {
    const char* name;
    Type type;
    int GpsdCommand::*flag;          // where a flag or level goes, or null
    std::string GpsdCommand::*text;  // where a text goes, or null
};

constexpr WatchMember kWatchMembers[] = {
    {"enable", Type::kFlag, &GpsdCommand::enable, nullptr},
    {"json", Type::kFlag, &GpsdCommand::json, nullptr},
    {"nmea", Type::kFlag, &GpsdCommand::nmea, nullptr},
    {"raw", Type::kRawLevel, &GpsdCommand::raw, nullptr},
    {"device", Type::kText, nullptr, &GpsdCommand::device},
    {"scaled", Type::kFlag, nullptr, nullptr},
    {"split24", Type::kFlag, nullptr, nullptr},
    {"pps", Type::kFlag, nullptr, nullptr},
    {"timing", Type::kFlag, nullptr, nullptr},
    {"remote", Type::kText, nullptr, nullptr},
};

bool TakeWatchMember(GpsdCommand* c, const std::string& name, const std::string& value, bool isString,
                     std::string* error) {
    for (const WatchMember& m : kWatchMembers) {
        if (name != m.name) continue;
        int converted = 0;
        if (!Convert(m.type, value, isString, &converted)) {
            *error = m.type == Type::kRawLevel ? "'raw' in WATCH must be 0, 1 or 2"
                                               : "wrong type for '" + name + "' in WATCH";
            return false;
        }
        if (m.flag) c->*m.flag = converted;
        if (m.text) c->*m.text = value;
        return true;
    }
    *error = "unknown attribute '" + name + "' in WATCH";
    return false;
}

struct CommandName {
    const char* name;
    GpsdCommand::Kind kind;
    bool takesArgument;
};

constexpr CommandName kCommands[] = {
    {"WATCH", GpsdCommand::Kind::kWatch, true},
    {"POLL", GpsdCommand::Kind::kPoll, false},
    {"DEVICES", GpsdCommand::Kind::kDevices, false},
    {"VERSION", GpsdCommand::Kind::kVersion, false},
};

const CommandName* FindCommand(const std::string& name) {
    for (const CommandName& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

// A command's name runs to its argument, its ';', white space or the end.
bool EndsName(char c) { return c == '=' || c == ';' || IsSpace(c); }

void SkipSeparators(const std::string& line, size_t* i) {
    while (*i < line.size() && (line[*i] == ';' || IsSpace(line[*i]))) ++*i;
}

// The argument of the command at line[*i] ('=' and the object), into c.
bool TakeArgument(const std::string& line, size_t* i, const CommandName& name, GpsdCommand* c, std::string* error) {
    if (!name.takesArgument) {
        *error = std::string("?") + name.name + " takes no argument";
        return false;
    }
    ArgumentParser args(line, *i + 1);
    const bool parsed = args.Object([&](const std::string& n, const std::string& v, bool s,
                                        std::string* e) { return TakeWatchMember(c, n, v, s, e); },
                                    error);
    if (!parsed) return false;
    *i = args.At();
    if (*i < line.size() && line[*i] != ';' && !IsSpace(line[*i])) {
        *error = "a command must end with ';'";
        return false;
    }
    if (c->enable < 0) c->enable = 1;
    return true;
}

}  // namespace

void WatchPolicy::Apply(const GpsdCommand& watch) {
    if (watch.enable >= 0) enable = watch.enable == 1;
    if (watch.json >= 0) json = watch.json == 1;
    if (watch.nmea >= 0) nmea = watch.nmea == 1;
    if (watch.raw >= 0) raw = watch.raw;
}

std::vector<GpsdCommand> ParseRequestLine(const std::string& line) {
    std::vector<GpsdCommand> out;
    size_t i = 0;
    SkipSeparators(line, &i);
    while (i < line.size()) {
        if (line[i] != '?') {
            out.push_back(Error("a request must begin with '?'"));
            return out;
        }
        const size_t start = ++i;
        while (i < line.size() && !EndsName(line[i])) ++i;
        const std::string name = line.substr(start, i - start);
        const CommandName* known = FindCommand(name);
        if (!known) {
            out.push_back(Error("Unrecognized request '" + name + "'"));
            return out;
        }
        GpsdCommand c;
        c.kind = known->kind;
        std::string error;
        if (i < line.size() && line[i] == '=' && !TakeArgument(line, &i, *known, &c, &error)) {
            out.push_back(Error(error));
            return out;
        }
        out.push_back(c);
        SkipSeparators(line, &i);
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
        if (m_line.size() <= kMaxLine) m_line += static_cast<char>(c);
    }
    return true;
}

void CommandReader::EndLine(std::vector<GpsdCommand>* out) {
    // One line end: LF, or CR LF. The CR is kept only while the line may
    // still be short enough, so that it counts against no limit.
    size_t length = m_length;
    if (length > 0 && length == m_line.size() && m_line.back() == '\r') {
        m_line.pop_back();
        --length;
    }
    std::vector<GpsdCommand> commands;
    if (m_binary)
        commands.push_back(Error("a request must be US-ASCII text"));
    else if (length > kMaxLine)
        commands.push_back(Error("a request may be no more than " + std::to_string(kMaxLine) + " characters long"));
    else
        commands = ParseRequestLine(m_line);
    bool bad = false;
    for (const GpsdCommand& c : commands) bad = bad || c.kind == GpsdCommand::Kind::kError;
    if (bad)
        ++m_badInARow;
    else if (!commands.empty())
        m_badInARow = 0;
    out->insert(out->end(), commands.begin(), commands.end());
    m_line.clear();
    m_length = 0;
    m_binary = false;
}

}  // namespace vpihost
