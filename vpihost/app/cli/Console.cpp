#include "cli/Console.h"

#include "cli/ProgressLine.h"
#include "run/EventLoop.h"

#include <windows.h>

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <win32_control.h>
#endif

namespace vpihost {

namespace {

bool g_quiet = false;

// The records' queue holds some minutes of text lines, or a few seconds of
// a fast replay's JSON, beyond the pipe's own buffer.
constexpr size_t kRecordQueue = 256 * 1024;
constexpr size_t kMessageQueue = 64 * 1024;

void SayLeftOut(OutputStream& stream, const char* name, bool atEnd) {
    if (const long n = stream.TakeLeftOut(atEnd))
        ErrorLine(std::to_string(n) + (n == 1 ? " line" : " lines") + " of " + name + (n == 1 ? " was" : " were") +
                  " left out while nobody read it");
}

// Watched for writing only while the stream has bytes waiting.
class StreamChannel {
public:
    StreamChannel(EventLoop& loop, OutputStream& stream, const char* name)
        : m_loop(loop), m_stream(stream), m_name(name) {}
    void AfterTurn() {
#ifndef _WIN32  // there writes go out as they come
        const bool wanted = m_stream.Fd() >= 0 && m_stream.Pending();
        if (wanted && m_id < 0) {
            m_id = m_loop.Watch(m_stream.Fd(), EventLoop::kOut, [this](unsigned) { m_stream.Flush(); });
        } else if (!wanted && m_id >= 0) {
            m_loop.Forget(m_id);
            m_id = -1;
        }
#endif
        SayLeftOut(m_stream, m_name, false);
    }

private:
    EventLoop& m_loop;
    OutputStream& m_stream;
    const char* m_name;
    int m_id = -1;
};

}  // namespace

OutputStream& RecordStream() {
    static OutputStream stream(1, stdout, kRecordQueue);
    return stream;
}

OutputStream& MessageStream() {
    static OutputStream stream(2, stderr, kMessageQueue);
    return stream;
}

void WatchConsole(EventLoop& loop) {
    for (auto [stream, name] : {std::pair{&RecordStream(), "stdout"}, std::pair{&MessageStream(), "stderr"}}) {
        auto channel = std::make_shared<StreamChannel>(loop, *stream, name);
        loop.AfterEachTurn(EventLoop::Step::kSend, [channel] { channel->AfterTurn(); });
    }
}

void FinishConsole(std::chrono::steady_clock::time_point until) {
    RecordStream().Drain(until);
    SayLeftOut(RecordStream(), "stdout", true);
    MessageStream().Drain(until);
    SayLeftOut(MessageStream(), "stderr", true);
}

void SetQuiet(bool quiet) { g_quiet = quiet; }
bool Quiet() { return g_quiet; }

void Status(const std::string& line) {
    if (!g_quiet) ErrorLine(line);
}

void ErrorLine(const std::string& line) {
    const auto held = ClearProgressLine();
    MessageStream().Put("vpihost: " + line + "\n");
}

std::string Cp932ToUtf8(const std::string& text) {
    if (text.empty()) return text;
#ifdef _WIN32
    int wide = MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wide <= 0) return text;
    std::vector<wchar_t> utf16(static_cast<size_t>(wide));
    MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), utf16.data(), wide);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return text;
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, &out[0], bytes, nullptr, nullptr);
    return out;
#else
    // A CP932 character takes at most 3 UTF-8 bytes.
    std::vector<char> out(text.size() * 3 + 1);
    size_t length = W32Cp932ToUtf8(text.c_str(), out.data(), out.size());
    return std::string(out.data(), length);
#endif
}

void PrepareConsole() {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#endif
}

}  // namespace vpihost
