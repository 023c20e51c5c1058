#include "serve/GpsdServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "ProcessScan.h"
#include "cli/Console.h"

namespace vpihost {

namespace {

// Bytes read from one client per turn, so that a busy one cannot starve
// the others.
constexpr size_t kReadChunk = 4096;

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
    if (inodes.empty()) return std::string();
    std::string name;
    const pid_t pid = procscan::FindProcess(
        [&](const std::string& dir) {
            return procscan::AnyDescriptor(dir, [&](const std::string& path) {
                char target[64] = {};
                return readlink(path.c_str(), target, sizeof target - 1) > 0 &&
                       std::find(inodes.begin(), inodes.end(), target) != inodes.end();
            });
        },
        false, &name);
    return pid == 0 ? std::string() : name + " (process " + std::to_string(pid) + ")";
}

std::string Peer(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    char host[NI_MAXHOST] = "?", service[NI_MAXSERV] = "?";
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host, sizeof host, service, sizeof service,
                    NI_NUMERICHOST | NI_NUMERICSERV);
    return std::string(host) + ":" + service;
}

Clock::time_point FromSeconds(double seconds) {
    return Clock::time_point(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
}

}  // namespace

GpsdServer::GpsdServer(Setup setup, EventLoop& loop)
    : m_setup(std::move(setup)),
      m_loop(loop),
      m_epochs(ReportFacts{m_setup.device, m_setup.timesAreUtc}),
      m_slots(m_setup.maxClients, m_setup.idleLimit) {}

GpsdServer::~GpsdServer() { Stop(); }

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
    sockaddr_storage boundTo{};
    socklen_t length = sizeof boundTo;
    getsockname(fd, reinterpret_cast<sockaddr*>(&boundTo), &length);
    m_port = ntohs(boundTo.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&boundTo)->sin6_port
                                                 : reinterpret_cast<sockaddr_in*>(&boundTo)->sin_port);
    m_listenFd = fd;
    m_listenChannel = m_loop.Watch(fd, EventLoop::kIn, [this](unsigned) { Accept(); });
    m_afterTurn = m_loop.AfterEachTurn(EventLoop::Step::kSend, [this] { SendQueued(); });
    m_loop.AddTimer(this);
    m_activated = IsoTime(std::chrono::system_clock::now());
    return true;
}

void GpsdServer::Hand(const tagGPSNAVIINFO& info, Clock::time_point at, const std::string& sentence) {
    if (m_listenFd >= 0) Broadcast(m_epochs.Add(info, SteadySeconds(at), sentence));
}

void GpsdServer::Line(const std::string& line) {
    // Sentences and Sony records; not the noise of a line that is neither.
    if (m_listenFd < 0 || (line.compare(0, 1, "$") != 0 && line.compare(0, 4, "SONY") != 0)) return;
    std::vector<int> watchers;
    for (const auto& [fd, c] : m_clients)
        if (c.policy.WantsSentences()) watchers.push_back(fd);
    for (int fd : watchers) Queue(fd, line);
}

void GpsdServer::ReceiverPresent(bool present) {
    m_activated = present ? IsoTime(std::chrono::system_clock::now()) : std::string();
    const std::string report = DeviceReport(m_setup.device, m_activated, 0);
    std::vector<int> watchers;
    for (const auto& [fd, c] : m_clients)
        if (c.policy.enable) watchers.push_back(fd);
    for (int fd : watchers) Queue(fd, report);
}

void GpsdServer::Finish() {
    if (m_listenFd >= 0) Broadcast(m_epochs.Finish());
}

Clock::time_point GpsdServer::Deadline() const {
    const double open = m_epochs.Deadline();
    return std::min(open == 0 ? kNever : FromSeconds(open), m_slots.Deadline());
}

void GpsdServer::Due(Clock::time_point now) {
    Broadcast(m_epochs.Expire(SteadySeconds(now)));
    for (int fd : m_slots.Idle(now))
        Drop(fd, "it asked for nothing in " +
                     std::to_string(std::chrono::duration_cast<std::chrono::seconds>(m_setup.idleLimit).count()) +
                     " s");
    if (m_acceptPaused && m_slots.Accepting(now)) PauseAccepting(false);
}

Clock::time_point GpsdServer::HeldUntil() const {
    Clock::time_point until = Clock::time_point::min();
    for (const auto& [fd, c] : m_clients)
        if (c.out.size() - c.sent > kHighWater) until = std::max(until, c.lastProgress + kStall);
    return until;
}

void GpsdServer::Stop() {
    if (m_listenFd < 0) return;
    Finish();
    SendQueued();
    while (!m_clients.empty()) Drop(m_clients.begin()->first);
    m_loop.Forget(m_listenChannel);
    m_loop.StopAfterEachTurn(m_afterTurn);
    m_loop.RemoveTimer(this);
    close(m_listenFd);
    m_listenFd = -1;
}

void GpsdServer::Accept() {
    for (;;) {
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors the socket stays readable: accepting waits
            // until one frees instead of failing again at once.
            m_slots.AcceptFailed(errno, Clock::now());
            if (!m_slots.Accepting(Clock::now())) PauseAccepting(true);
            return;
        }
        if (!Admit(fd)) continue;
        // The kernel's share of a slow client's backlog bounded too.
        const int sendBuffer = static_cast<int>(kMaxQueued);
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
        Client& c = m_clients[fd];
        c.fd = fd;
        c.peer = Peer(fd);
        c.channel = m_loop.Watch(fd, EventLoop::kIn, [this, fd](unsigned events) { OnClient(fd, events); });
        m_slots.Opened(fd, Clock::now());
        Queue(fd, VersionReport(m_setup.release));
    }
}

// Every slot taken: the client without a watch idle longest makes room;
// when every client watches, the newcomer is closed.
bool GpsdServer::Admit(int fd) {
    int evict = -1;
    if (!m_slots.Admit(&evict)) {
        close(fd);
        return false;
    }
    if (evict >= 0) Drop(evict, "it was idle longest and a newcomer needed its place");
    return true;
}

void GpsdServer::PauseAccepting(bool paused) {
    if (paused == m_acceptPaused) return;
    m_acceptPaused = paused;
    m_loop.Change(m_listenChannel, paused ? 0u : static_cast<unsigned>(EventLoop::kIn));
}

void GpsdServer::OnClient(int fd, unsigned events) {
    const auto found = m_clients.find(fd);
    if (found == m_clients.end()) return;
    if (events & EventLoop::kOut) Send(found->second);
    if ((events & (EventLoop::kIn | EventLoop::kHangUp)) && m_clients.count(fd)) Read(fd);
}

// A client's lines, each command answered; a read of 0 or an error is the
// client gone.
void GpsdServer::Read(int fd) {
    char buffer[kReadChunk];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        Drop(fd);
        return;
    }
    if (n < 0) return;
    std::vector<GpsdCommand> commands;
    const bool keep = m_clients[fd].reader.Feed(buffer, static_cast<size_t>(n), &commands);
    for (const GpsdCommand& command : commands) {
        const auto found = m_clients.find(fd);
        if (found == m_clients.end()) return;
        Answer(found->second, command);
    }
    if (!keep) Drop(fd);
}

void GpsdServer::Answer(Client& c, const GpsdCommand& command) {
    const int fd = c.fd;
    if (command.kind != GpsdCommand::Kind::kError) m_slots.Answered(fd, Clock::now());
    switch (command.kind) {
        case GpsdCommand::Kind::kWatch: {
            if (!command.device.empty() && command.device != m_setup.device) {
                Queue(fd, ErrorReport("no such device: " + command.device));
                return;
            }
            c.policy.Apply(command);
            m_slots.Watching(fd, c.policy.enable, Clock::now());
            const WatchPolicy policy = c.policy;  // c goes with a dropped client
            if (policy.enable) {
                m_watched = true;
                Queue(fd, DevicesReport(m_setup.device, m_activated, 0));
            }
            Queue(fd, WatchReport(policy));
            return;
        }
        case GpsdCommand::Kind::kPoll:
            Queue(fd, PollReport(IsoTime(std::chrono::system_clock::now()), m_epochs.LastTpv(), m_epochs.LastSky()));
            return;
        case GpsdCommand::Kind::kDevices:
            Queue(fd, DevicesReport(m_setup.device, m_activated, 0));
            return;
        case GpsdCommand::Kind::kVersion:
            Queue(fd, VersionReport(m_setup.release));
            return;
        case GpsdCommand::Kind::kError:
            Queue(fd, ErrorReport(command.error));
            return;
    }
}

void GpsdServer::Broadcast(const std::vector<std::string>& reports) {
    if (reports.empty()) return;
    std::vector<int> watchers;
    for (const auto& [fd, c] : m_clients)
        if (c.policy.WantsReports()) watchers.push_back(fd);
    for (const std::string& report : reports)
        for (int fd : watchers) Queue(fd, report);
}

// Into the client's queue, sent after the turn; a client whose queue would
// pass the bound is dropped.
void GpsdServer::Queue(int fd, const std::string& report) {
    const auto found = m_clients.find(fd);
    if (found == m_clients.end()) return;
    Client& c = found->second;
    if (c.out.size() - c.sent + report.size() + 2 > kMaxQueued) {
        Drop(fd, "it did not read its reports (" + std::to_string(kMaxQueued / 1024) + " KiB waiting)");
        return;
    }
    if (c.sent == c.out.size()) {
        c.out.clear();
        c.sent = 0;
        c.lastProgress = Clock::now();  // a stall counts from here
    }
    c.out += report;
    c.out += "\r\n";
}

// After each turn: one write per client for all that queued in the turn.
void GpsdServer::SendQueued() {
    std::vector<int> ready;
    for (const auto& [fd, c] : m_clients)
        if (c.writable && c.sent < c.out.size()) ready.push_back(fd);
    for (int fd : ready) {
        const auto found = m_clients.find(fd);
        if (found != m_clients.end()) Send(found->second);
    }
}

// As much as the socket takes; the socket is watched for room only while
// it is full.
void GpsdServer::Send(Client& c) {
    while (c.sent < c.out.size()) {
        const ssize_t n = send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            c.sent += static_cast<size_t>(n);
            c.lastProgress = Clock::now();
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        Drop(c.fd);  // the client left in the middle of a write
        return;
    }
    if (c.sent == c.out.size()) {
        c.out.clear();
        c.sent = 0;
    }
    const bool writable = c.sent == c.out.size();
    if (writable != c.writable) m_loop.Change(c.channel, EventLoop::kIn | (writable ? 0u : EventLoop::kOut));
    c.writable = writable;
}

void GpsdServer::Drop(int fd, const std::string& why) {
    const auto found = m_clients.find(fd);
    if (found == m_clients.end()) return;
    if (!why.empty()) Status("dropped the client " + found->second.peer + ": " + why);
    m_loop.Forget(found->second.channel);
    close(fd);
    m_clients.erase(found);
    m_slots.Closed(fd);
    if (m_acceptPaused && m_slots.Accepting(Clock::now())) PauseAccepting(false);
}

}  // namespace vpihost
