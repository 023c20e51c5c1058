// vpihost --serve: the Linux GPS tools' JSON protocol on a TCP port, for
// cgps, gpspipe, gpxlogger and the map programs. One thread of its own runs
// an epoll loop over the listening socket and every client; the receiver
// thread only queues its records (Hand), so that no client can hold it, or
// any other client, back.
#pragma once

#include <memory>
#include <string>

#include "output/RecordConsumer.h"

namespace vpihost {

class GpsdServer : public RecordConsumer {
public:
    struct Setup {
        std::string release;      // for VERSION
        std::string device;       // the reports' "device"
        bool timesAreUtc = true;  // not --local-time
    };

    explicit GpsdServer(Setup setup);
    ~GpsdServer() override;  // Stop()
    GpsdServer(const GpsdServer&) = delete;
    GpsdServer& operator=(const GpsdServer&) = delete;

    // Binds and listens, then serves on its own thread. False with one line
    // that says why (and who has the port, where /proc shows it).
    bool Start(const std::string& host, int port, std::string* error);
    // The port it listens on (the one chosen for port 0).
    int Port() const;

    void Hand(const tagGPSNAVIINFO& info);
    void Take(const Record& record) override { Hand(record.stamped); }

    // Once a client has asked for reports with ?WATCH, or stop() is true.
    bool WaitForWatcher(bool (*stop)());

    // The last second's reports go out, what clients have queued is sent
    // as far as their sockets take it at once, and every connection closes.
    void Stop();

    // A client's queue of unsent reports; past it the client is dropped.
    static constexpr size_t kMaxQueued = 64 * 1024;
    // Connections beyond this many are closed at once.
    static constexpr int kMaxClients = 256;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

}  // namespace vpihost
