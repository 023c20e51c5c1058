#include "OutputFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "Console.h"

namespace vpihost {

namespace {

bool WriteTextFile(const std::string& path, const std::string& text) {
    errno = 0;
    FILE* out = fopen(path.c_str(), "wb");
    bool ok = out && fwrite(text.data(), 1, text.size(), out) == text.size() && fflush(out) == 0;
    int error = errno;
    if (out && fclose(out) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) ErrorLine("cannot write " + path + ": " + strerror(error ? error : EIO));
    return ok;
}

// Said at once, not after an hour's drive; a file made for the test is
// removed again.
bool CheckWritable(const std::string& path, const char* what) {
    if (path.empty()) return true;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        ErrorLine(std::string("cannot write the ") + what + " " + path + ": it is a folder");
        return false;
    }
    const bool existed = std::filesystem::exists(path, ec);
    errno = 0;
    FILE* file = fopen(path.c_str(), "ab");
    if (!file) {
        ErrorLine(std::string("cannot write the ") + what + " " + path + ": " + strerror(errno ? errno : EIO));
        return false;
    }
    fclose(file);
    if (!existed) std::filesystem::remove(path, ec);
    return true;
}

}  // namespace

bool OutputsWritable(const Options& o) {
    return CheckWritable(o.gpx, "GPX file") && CheckWritable(o.svg, "picture") && CheckWritable(o.logPath, "log");
}

bool WriteTrackFiles(const Options& o, const Track& track) {
    bool ok = o.gpx.empty() || WriteTextFile(o.gpx, GpxDocument(track, !o.localTime));
    if (!o.svg.empty() && !WriteTextFile(o.svg, SvgDocument(track))) ok = false;
    return ok;
}

}  // namespace vpihost
