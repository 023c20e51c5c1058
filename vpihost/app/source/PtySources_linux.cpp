// The sources on a pseudo-terminal (PseudoTerminal.h): a simulated
// receiver at its device side, or a recorded log written into it.
#include <win32_control.h>

#include <cstdio>

#include "Sentences.h"
#include "Simulator.h"
#include "source/LineSpeed.h"
#include "source/LinuxSources.h"
#include "source/PseudoTerminal.h"
#include "source/ReplayWriter.h"
#include "run/Wakeup.h"

namespace vpihost {

namespace {

class PtySource : public DataSource {
public:
    ~PtySource() override { MapPorts(nullptr); }
    int LineSpeed() const override { return m_pty.portFd() < 0 ? 0 : LineSpeedOf(m_pty.portFd()); }
    std::string PortAdvice(int port) const override {
        return "COM" + std::to_string(port) + " is " + m_pty.portPath() + " here";
    }

protected:
    bool OpenPty(std::string* error) {
        if (!m_pty.Open(error)) return false;
        MapPorts(m_pty.portPath().c_str());
        return true;
    }

    PseudoTerminal m_pty;
};

// --simulate nmea|sony.
class SimulatedReceiver : public PtySource {
public:
    // The writer first: it uses the pseudo-terminal.
    ~SimulatedReceiver() override { m_simulator.reset(); }

    bool Prepare(const SourceSettings& s, std::string* error) {
        if (!StartTap(s, error) || !OpenPty(error)) return false;
        const bool sony = s.simulate == Receiver::kSony;
        m_simulator =
            std::make_unique<vpisim::Simulator>(sony ? vpisim::Receiver::kSony : vpisim::Receiver::kNmea,
                                                s.simSpeedKmh > 0 ? s.simSpeedKmh : vpisim::Route::kDefaultSpeedKmh,
                                                m_pty.deviceFd(), [] { return BytesReadAtPorts(); });
        m_simulator->onFailure = &Wake;
        char speed[32];
        snprintf(speed, sizeof speed, "%g", m_simulator->route().SpeedKmh());
        m_description = std::string("a simulated ") +
                        (sony ? "Sony receiver (9600 baud)" : "NMEA receiver (4800 baud)") + " driving at " + speed +
                        " km/h, on " + m_pty.portPath();
        return true;
    }

    bool Start(HoldBack*, std::string*) override {
        m_simulator->Start();
        return true;
    }
    void Stop() override { m_simulator->Stop(); }
    std::string Failure() const override {
        const std::string tap = DataSource::Failure();
        return tap.empty() ? m_simulator->Error() : tap;
    }
    std::string Description() const override { return m_description; }

private:
    std::unique_ptr<vpisim::Simulator> m_simulator;
    std::string m_description;
};

// --replay FILE, paced by the line's rate or (--fast) by the reader.
class ReplaySource : public PtySource {
public:
    ~ReplaySource() override { m_replay.Stop(); }

    bool Prepare(const SourceSettings& s, std::string* error) {
        if (!StartTap(s, error) || !m_replay.Open(s.replay, error) || !OpenPty(error)) return false;
        m_baud = s.fast ? 0 : s.baud > 0 ? s.baud : s.sony ? vpisim::kSonyBaud : vpisim::kNmeaBaud;
        m_description = "the replay of " + s.replay + " on " + m_pty.portPath();
        return true;
    }

    bool Start(HoldBack* holdBack, std::string*) override {
        // Counted from here: only what the running link reads. The wait
        // wakes at each read, so that a file dense in sentence starts goes
        // at the reader's pace.
        const unsigned long long baseline = W32WaitSerialBytesRead(0, 0);
        m_replay.Start(
            m_pty.deviceFd(), m_baud, [baseline] { return W32WaitSerialBytesRead(0, 0) - baseline; },
            [baseline](unsigned long long than, int timeoutMs) {
                return W32WaitSerialBytesRead(baseline + than, static_cast<DWORD>(timeoutMs)) - baseline;
            },
            holdBack);
        return true;
    }
    void Stop() override { m_replay.Stop(); }
    bool Finished() const override { return m_replay.Done(); }
    std::string Failure() const override {
        const std::string tap = DataSource::Failure();
        return tap.empty() ? m_replay.Failure() : tap;
    }
    std::string Progress() const override { return m_replay.Progress(); }
    std::string Description() const override { return m_description; }

private:
    ReplayWriter m_replay;
    int m_baud = 0;
    std::string m_description;
};

template <class Source>
std::unique_ptr<DataSource> Prepared(const SourceSettings& settings, std::string* error) {
    auto source = std::make_unique<Source>();
    if (!source->Prepare(settings, error)) return nullptr;
    return source;
}

}  // namespace

std::unique_ptr<DataSource> MakeSimulatedReceiver(const SourceSettings& s, std::string* error) {
    return Prepared<SimulatedReceiver>(s, error);
}

std::unique_ptr<DataSource> MakeReplaySource(const SourceSettings& s, std::string* error) {
    return Prepared<ReplaySource>(s, error);
}

}  // namespace vpihost
