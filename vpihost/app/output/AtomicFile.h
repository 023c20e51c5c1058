// Files that vpihost writes whole (the profile, the GPX file, the picture):
// through a temporary file of a name of its own in the target's folder,
// flushed to the disk and renamed over the target, so that a crash, a kill
// or a power cut leaves the old file or the new one, never part of one, and
// two writers never share a temporary file. A symbolic link is written
// through to its target (made when it does not exist yet); the target's
// mode is kept, and on Linux its owner where the system allows. A file that
// may not be written (mode 0444) is refused like one in a folder that may
// not be written, not replaced. Only a regular file is ever replaced: a
// FIFO, a device or a socket where the file was is refused
// (kNotRegularFile), also one reached through links.
#pragma once

#include <cstdint>
#include <string>

namespace vpihost {

// The file a path names, through any symbolic links, also when the last
// link's target does not exist yet; false for a loop.
bool ResolveLinks(const std::string& path, std::string* target);

// Replaces the file at path (through its links) with text: 0, or why not
// as an errno value (or kNotRegularFile). No temporary file is left behind.
int ReplaceWholeFile(const std::string& path, const std::string& text);

// What a replacement holds: the first prefixBytes of the file open at
// prefixFd (none when -1), then text; a long file that grows at its end so
// costs the kernel's copy of the part that stays, not its making.
struct WholeFileParts {
    int prefixFd = -1;
    uint64_t prefixBytes = 0;
    const std::string* text = nullptr;
};
// As above. *kept, when given, gets a descriptor of the new file, open for
// reading, for the next replacement's prefix; -1 where none is kept
// (Windows refuses to replace a file that is open).
int ReplaceWholeFile(const std::string& path, const WholeFileParts& parts, int* kept);

// The target exists and is not a regular file.
constexpr int kNotRegularFile = -1;
// A failure in words: "it is not a regular file", or the system's text.
std::string ReplaceFailure(int code);

// Whether ReplaceWholeFile could write the path: 0, or why not as an errno
// value (EISDIR for a folder). Nothing is changed.
int CheckReplaceable(const std::string& path);

}  // namespace vpihost
