// The command reader of the Linux GPS tools' JSON protocol: request lines of
// US-ASCII text, at most 80 characters before their line end (LF, or CR LF),
// each one or more commands "?NAME;" or "?NAME={json object};". Any bytes
// give commands or errors, never more than a line's worth of memory.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vpihost {

struct GpsdCommand {
    enum class Kind { kWatch, kPoll, kDevices, kVersion, kError };
    Kind kind = Kind::kError;
    // ?WATCH: the members given, -1 where not given; a ?WATCH with an
    // argument and no "enable" enables, as the protocol says.
    int enable = -1;
    int json = -1;
    int nmea = -1;
    int raw = -1;        // 0, 1 or 2
    std::string device;  // ?WATCH's "device", empty when not given
    std::string error;   // kError: the message for the ERROR object
};

// What a client has asked for with its ?WATCH commands so far. Members a
// WATCH does not name keep what the last one set.
struct WatchPolicy {
    bool enable = false;
    bool json = false;
    bool nmea = false;
    int raw = 0;

    void Apply(const GpsdCommand& watch);
    bool WantsReports() const { return enable && json; }
    // The receiver's sentences as read: for an NMEA receiver raw 1 and 2
    // are what nmea is.
    bool WantsSentences() const { return enable && (nmea || raw > 0); }
};

class CommandReader {
public:
    // Takes the bytes as they arrive and appends the commands of every
    // line they complete. False once the client is to be dropped: a line
    // that goes on far past the limit, or too many bad lines.
    bool Feed(const char* data, size_t size, std::vector<GpsdCommand>* out);

    static constexpr size_t kMaxLine = 80;        // the protocol's limit, without the line end
    static constexpr size_t kMaxOverlong = 1024;  // a line this long is no client's
    // Bad lines before the client is dropped; only a line with a good
    // command between them starts the count again, empty lines do not.
    static constexpr int kMaxBadLines = 8;

private:
    void EndLine(std::vector<GpsdCommand>* out);

    std::string m_line;
    size_t m_length = 0;  // bytes of this line so far, past kMaxLine too
    bool m_binary = false;
    int m_badInARow = 0;
};

// The commands of one request line (without its line end); none for a
// line of nothing but white space, which is neither good nor bad.
std::vector<GpsdCommand> ParseRequestLine(const std::string& line);

}  // namespace vpihost
