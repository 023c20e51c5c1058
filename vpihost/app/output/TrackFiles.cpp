#include "output/TrackFiles.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cli/Console.h"
#include "output/AtomicFile.h"
#include "output/Gpx.h"
#include "output/OutputTarget.h"
#include "output/TrackPicture.h"

namespace vpihost {

namespace {

bool Refuse(const std::string& path, const char* what, const std::string& reason) {
    ErrorLine(std::string("cannot write the ") + what + " " + path + ": " + reason);
    return false;
}

// The processor time of this thread, in seconds.
double ThreadCpuSeconds() {
#ifdef _WIN32
    // msvcrt's clock counts wall time since the start: a write's share then
    // errs towards writing less often, never more.
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#else
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
#endif
}

// A named pipe for the log, opened while it has a reader: kept open for
// the run, so that the reader sees no end of file before the data
// source has opened the log too.
bool LogPipeRead(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return false;
#else
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Refuse(path, "log",
                      errno == ENXIO ? "nobody reads the named pipe; start its reader first" : strerror(errno));
    static int s_held = -1;
    if (s_held >= 0) close(s_held);
    s_held = fd;
    return true;
#endif
}

// The log is appended to as the run goes: it is tried as it will be
// opened, through its links; a file made for the test is removed again
// (never the user's link to it).
bool LogWritable(const std::string& path) {
    const OutputTarget target = ExamineOutput(path);
    if (target.kind == TargetKind::kRefused) return Refuse(path, "log", target.what);
    if (target.pipe) return LogPipeRead(path);
    std::string file;
    if (!ResolveLinks(path, &file)) return Refuse(path, "log", strerror(ELOOP));
    std::error_code ec;
    const bool existed = std::filesystem::exists(file, ec);
    errno = 0;
    FILE* opened = fopen(file.c_str(), "ab");
    if (!opened) return Refuse(path, "log", strerror(errno ? errno : EIO));
    fclose(opened);
    if (!existed) std::filesystem::remove(file, ec);
    return true;
}

// Said at once, not after an hour's drive.
bool TrackFileWritable(const std::string& path, const char* what) {
    if (path.empty()) return true;
    const OutputTarget target = ExamineOutput(path);
    if (target.kind == TargetKind::kRefused) return Refuse(path, what, target.what);
    if (target.kind == TargetKind::kStream) {
        Status(std::string("the ") + what + " " + path + " is " + target.what +
               ": it gets the whole document once, at the end");
        return true;
    }
    const int code = CheckReplaceable(path);
    return code == 0 || Refuse(path, what, ReplaceFailure(code));
}

}  // namespace

bool OutputsWritable(const std::string& gpx, const std::string& svg, const std::string& log) {
    return TrackFileWritable(gpx, "GPX file") && TrackFileWritable(svg, "picture") && (log.empty() || LogWritable(log));
}

TrackFiles::TrackFiles(std::string gpx, std::string svg, bool timesAreUtc) : m_timesAreUtc(timesAreUtc) {
    m_gpx.path = std::move(gpx);
    m_gpx.what = "GPX file";
    m_svg.path = std::move(svg);
    m_svg.what = "picture";
    for (Output* out : {&m_gpx, &m_svg})
        out->stream = !out->path.empty() && ExamineOutput(out->path).kind == TargetKind::kStream;
}

TrackFiles::~TrackFiles() {
#ifndef _WIN32
    if (m_gpx.kept >= 0) close(m_gpx.kept);
#endif
}

void TrackFiles::Write(const Track& track, bool last) {
    const double started = ThreadCpuSeconds();
    for (Output* out : {&m_gpx, &m_svg}) {
        if (out->path.empty() || (out->stream && !last)) continue;
        if (!out->stream) {
            if (out == &m_gpx) {
                WriteGpx(track);
            } else {
                const int code = ReplaceWholeFile(out->path, SvgDocument(track, m_timesAreUtc));
                if (code != 0) Failure(*out, ReplaceFailure(code));
            }
            continue;
        }
        const std::string text = out == &m_gpx ? GpxDocument(track, m_timesAreUtc) : SvgDocument(track, m_timesAreUtc);
        const int code = WriteIntoStream(out->path, text);
        if (code != 0) Failure(*out, StreamFailure(code));
    }
    m_lastCost = ThreadCpuSeconds() - started;
}

void TrackFiles::WriteGpx(const Track& track) {
    Output& out = m_gpx;
    if (track.size() < out.settledPoints) out.settledPoints = 0;  // another track: nothing of the old file stays
    const bool copy = out.kept >= 0 && out.settledPoints > 0;
    const size_t from = copy ? out.settledPoints : 0;
    const size_t settled = GpxSettled(track, out.settledPoints, m_timesAreUtc);
    WholeFileParts parts;
    std::string text;
    // Room for the points at once: a text grown by doubling would hold up
    // to three times its size for a moment.
    constexpr size_t kPointText = 128;
    text.reserve((track.size() - from) * kPointText + GpxHead().size() + GpxTail().size());
    if (copy) {
        parts.prefixFd = out.kept;
        parts.prefixBytes = out.settledBytes;
    } else {
        text = GpxHead();
    }
    AppendGpxPoints(track, from, settled, m_timesAreUtc, &text);
    const uint64_t settledBytes = parts.prefixBytes + text.size();
    AppendGpxPoints(track, settled, track.size(), m_timesAreUtc, &text);
    text += GpxTail();
    parts.text = &text;
    int kept = -1;
    const int code = ReplaceWholeFile(out.path, parts, &kept);
    if (code != 0) {
        Failure(out, ReplaceFailure(code));
        return;
    }
#ifndef _WIN32
    if (out.kept >= 0) close(out.kept);
#endif
    out.kept = kept;
    out.settledPoints = settled;
    out.settledBytes = settledBytes;
}

void TrackFiles::Failure(Output& out, const std::string& reason) {
    if (out.failed) return;
    out.failed = true;
    ErrorLine("cannot write " + out.path + ": " + reason);
}

}  // namespace vpihost
