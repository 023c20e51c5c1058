#include "Simulator.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

#include "Sentences.h"

namespace vpisim {

Simulator::Simulator(Receiver receiver, double speedKmh, int deviceFd, LineWriter::BytesTaken bytesTaken)
    : m_receiver(receiver), m_route(speedKmh), m_fd(deviceFd), m_bytesTaken(std::move(bytesTaken)) {}

Simulator::~Simulator() { Stop(); }

void Simulator::Start() {
    if (m_thread.joinable()) return;
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
}

void Simulator::Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

std::string Simulator::Error() const { return m_failed.load() ? m_error : std::string(); }

bool Simulator::AwaitStartCommand() {
    const size_t length = strlen(kSonyStartCommand);
    std::string received;
    while (!m_stop.load()) {
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0 || !(p.revents & POLLIN)) continue;
        char buffer[64];
        ssize_t n = read(m_fd, buffer, sizeof buffer);
        if (n <= 0) continue;
        received.append(buffer, static_cast<size_t>(n));
        if (received.find(kSonyStartCommand) != std::string::npos) return true;
        // Only the tail can still begin the command.
        if (received.size() > length) received.erase(0, received.size() - length);
    }
    return false;
}

void Simulator::Run() {
    if (m_receiver == Receiver::kSony) {
        if (!AwaitStartCommand()) return;
        m_commandSeen = true;
    }
    LineWriter writer(m_fd, m_receiver == Receiver::kSony ? kSonyBaud : kNmeaBaud, m_bytesTaken, &m_stop);

    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    long long second = static_cast<long long>(now.tv_sec) + 1;
    while (!m_stop.load()) {
        // Sleep to the whole second in short steps, so that a stop is quick.
        for (;;) {
            clock_gettime(CLOCK_REALTIME, &now);
            if (now.tv_sec >= second || m_stop.load()) break;
            timespec step{0, 50 * 1000 * 1000};
            long long leftNs = (second - now.tv_sec) * 1000000000LL - now.tv_nsec;
            if (leftNs < step.tv_nsec) step.tv_nsec = static_cast<long>(leftNs);
            nanosleep(&step, nullptr);
        }
        if (m_stop.load()) break;
        UtcTime t = UtcFromEpoch(second);
        Truth truth = m_route.At(t.SecondOfDay());
        std::string text = m_receiver == Receiver::kSony ? SonyRecord(t, truth) : NmeaBurst(t, truth);
        if (!writer.Write(text)) {
            if (!m_stop.load()) {
                m_error = writer.Error();
                m_failed = true;
                if (onFailure) onFailure();
            }
            return;
        }
        ++m_seconds;
        // A burst that overran its second does not shift the schedule.
        ++second;
        clock_gettime(CLOCK_REALTIME, &now);
        if (second < now.tv_sec) second = now.tv_sec;
    }
}

}  // namespace vpisim
