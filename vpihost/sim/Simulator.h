// A simulated receiver on the device side of a serial line: once a second,
// on the wall clock's whole seconds, it sends what a receiver of its type
// sends for the car's position on the route at that UTC second. A Sony
// receiver stays silent until it has received "@DMS\n".
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "LineWriter.h"
#include "Route.h"

namespace vpisim {

enum class Receiver { kNmea, kSony };

class Simulator {
public:
    Simulator(Receiver receiver, double speedKmh, int deviceFd, LineWriter::BytesTaken bytesTaken);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    void Start();
    void Stop();

    // Seconds sent so far.
    long Seconds() const { return m_seconds.load(); }
    bool StartCommandSeen() const { return m_commandSeen.load(); }
    std::string Error() const;
    const Route& route() const { return m_route; }

    // Called on the simulator's thread once it has failed (Error).
    std::function<void()> onFailure;

private:
    void Run();
    bool AwaitStartCommand();

    Receiver m_receiver;
    Route m_route;
    int m_fd;
    LineWriter::BytesTaken m_bytesTaken;
    std::atomic<bool> m_stop{false};
    std::atomic<long> m_seconds{0};
    std::atomic<bool> m_commandSeen{false};
    std::atomic<bool> m_failed{false};
    std::string m_error;  // written by the thread before m_failed
    std::thread m_thread;
};

}  // namespace vpisim
