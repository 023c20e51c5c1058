// What the end-to-end runs of vpihost on Linux share: the fixture (a folder
// and a profile of the test's own), a line the test plays the receiver on,
// a run as an ordinary user, and the checks of what came out.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <thread>

#include "ChildProcess.h"
#include "JsonLines.h"
#include "Route.h"
#include "Sentences.h"

using Records = std::vector<std::map<std::string, std::string>>;

inline const std::string kFixture = std::string(VPIHOST_FIXTURES) + "/drive.nmea";
inline const std::string kExpected = std::string(VPIHOST_FIXTURES) + "/drive.expected.jsonl";

class VpihostRun : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::string(testing::TempDir()) + "vpihost-run-" + info->name() + "-" + std::to_string(getpid());
        std::string command = "rm -rf '" + m_dir + "' && mkdir -p '" + m_dir + "'";
        ASSERT_EQ(0, system(command.c_str()));
        m_profile = m_dir + "/profile.ini";
    }
    void TearDown() override {
        std::string command = "rm -rf '" + m_dir + "'";
        EXPECT_EQ(0, system(command.c_str()));
    }

    std::vector<std::string> With(std::vector<std::string> args) {
        args.insert(args.begin(), {"--profile", m_profile});
        return args;
    }

    std::string m_dir;
    std::string m_profile;
    const std::string m_program = BesideTestProgram("vpihost");
};

// A serial line whose receiver end the test plays: --device gets path.
class TestLine {
public:
    TestLine() {
        char name[128] = {};
        if (openpty(&m_device, &m_port, name, nullptr, nullptr) != 0) return;
        for (int fd : {m_device, m_port}) {
            fcntl(fd, F_SETFD, FD_CLOEXEC);  // a child holding the device side would keep the line up
            termios tio;
            tcgetattr(fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(fd, TCSANOW, &tio);
        }
        path = name;
    }
    ~TestLine() {
        Unplug();
        if (m_port >= 0) close(m_port);
    }
    // Sentence by sentence, as a receiver sends them.
    void Send(const std::string& text) {
        for (size_t at = 0; at < text.size();) {
            size_t end = text.find('\n', at);
            end = end == std::string::npos ? text.size() : end + 1;
            ASSERT_EQ(static_cast<ssize_t>(end - at), write(m_device, text.data() + at, end - at));
            at = end;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    void Unplug() {
        if (m_device >= 0) close(m_device);
        m_device = -1;
    }
    int portFd() const { return m_port; }

    std::string path;

private:
    int m_device = -1;
    int m_port = -1;
};

// Runs vpihost as an ordinary user when the test runs as root, for whom
// permissions and exclusive ttys do not apply. That user may not reach the
// build folder (a checkout below a private folder), so vpihost and what it
// loads beside it are copied to a folder that everyone can reach, which
// has a folder for the user's files (folder()).
class AsUser {
public:
    explicit AsUser(const std::string& program) : m_program(program) {
        char folder[] = "/tmp/vpihost-as-user-XXXXXX";
        if (!mkdtemp(folder) || chmod(folder, 0755) != 0 ||
            mkdir((std::string(folder) + "/files").c_str(), 0777) != 0 ||
            chmod((std::string(folder) + "/files").c_str(), 0777) != 0) {
            skipReason = "cannot make a folder for the ordinary user in /tmp";
            return;
        }
        m_copy = folder;
        if (getuid() != 0) return;
        if (system("/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups /bin/true 2>/dev/null") != 0) {
            skipReason = "no ordinary user can be had here (setpriv to uid 65534 failed)";
            return;
        }
        const std::string from = program.substr(0, program.rfind('/'));
        const std::string copy = "cp '" + program + "' '" + from + "'/*.so '" + from + "'/*.vpl '" + m_copy + "'";
        if (system(copy.c_str()) != 0) skipReason = "cannot copy vpihost to " + m_copy;
        m_program = m_copy + program.substr(program.rfind('/'));
    }
    ~AsUser() {
        if (!m_copy.empty()) (void)!system(("rm -rf '" + m_copy + "'").c_str());
    }
    int Run(std::vector<std::string> args, std::string* err, std::string* out = nullptr) {
        std::string path = m_program;
        if (getuid() == 0) {
            args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", m_program});
            path = "/usr/bin/setpriv";
        }
        ChildProcess run(path, args);
        int code = run.Wait();
        *err = run.Err();
        if (out) *out = run.Out();
        return code;
    }
    std::string folder() const { return m_copy + "/files"; }

    std::string skipReason;

private:
    std::string m_program;
    std::string m_copy;
};

// An NMEA sentence with its checksum and line end.
inline std::string Sentence(const std::string& body) { return vpisim::NmeaSentence(body); }

inline size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

inline size_t Lines(const std::string& text) {
    size_t n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

inline void ExpectSameRecords(const Records& expected, const Records& got) {
    ASSERT_EQ(expected.size(), got.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        for (const auto& [name, value] : expected[i]) {
            if (name.rfind("sz", 0) == 0) {
                EXPECT_EQ(value, Text(got[i], name)) << "record " << i << " " << name;
            } else {
                // Same double bits: the shortest text reads back exactly.
                EXPECT_EQ(strtod(value.c_str(), nullptr), Number(got[i], name)) << "record " << i << " " << name;
            }
        }
        EXPECT_EQ(expected[i].size(), got[i].size()) << "record " << i;
    }
}

inline long SecondOfDay(const std::string& hhmmss) {
    return std::stol(hhmmss.substr(0, 2)) * 3600 + std::stol(hhmmss.substr(2, 2)) * 60 + std::stol(hhmmss.substr(4, 2));
}

// Every record with a time and a position agrees with the route at that time.
inline size_t CheckAgainstTruth(const Records& records, double speedKmh, double tolerance, std::set<long>* seconds) {
    vpisim::Route route(speedKmh);
    size_t checked = 0;
    for (const auto& r : records) {
        std::string time = Text(r, "szTime");
        if (time.size() != 6 || Number(r, "dLatitude") == 0) continue;
        vpisim::Truth truth = route.At(SecondOfDay(time));
        EXPECT_NEAR(truth.latitude, Number(r, "dLatitude"), tolerance) << time;
        EXPECT_NEAR(truth.longitude, Number(r, "dLongitude"), tolerance) << time;
        EXPECT_EQ(8, Number(r, "nSatellites")) << time;
        seconds->insert(SecondOfDay(time));
        ++checked;
    }
    return checked;
}

template <class Predicate>
inline bool WaitFor(Predicate ready, int timeoutMs = 20000) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return ready();
}

// "...<tag>text</tag>..." -> every text between the tags, in order.
inline std::vector<std::string> Between(const std::string& text, const std::string& open, const std::string& close) {
    std::vector<std::string> found;
    for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
        const size_t begin = at + open.size();
        found.push_back(text.substr(begin, text.find(close, begin) - begin));
    }
    return found;
}
