#include "output/TrackFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "cli/Console.h"
#include "output/AtomicFile.h"

namespace vpihost {

namespace {

bool Refuse(const std::string& path, const char* what, const std::string& reason) {
    ErrorLine(std::string("cannot write the ") + what + " " + path + ": " + reason);
    return false;
}

std::string Reason(int code) { return code == EISDIR ? "it is a folder" : strerror(code); }

// The log is appended to as the run goes: it is tried as it will be
// opened, through its links; a file made for the test is removed again
// (never the user's link to it).
bool LogWritable(const std::string& path) {
    std::string target;
    if (!ResolveLinks(path, &target)) return Refuse(path, "log", strerror(ELOOP));
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec)) return Refuse(path, "log", Reason(EISDIR));
    const bool existed = std::filesystem::exists(target, ec);
    errno = 0;
    FILE* file = fopen(target.c_str(), "ab");
    if (!file) return Refuse(path, "log", strerror(errno ? errno : EIO));
    fclose(file);
    if (!existed) std::filesystem::remove(target, ec);
    return true;
}

// Said at once, not after an hour's drive.
bool Replaceable(const std::string& path, const char* what) {
    const int code = path.empty() ? 0 : CheckReplaceable(path);
    return code == 0 || Refuse(path, what, Reason(code));
}

}  // namespace

bool OutputsWritable(const std::string& gpx, const std::string& svg, const std::string& log) {
    return Replaceable(gpx, "GPX file") && Replaceable(svg, "picture") && (log.empty() || LogWritable(log));
}

void TrackFiles::Write() {
    if (!m_gpx.empty()) WriteOne(m_gpx, GpxDocument(m_track, m_timesAreUtc), &m_gpxFailed);
    if (!m_svg.empty()) WriteOne(m_svg, SvgDocument(m_track), &m_svgFailed);
}

void TrackFiles::WriteOne(const std::string& path, const std::string& text, bool* failed) {
    const int code = ReplaceWholeFile(path, text);
    if (code == 0 || *failed) return;
    *failed = true;
    ErrorLine("cannot write " + path + ": " + strerror(code));
}

}  // namespace vpihost
