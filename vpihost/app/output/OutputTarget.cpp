#include "output/OutputTarget.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#ifndef _WIN32
#include <poll.h>
#include <unistd.h>
#endif

#include "output/AtomicFile.h"

namespace vpihost {

namespace {

constexpr const char* kFolder = "it is a folder";

#ifndef _WIN32
bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Where the records go: writing a file there would mix the two.
bool IsStandardOutput(const struct stat& st) {
    struct stat out;
    return fstat(1, &out) == 0 && SameFile(st, out);
}
#endif

}  // namespace

OutputTarget ExamineOutput(const std::string& path) {
    if (path == "-") return {TargetKind::kRefused, false, "standard output carries the records; give a file name"};
#ifdef _WIN32
    std::error_code ec;
    const auto type = std::filesystem::status(path, ec).type();
    if (type == std::filesystem::file_type::not_found || type == std::filesystem::file_type::regular) return {};
    if (type == std::filesystem::file_type::directory) return {TargetKind::kRefused, false, kFolder};
    return {TargetKind::kRefused, false, "it is not a regular file"};
#else
    // stat follows every link, also the kernel's own under /proc/self/fd.
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return {};  // none yet; its first write says what else is wrong
    if (S_ISDIR(st.st_mode)) return {TargetKind::kRefused, false, kFolder};
    if (IsStandardOutput(st))
        return {TargetKind::kRefused, false, "it is vpihost's standard output, which carries the records"};
    if (S_ISREG(st.st_mode)) {
        // Replaced under the name its links lead to: that name must be it.
        std::string target;
        struct stat at;
        if (ResolveLinks(path, &target) && stat(target.c_str(), &at) == 0 && SameFile(st, at)) return {};
        return {TargetKind::kRefused, false,
                "it leads to a file that has no name vpihost can replace (a link into /proc?)"};
    }
    if (S_ISFIFO(st.st_mode)) return {TargetKind::kStream, true, "a named pipe"};
    if (S_ISCHR(st.st_mode)) return {TargetKind::kStream, false, "a character device"};
    if (S_ISBLK(st.st_mode)) return {TargetKind::kRefused, false, "it is a block device (a disk), not a file"};
    if (S_ISSOCK(st.st_mode)) return {TargetKind::kRefused, false, "it is a socket, not a file"};
    return {TargetKind::kRefused, false, "it is not a regular file"};
#endif
}

int WriteIntoStream(const std::string& path, const std::string& text) {
#ifdef _WIN32
    (void)path;
    (void)text;
    return ENOTSUP;
#else
    // Not blocking: a pipe without a reader is ENXIO at once, and a reader
    // that stops reading cannot hold the end of the run.
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno;
    int code = 0;
    for (size_t done = 0; done < text.size() && code == 0;) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd wait{fd, POLLOUT, 0};
            const int ready = poll(&wait, 1, kStreamStallMs);
            if (ready == 0) code = ETIMEDOUT;
            if (ready < 0 && errno != EINTR) code = errno;
        } else if (!(n < 0 && errno == EINTR)) {
            code = n < 0 ? errno : EIO;
        }
    }
    close(fd);
    return code;
#endif
}

std::string StreamFailure(int code) {
    switch (code) {
        case ENXIO:
            return "nobody reads the named pipe";
        case ETIMEDOUT:
            return "its reader took nothing more for " + std::to_string(kStreamStallMs / 1000) + " s";
        case EPIPE:
            return "its reader left before the end";
        default:
            return strerror(code);
    }
}

}  // namespace vpihost
