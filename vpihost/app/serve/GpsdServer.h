// vpihost --serve: the Linux GPS tools' JSON protocol on a TCP port, for
// cgps, gpspipe, gpxlogger and the map programs. Its sockets are channels
// of the main thread's event loop, and its records come from the loop's
// feed: no thread and no lock of its own. Each watching client has a
// bounded queue of reports; a turn of the loop sends each client what
// queued for it in one write. A client whose queue overflows is dropped,
// with a line that says so, and no client waits for another.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "output/RecordConsumer.h"
#include "run/EventLoop.h"
#include "serve/GpsdCommands.h"
#include "serve/ClientSlots.h"
#include "serve/EpochReports.h"
#include "serve/GpsdReports.h"
#include "source/ReadTap.h"

namespace vpihost {

class GpsdServer : public RecordConsumer, public LineListener, public Timer {
public:
    struct Setup {
        std::string release;      // for VERSION
        std::string device;       // the reports' "device"
        bool timesAreUtc = true;  // not --local-time
        size_t maxClients = ClientSlots::kCapacity;
        Clock::duration idleLimit = ClientSlots::kIdleLimit;  // for a client without a watch
    };

    GpsdServer(Setup setup, EventLoop& loop);
    ~GpsdServer() override;  // Stop()
    GpsdServer(const GpsdServer&) = delete;
    GpsdServer& operator=(const GpsdServer&) = delete;

    // Binds and listens; the loop serves from then on. False with one line
    // that says why (and who has the port, where /proc shows it).
    bool Start(const std::string& host, int port, std::string* error);
    // The port it listens on (the one chosen for port 0).
    int Port() const { return m_port; }

    // A record that came at `at`; its reports go to the watchers.
    // sentence: the one it came from, where known (CycleEnd).
    void Hand(const tagGPSNAVIINFO& info, Clock::time_point at, const std::string& sentence = std::string());
    void Hand(const tagGPSNAVIINFO& info) { Hand(info, Clock::now()); }
    void Take(const Record& record) override { Hand(record.stamped, record.at, record.sentence); }
    // The last second's reports go out to the queues.
    void Finish() override;
    // A line the module read (the read tap): a sentence goes as it was read
    // to the clients that watch the receiver's sentences (nmea, raw).
    void Line(const std::string& line) override;
    // A DEVICE to the watchers: "activated":0 while the receiver is away,
    // the time it came back once it is there again.
    void ReceiverPresent(bool present) override;

    // A client has asked for reports with ?WATCH.
    bool Watched() const { return m_watched; }
    // A client that reads is behind (its queue is over kHighWater): a fast
    // replay waits for it until kStall after its socket last took bytes.
    Clock::time_point HeldUntil() const override;

    // The expiry of an open second, of an idle client, of a pause in
    // accepting.
    Clock::time_point Deadline() const override;
    void Due(Clock::time_point now) override;

    // What clients have queued is sent as far as their sockets take it at
    // once, and every connection closes.
    void Stop();

    // A client's queue of unsent reports; past it the client is dropped.
    static constexpr size_t kMaxQueued = 64 * 1024;
    static constexpr size_t kHighWater = kMaxQueued / 2;
    static constexpr auto kStall = std::chrono::seconds(1);
    // Clients served at once (ClientSlots: who makes room for a newcomer).
    static constexpr int kMaxClients = static_cast<int>(ClientSlots::kCapacity);

private:
    struct Client {
        int fd = -1;
        int channel = -1;
        std::string peer;  // "127.0.0.1:51234", for the line that drops it
        CommandReader reader;
        std::string out;       // reports not yet taken by the socket
        size_t sent = 0;       // bytes of out already sent
        bool writable = true;  // false while the socket is full (watched for kOut)
        WatchPolicy policy;
        Clock::time_point lastProgress{};
    };

    void Accept();
    bool Admit(int fd);
    void PauseAccepting(bool paused);
    void OnClient(int fd, unsigned events);
    void Read(int fd);
    void Answer(Client& c, const GpsdCommand& command);
    void Queue(int fd, const std::string& report);
    void Broadcast(const std::vector<std::string>& reports);
    void SendQueued();
    void Send(Client& c);
    void Drop(int fd, const std::string& why = std::string());

    Setup m_setup;
    EventLoop& m_loop;
    int m_listenFd = -1;
    int m_listenChannel = -1;
    int m_afterTurn = -1;
    int m_port = 0;
    std::string m_activated;
    bool m_watched = false;
    bool m_acceptPaused = false;
    EpochReports m_epochs;
    ClientSlots m_slots;
    std::map<int, Client> m_clients;
};

}  // namespace vpihost
