// Other programs read what vpihost writes: gpsbabel each GPX document (all
// its points), xmllint each SVG picture. Linux only; scripts/lib.sh
// installs both, and a missing one fails the check with what to install.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#ifndef _WIN32
#include <unistd.h>

namespace external_readers {

inline std::string TempPath(const char* ending) {
    static int counter = 0;
    return std::string(testing::TempDir()) + "vpihost-read-" + std::to_string(getpid()) + "-" +
           std::to_string(counter++) + ending;
}

// The command's standard output; *status its exit status, -1 when it did not run.
inline std::string Run(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        *status = -1;
        return out;
    }
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int code = pclose(pipe);
    *status = WIFEXITED(code) ? WEXITSTATUS(code) : -1;
    return out;
}

inline bool Installed(const char* program, const char* package) {
    int status = 0;
    Run(std::string("command -v ") + program + " >/dev/null 2>&1", &status);
    if (status == 0) return true;
    ADD_FAILURE() << program << " is not installed: apt-get install " << package
                  << " (scripts/lib.sh ensure_linux_tools)";
    return false;
}

}  // namespace external_readers

// gpsbabel reads the file and finds its points.
inline void ExpectGpsbabelReadsFile(const std::string& path, size_t points) {
    using namespace external_readers;
    if (!Installed("gpsbabel", "gpsbabel")) return;
    int status = 0;
    // One line per point, and gpsbabel's complaints on stdout too.
    const std::string out = Run("gpsbabel -t -i gpx -f '" + path + "' -o unicsv -F - 2>&1", &status);
    EXPECT_EQ(0, status) << out;
    size_t lines = 0;
    for (char c : out) lines += c == '\n';
    EXPECT_EQ(points + (points ? 1 : 0), lines) << "gpsbabel found other points (a header line, then one each)\n"
                                                << out.substr(0, 2000);
}

inline void ExpectGpsbabelReads(const std::string& gpx, size_t points) {
    const std::string path = external_readers::TempPath(".gpx");
    std::ofstream(path, std::ios::binary) << gpx;
    ExpectGpsbabelReadsFile(path, points);
    unlink(path.c_str());
}

// xmllint finds the picture well-formed.
inline void ExpectXmllintReads(const std::string& svg) {
    using namespace external_readers;
    if (!Installed("xmllint", "libxml2-utils")) return;
    const std::string path = TempPath(".svg");
    std::ofstream(path, std::ios::binary) << svg;
    int status = 0;
    const std::string out = Run("xmllint --noout '" + path + "' 2>&1", &status);
    EXPECT_EQ(0, status) << out;
    unlink(path.c_str());
}

#else
// Under Wine the documents are the Linux build's, read back there.
inline void ExpectGpsbabelReadsFile(const std::string&, size_t) {}
inline void ExpectGpsbabelReads(const std::string&, size_t) {}
inline void ExpectXmllintReads(const std::string&) {}
#endif
