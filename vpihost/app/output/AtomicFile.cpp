#include "output/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace vpihost {

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
int OpenNew(const std::string& path) {
    return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
constexpr bool kMayKeep = false;
int CopyPrefix(int, uint64_t, int) { return ENOSYS; }
int WriteSome(int fd, const char* data, size_t size) { return _write(fd, data, static_cast<unsigned>(size)); }
int Flush(int fd) { return _commit(fd); }
int CloseFile(int fd) { return _close(fd); }
int ProcessId() { return _getpid(); }
bool MayWrite(const std::string& path) { return _access(path.c_str(), 2) == 0; }
// Windows refuses to replace a file that another program has open or is
// replacing at that moment (another vpihost on the same profile): such a
// refusal passes within moments, so it is tried again for up to a second.
bool Rename(const std::string& from, const std::string& to) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
        DWORD error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
        Sleep(10);
    }
    errno = EACCES;
    return false;
}
// The target's mode and owner: Windows keeps neither apart from the name.
int TakeOver(int, const std::string&) { return 0; }
#else
// Read and write: it may be kept for the next replacement's prefix.
int OpenNew(const std::string& path) { return open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }
constexpr bool kMayKeep = true;
// The first bytes of from into to: in the kernel where it can, else read
// and written here; 0 or an errno value.
int CopyPrefix(int from, uint64_t bytes, int to) {
    loff_t at = 0;
    while (static_cast<uint64_t>(at) < bytes) {
        const ssize_t n = copy_file_range(from, &at, to, nullptr, bytes - static_cast<uint64_t>(at), 0);
        if (n > 0) continue;
        if (n == 0) return EIO;  // the kept file is shorter than it was written
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return errno;
        std::vector<char> buffer(1 << 20);
        while (static_cast<uint64_t>(at) < bytes) {
            const ssize_t got =
                pread(from, buffer.data(), std::min<uint64_t>(buffer.size(), bytes - static_cast<uint64_t>(at)), at);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return got < 0 ? errno : EIO;
            for (ssize_t done = 0; done < got;) {
                const ssize_t put = write(to, buffer.data() + done, static_cast<size_t>(got - done));
                if (put < 0 && errno == EINTR) continue;
                if (put <= 0) return put < 0 ? errno : EIO;
                done += put;
            }
            at += got;
        }
    }
    return 0;
}
int WriteSome(int fd, const char* data, size_t size) { return static_cast<int>(write(fd, data, size)); }
int Flush(int fd) { return fsync(fd); }
int CloseFile(int fd) { return close(fd); }
int ProcessId() { return static_cast<int>(getpid()); }
bool MayWrite(const std::string& path) { return access(path.c_str(), W_OK) == 0; }
bool Rename(const std::string& from, const std::string& to) { return rename(from.c_str(), to.c_str()) == 0; }
// The new file gets the target's owner (where the system allows: root's
// run on a user's file) and its mode; 0 or an errno value.
int TakeOver(int fd, const std::string& target) {
    struct stat st;
    if (stat(target.c_str(), &st) != 0) return 0;
    if (st.st_uid != geteuid() || st.st_gid != getegid()) (void)!fchown(fd, st.st_uid, st.st_gid);
    return fchmod(fd, st.st_mode & 07777) == 0 ? 0 : errno;
}
#endif

std::atomic<unsigned> g_temporaryCount{0};

// A new file of this writer's own beside the target, so that the rename
// stays within one file system; -1 with errno set when none can be made.
int OpenTemporary(const fs::path& target, std::string* temporary) {
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        *temporary = (target.parent_path() / ("." + target.filename().string() + "." + std::to_string(ProcessId()) +
                                              "-" + std::to_string(g_temporaryCount++) + ".tmp"))
                         .string();
        fd = OpenNew(*temporary);
        if (fd < 0 && errno != EEXIST) break;
    }
    return fd;
}

// Not a regular file, nor a folder: a pipe, a device, a socket.
bool Special(fs::file_type type) {
    return type == fs::file_type::block || type == fs::file_type::character || type == fs::file_type::fifo ||
           type == fs::file_type::socket || type == fs::file_type::unknown;
}

// Why an existing target may not be replaced: 0, or an errno value (or
// kNotRegularFile). One look at it: under Wine each look can hold up a
// writer that replaces it at that moment.
int TargetProblem(const std::string& target) {
    std::error_code ec;
    const fs::file_type type = fs::status(target, ec).type();
    if (type == fs::file_type::not_found) return 0;
    if (type == fs::file_type::directory) return EISDIR;
    if (Special(type)) return kNotRegularFile;
    return MayWrite(target) ? 0 : (errno ? errno : EACCES);
}

int WriteText(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        int n = WriteSome(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        done += static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace

bool ResolveLinks(const std::string& path, std::string* target) {
    fs::path at = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(at, ec)) {
            *target = at.string();
            return true;
        }
        fs::path next = fs::read_symlink(at, ec);
        if (ec) return false;
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return false;
}

int ReplaceWholeFile(const std::string& path, const std::string& text) {
    return ReplaceWholeFile(path, WholeFileParts{-1, 0, &text}, nullptr);
}

int ReplaceWholeFile(const std::string& path, const WholeFileParts& parts, int* kept) {
    if (kept) *kept = -1;
    const bool keep = kept && kMayKeep;
    std::string target, temporary;
    if (!ResolveLinks(path, &target)) return ELOOP;
    if (int problem = TargetProblem(target)) return problem;
    const int fd = OpenTemporary(target, &temporary);
    if (fd < 0) return errno ? errno : EIO;
    int code = TakeOver(fd, target);
    if (code == 0 && parts.prefixFd >= 0) code = CopyPrefix(parts.prefixFd, parts.prefixBytes, fd);
    if (code == 0 && parts.text) code = WriteText(fd, *parts.text);
    if (code == 0 && Flush(fd) != 0) code = errno;
#ifndef _WIN32
    // What stood there may have changed since it was looked at (Windows
    // has no pipes or devices under a file's name).
    std::error_code ec;
    if (code == 0 && Special(fs::status(target, ec).type())) code = kNotRegularFile;
#endif
    // Windows renames only a closed file.
    if (!keep && CloseFile(fd) != 0 && code == 0) code = errno;
    if (code == 0 && !Rename(temporary, target)) code = errno;
    if (code != 0) remove(temporary.c_str());
    if (keep && code == 0) *kept = fd;
    if (keep && code != 0) CloseFile(fd);
    return code;
}

std::string ReplaceFailure(int code) { return code == kNotRegularFile ? "it is not a regular file" : strerror(code); }

int CheckReplaceable(const std::string& path) {
    std::string target, temporary;
    if (!ResolveLinks(path, &target)) return ELOOP;
    if (int problem = TargetProblem(target)) return problem;
    const int fd = OpenTemporary(target, &temporary);
    if (fd < 0) return errno ? errno : EIO;
    CloseFile(fd);
    remove(temporary.c_str());
    return 0;
}

}  // namespace vpihost
