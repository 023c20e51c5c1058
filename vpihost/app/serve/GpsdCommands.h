// The command reader of the Linux GPS tools' JSON protocol: request lines of
// US-ASCII text, at most 80 characters before their line end, each one or
// more commands "?NAME;" or "?NAME={json object};". Any bytes give commands
// or errors, never more than a line's worth of memory.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vpihost {

struct GpsdCommand {
    enum class Kind { kWatch, kPoll, kDevices, kVersion, kError };
    Kind kind = Kind::kError;
    // ?WATCH: the members given, -1 where not given.
    int enable = -1;
    int json = -1;
    std::string device;  // ?WATCH's "device", empty when not given
    std::string error;   // kError: the message for the ERROR object
};

class CommandReader {
public:
    // Takes the bytes as they arrive and appends the commands of every
    // line they complete. False once the client is to be dropped: a line
    // that goes on far past the limit, or too many bad lines in a row.
    bool Feed(const char* data, size_t size, std::vector<GpsdCommand>* out);

    static constexpr size_t kMaxLine = 80;        // the protocol's limit, without the line end
    static constexpr size_t kMaxOverlong = 1024;  // a line this long is no client's
    static constexpr int kMaxBadLines = 8;        // bad lines in a row before the client is dropped

private:
    void EndLine(std::vector<GpsdCommand>* out);

    std::string m_line;
    size_t m_length = 0;  // bytes of this line so far, past kMaxLine too
    bool m_binary = false;
    unsigned char m_lastByte = 0;
    int m_badInARow = 0;
};

// The commands of one request line (without its line end).
std::vector<GpsdCommand> ParseRequestLine(const std::string& line);

}  // namespace vpihost
