// What an output path (--gpx, --svg, --log) names, through its links: a
// file that vpihost replaces or appends to, a named pipe or a character
// device that it writes into, or something it refuses at the start.
#pragma once

#include <string>

namespace vpihost {

enum class TargetKind { kFile, kStream, kRefused };

struct OutputTarget {
    TargetKind kind = TargetKind::kFile;
    bool pipe = false;  // kStream: a named pipe, not a device
    // kStream: "a named pipe", "a character device"; kRefused: why not, in
    // words ("it is a socket, not a file").
    std::string what;
};

// A regular file or none yet is kFile; never replaced are the rest.
OutputTarget ExamineOutput(const std::string& path);

// Writes text into the named pipe or device at path once, without waiting
// for a reader that is not there: 0, or an errno value (ENXIO: nobody
// reads the pipe; ETIMEDOUT: its reader took nothing for kStreamStall).
int WriteIntoStream(const std::string& path, const std::string& text);
constexpr int kStreamStallMs = 2000;

// A failure of WriteIntoStream in words.
std::string StreamFailure(int code);

}  // namespace vpihost
