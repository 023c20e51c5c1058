#include "serve/ClientSlots.h"

#include <cerrno>

namespace vpihost {

ClientSlots::ClientSlots(size_t capacity, Clock::duration idleLimit) : m_capacity(capacity), m_idleLimit(idleLimit) {}

bool ClientSlots::Admit(int* evict) const {
    *evict = -1;
    if (m_clients.size() < m_capacity) return true;
    const Client* longest = nullptr;
    for (const auto& [id, c] : m_clients)
        if (!c.watching && (!longest || c.since < longest->since)) {
            longest = &c;
            *evict = id;
        }
    return longest != nullptr;
}

void ClientSlots::Opened(int client, Clock::time_point now) { m_clients[client] = Client{now, false}; }

void ClientSlots::Answered(int client, Clock::time_point now) {
    const auto found = m_clients.find(client);
    if (found != m_clients.end()) found->second.since = now;
}

void ClientSlots::Watching(int client, bool watching, Clock::time_point now) {
    const auto found = m_clients.find(client);
    if (found == m_clients.end()) return;
    found->second.watching = watching;
    found->second.since = now;
}

void ClientSlots::Closed(int client) {
    // A descriptor is free again.
    if (m_clients.erase(client) > 0) m_paused = false;
}

std::vector<int> ClientSlots::Idle(Clock::time_point now) const {
    std::vector<int> idle;
    for (const auto& [id, c] : m_clients)
        if (!c.watching && now - c.since >= m_idleLimit) idle.push_back(id);
    return idle;
}

void ClientSlots::AcceptFailed(int error, Clock::time_point now) {
    if (error != EMFILE && error != ENFILE && error != ENOBUFS && error != ENOMEM) return;
    m_paused = true;
    m_pausedUntil = now + kAcceptRetry;
}

bool ClientSlots::Accepting(Clock::time_point now) const { return !m_paused || now >= m_pausedUntil; }

ClientSlots::Clock::time_point ClientSlots::Deadline() const {
    Clock::time_point next = m_paused ? m_pausedUntil : Clock::time_point::max();
    for (const auto& [id, c] : m_clients)
        if (!c.watching && c.since + m_idleLimit < next) next = c.since + m_idleLimit;
    return next;
}

}  // namespace vpihost
