// Writes bytes into the device side of a serial line the way a device
// sends them: paced by the baud rate (ten bit times per byte), or, at baud
// 0, as fast as the reader takes them. A piece that begins with a sentence
// marker ("$" or "SONY") is held back until the reader has taken everything
// before it, so that no read ever brings the plug-in two sentence starts at
// once (its framing cuts one sentence per read).
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

namespace vpisim {

class LineWriter {
public:
    // How many bytes the reader has taken from the line so far; empty when
    // it cannot be known (no holding back then).
    using BytesTaken = std::function<unsigned long long()>;
    // Blocks until the reader has taken more than `than` bytes or timeoutMs
    // has passed, and returns the count then. Without one the writer looks
    // at BytesTaken in short sleeps.
    using WaitTaken = std::function<unsigned long long(unsigned long long than, int timeoutMs)>;

    LineWriter(int deviceFd, int baud, BytesTaken bytesTaken, const std::atomic<bool>* stop);

    // Writes all bytes; false when stopped, when the line fails, or when the
    // reader took nothing for stallSeconds while bytes were waiting.
    bool Write(const char* data, size_t size);
    bool Write(const std::string& text) { return Write(text.data(), text.size()); }

    // Waits until the reader has taken every byte written; false as Write.
    bool WaitUntilTaken();

    unsigned long long Written() const { return m_written; }
    const std::string& Error() const { return m_error; }

    double stallSeconds = 5.0;
    WaitTaken waitTaken;
    // Called before each sentence start once the reader has taken all
    // before it; may wait while the reader's consumers are behind.
    std::function<void()> holdBack;

private:
    bool Stopped() const { return m_stop && m_stop->load(); }
    bool WriteRaw(const char* data, size_t size);
    bool Pace(size_t bytes);

    int m_fd;
    int m_baud;
    BytesTaken m_bytesTaken;
    const std::atomic<bool>* m_stop;
    unsigned long long m_written = 0;
    std::chrono::steady_clock::time_point m_next{};
    std::string m_error;
};

// Whether a sentence start ("$" or "SONY") begins at data[i].
bool IsSentenceStart(const char* data, size_t size, size_t i);

}  // namespace vpisim
