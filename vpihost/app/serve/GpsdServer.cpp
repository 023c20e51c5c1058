#include "serve/GpsdServer.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "serve/GpsdCommands.h"
#include "serve/GpsdReports.h"

namespace vpihost {

namespace {

// Records waiting for the server's thread; far more than it ever lags.
constexpr size_t kMaxPendingRecords = 4096;
// Bytes read from one client per turn, so that a busy one cannot starve
// the others.
constexpr size_t kReadChunk = 4096;
constexpr int kMaxEvents = 64;

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string IsoTime(std::chrono::system_clock::time_point when) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    const time_t whole = static_cast<time_t>(ms / 1000);
    struct tm utc;
    gmtime_r(&whole, &utc);
    char text[96];
    snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
             utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms % 1000));
    return text;
}

// The process that listens on this TCP port, "gpsd (process 1234)", from
// /proc; empty where it cannot be seen.
std::string PortHolder(int port) {
    std::vector<std::string> inodes;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retr, uid, timeout, inode;
            fields >> slot >> local >> remote >> state >> queues >> timer >> retr >> uid >> timeout >> inode;
            const size_t colon = local.rfind(':');
            if (state == "0A" && colon != std::string::npos && strtol(local.c_str() + colon + 1, nullptr, 16) == port)
                inodes.push_back("socket:[" + inode + "]");
        }
    }
    DIR* proc = opendir("/proc");
    if (!proc || inodes.empty()) {
        if (proc) closedir(proc);
        return std::string();
    }
    std::string found;
    while (dirent* entry = readdir(proc)) {
        if (!isdigit(static_cast<unsigned char>(entry->d_name[0]))) continue;
        const std::string fdDir = std::string("/proc/") + entry->d_name + "/fd";
        DIR* fds = opendir(fdDir.c_str());
        if (!fds) continue;
        while (dirent* fd = readdir(fds)) {
            char target[64] = {};
            if (readlink((fdDir + "/" + fd->d_name).c_str(), target, sizeof target - 1) <= 0) continue;
            for (const std::string& inode : inodes)
                if (inode == target) found = entry->d_name;
        }
        closedir(fds);
        if (!found.empty()) break;
    }
    closedir(proc);
    if (found.empty()) return std::string();
    std::ifstream comm("/proc/" + found + "/comm");
    std::string name;
    std::getline(comm, name);
    return name + " (process " + found + ")";
}

struct Client {
    int fd = -1;
    CommandReader reader;
    std::string out;  // reports not yet taken by the socket
    bool watching = false;
    bool json = false;
};

}  // namespace

struct GpsdServer::Impl {
    explicit Impl(Setup s) : setup(std::move(s)), epochs(ReportFacts{setup.device, setup.timesAreUtc}) {}

    void Loop();
    void Accept();
    void Read(int fd);
    void Answer(Client& c, const GpsdCommand& command);
    void Send(int fd, const std::string& report);
    void Flush(int fd);
    void Drop(int fd);
    void Broadcast(const std::vector<std::string>& reports);
    void TakeRecords();
    int Timeout() const;
    void Watch(int fd, bool wantWrite);

    Setup setup;
    int listenFd = -1, wakeFd = -1, epollFd = -1;
    int port = 0;
    std::string activated;
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::atomic<bool> watched{false};  // a client has enabled a watch
    std::mutex mutex;                  // guards pending
    std::vector<std::pair<tagGPSNAVIINFO, double>> pending;
    // From here on only the server's thread.
    EpochReports epochs;
    std::map<int, Client> clients;
};

GpsdServer::GpsdServer(Setup setup) : m(new Impl(std::move(setup))) {}

GpsdServer::~GpsdServer() { Stop(); }

int GpsdServer::Port() const { return m->port; }

bool GpsdServer::Start(const std::string& host, int port, std::string* error) {
    const std::string where = host + ":" + std::to_string(port);
    addrinfo hints{}, *found = nullptr;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
        *error = "cannot serve on " + where + ": the address is not one of this machine's";
        return false;
    }
    int fd = socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const bool bound = fd >= 0 && bind(fd, found->ai_addr, found->ai_addrlen) == 0 && listen(fd, SOMAXCONN) == 0;
    const int err = errno;
    freeaddrinfo(found);
    if (!bound) {
        if (fd >= 0) close(fd);
        const std::string holder = err == EADDRINUSE ? PortHolder(port) : std::string();
        *error = err == EADDRINUSE ? "cannot serve on " + where + ": the port is in use by " +
                                         (holder.empty() ? std::string("another program") : holder)
                 : err == EACCES ? "cannot serve on " + where + ": ports below 1024 need root"
                                 : "cannot serve on " + where + ": " + strerror(err);
        return false;
    }
    sockaddr_storage bound_to{};
    socklen_t length = sizeof bound_to;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound_to), &length);
    m->port = ntohs(bound_to.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound_to)->sin6_port
                                                   : reinterpret_cast<sockaddr_in*>(&bound_to)->sin_port);
    m->listenFd = fd;
    m->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m->epollFd = epoll_create1(EPOLL_CLOEXEC);
    for (int watched : {m->listenFd, m->wakeFd}) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = watched;
        epoll_ctl(m->epollFd, EPOLL_CTL_ADD, watched, &ev);
    }
    m->activated = IsoTime(std::chrono::system_clock::now());
    m->thread = std::thread([this] { m->Loop(); });
    return true;
}

void GpsdServer::Hand(const tagGPSNAVIINFO& info) {
    if (m->wakeFd < 0) return;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        if (m->pending.size() >= kMaxPendingRecords) m->pending.erase(m->pending.begin());
        m->pending.emplace_back(info, SteadySeconds());
    }
    const uint64_t one = 1;
    (void)!write(m->wakeFd, &one, sizeof one);
}

bool GpsdServer::WaitForWatcher(bool (*stop)()) {
    while (!m->watched.load() && !stop()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return m->watched.load();
}

void GpsdServer::Stop() {
    if (!m->thread.joinable()) return;
    m->stopping = true;
    const uint64_t one = 1;
    (void)!write(m->wakeFd, &one, sizeof one);
    m->thread.join();
    for (int fd : {m->listenFd, m->wakeFd, m->epollFd})
        if (fd >= 0) close(fd);
}

int GpsdServer::Impl::Timeout() const {
    const double deadline = epochs.Deadline();
    if (deadline == 0) return -1;
    return std::max(0, static_cast<int>(std::ceil((deadline - SteadySeconds()) * 1000)));
}

void GpsdServer::Impl::Loop() {
    epoll_event events[kMaxEvents];
    while (!stopping.load()) {
        const int n = epoll_wait(epollFd, events, kMaxEvents, Timeout());
        for (int k = 0; k < n; ++k) {
            const int fd = events[k].data.fd;
            if (fd == listenFd) {
                Accept();
            } else if (fd == wakeFd) {
                uint64_t count;
                (void)!read(wakeFd, &count, sizeof count);
                TakeRecords();
            } else if (clients.count(fd)) {
                if (events[k].events & (EPOLLERR | EPOLLHUP)) {
                    Drop(fd);
                    continue;
                }
                if (events[k].events & EPOLLOUT) Flush(fd);
                if ((events[k].events & EPOLLIN) && clients.count(fd)) Read(fd);
            }
        }
        Broadcast(epochs.Expire(SteadySeconds()));
    }
    TakeRecords();
    Broadcast(epochs.Finish());
    while (!clients.empty()) {
        const int fd = clients.begin()->first;
        Flush(fd);
        Drop(fd);
    }
}

void GpsdServer::Impl::TakeRecords() {
    std::vector<std::pair<tagGPSNAVIINFO, double>> taken;
    {
        std::lock_guard<std::mutex> lock(mutex);
        taken.swap(pending);
    }
    for (const auto& [info, at] : taken) Broadcast(epochs.Add(info, at));
}

void GpsdServer::Impl::Accept() {
    for (;;) {
        const int fd = accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        if (static_cast<int>(clients.size()) >= kMaxClients) {
            close(fd);
            continue;
        }
        // The kernel's share of a slow client's backlog bounded too.
        const int sendBuffer = static_cast<int>(GpsdServer::kMaxQueued);
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
        clients[fd].fd = fd;
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = fd;
        epoll_ctl(epollFd, EPOLL_CTL_ADD, fd, &ev);
        Send(fd, VersionReport(setup.release));
    }
}

void GpsdServer::Impl::Read(int fd) {
    char buffer[kReadChunk];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        Drop(fd);
        return;
    }
    if (n < 0) return;
    std::vector<GpsdCommand> commands;
    const bool keep = clients[fd].reader.Feed(buffer, static_cast<size_t>(n), &commands);
    for (const GpsdCommand& command : commands) {
        const auto found = clients.find(fd);
        if (found == clients.end()) return;
        Answer(found->second, command);
    }
    if (!keep && clients.count(fd)) Drop(fd);
}

void GpsdServer::Impl::Answer(Client& c, const GpsdCommand& command) {
    const int fd = c.fd;
    switch (command.kind) {
        case GpsdCommand::Kind::kWatch: {
            if (!command.device.empty() && command.device != setup.device) {
                Send(fd, ErrorReport("no such device: " + command.device));
                return;
            }
            if (command.enable >= 0) c.watching = command.enable == 1;
            if (command.json >= 0) c.json = command.json == 1;
            // Enabling without a word on json means JSON: it is all this server writes.
            if (command.enable == 1 && command.json < 0) c.json = true;
            const bool watching = c.watching, json = c.json;  // c goes with a dropped client
            if (watching) {
                watched = true;
                Send(fd, DevicesReport(setup.device, activated, 0));
            }
            Send(fd, WatchReport(watching, json));
            return;
        }
        case GpsdCommand::Kind::kPoll:
            Send(fd, PollReport(IsoTime(std::chrono::system_clock::now()), epochs.LastTpv(), epochs.LastSky()));
            return;
        case GpsdCommand::Kind::kDevices:
            Send(fd, DevicesReport(setup.device, activated, 0));
            return;
        case GpsdCommand::Kind::kVersion:
            Send(fd, VersionReport(setup.release));
            return;
        case GpsdCommand::Kind::kError:
            Send(fd, ErrorReport(command.error));
            return;
    }
}

void GpsdServer::Impl::Broadcast(const std::vector<std::string>& reports) {
    if (reports.empty()) return;
    std::vector<int> watchers;
    for (const auto& [fd, c] : clients)
        if (c.watching && c.json) watchers.push_back(fd);
    for (const std::string& report : reports)
        for (int fd : watchers)
            if (clients.count(fd)) Send(fd, report);
}

// Queues the report and writes what the socket takes; a client whose
// queue would pass the bound is dropped.
void GpsdServer::Impl::Send(int fd, const std::string& report) {
    const auto found = clients.find(fd);
    if (found == clients.end()) return;
    Client& c = found->second;
    if (c.out.size() + report.size() + 2 > GpsdServer::kMaxQueued) {
        Drop(fd);
        return;
    }
    const bool idle = c.out.empty();
    c.out += report;
    c.out += "\r\n";
    if (idle) Flush(fd);
}

void GpsdServer::Impl::Flush(int fd) {
    const auto found = clients.find(fd);
    if (found == clients.end()) return;
    Client& c = found->second;
    while (!c.out.empty()) {
        const ssize_t n = send(fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            c.out.erase(0, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        Drop(fd);  // the client left in the middle of a write
        return;
    }
    Watch(fd, !c.out.empty());
}

void GpsdServer::Impl::Watch(int fd, bool wantWrite) {
    epoll_event ev{};
    ev.events = EPOLLIN | (wantWrite ? EPOLLOUT : 0u);
    ev.data.fd = fd;
    epoll_ctl(epollFd, EPOLL_CTL_MOD, fd, &ev);
}

void GpsdServer::Impl::Drop(int fd) {
    if (!clients.count(fd)) return;
    epoll_ctl(epollFd, EPOLL_CTL_DEL, fd, nullptr);
    close(fd);
    clients.erase(fd);
}

}  // namespace vpihost
