// Runs a program beside the test program with its output in files, as a
// user would run it from a shell (Linux).
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

inline std::string BesideTestProgram(const std::string& name) {
    char path[4096] = {};
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string self(path, n > 0 ? static_cast<size_t>(n) : 0);
    return self.substr(0, self.find_last_of('/') + 1) + name;
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class ChildProcess {
public:
    // env entries "NAME=value" replace or add to the test's environment.
    // stdoutPipe: stdout is a pipe read through StdoutReader() instead of a
    // file.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& env = {}, bool stdoutPipe = false) {
        static int counter = 0;
        std::string base = std::string(testing::TempDir()) + "vpihost-child-" + std::to_string(getpid()) + "-" +
                           std::to_string(counter++);
        m_outPath = base + ".out";
        m_errPath = base + ".err";

        std::vector<std::string> argvText{program};
        argvText.insert(argvText.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : argvText) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);

        std::vector<std::string> envText;
        for (char** e = environ; *e; ++e) {
            std::string entry(*e);
            bool replaced = false;
            for (const auto& add : env)
                if (entry.compare(0, add.find('=') + 1, add, 0, add.find('=') + 1) == 0) replaced = true;
            if (!replaced) envText.push_back(entry);
        }
        envText.insert(envText.end(), env.begin(), env.end());
        std::vector<char*> envp;
        for (auto& e : envText) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        int pipeFds[2] = {-1, -1};
        if (stdoutPipe && pipe2(pipeFds, O_CLOEXEC) == 0) {
            m_reader = pipeFds[0];
            posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        } else {
            posix_spawn_file_actions_addopen(&actions, 1, m_outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        }
        posix_spawn_file_actions_addopen(&actions, 2, m_errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        if (pipeFds[1] >= 0) close(pipeFds[1]);
    }

    ~ChildProcess() {
        if (m_pid > 0 && !m_exited) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        unlink(m_outPath.c_str());
        unlink(m_errPath.c_str());
        CloseStdoutReader();
    }

    int StdoutReader() const { return m_reader; }
    void CloseStdoutReader() {
        if (m_reader >= 0) close(m_reader);
        m_reader = -1;
    }

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    void Signal(int signal) { kill(m_pid, signal); }

    // The exit code, or -1 after a timeout (the child is then killed) or a
    // death by signal.
    int Wait(int timeoutMs = 60000) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int status = 0;
        while (!m_exited) {
            pid_t r = waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid) {
                m_exited = true;
                m_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (std::chrono::steady_clock::now() > until) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
                m_exited = true;
                m_code = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return m_code;
    }

    // Waits until stderr holds the text; false on timeout.
    bool WaitForStderr(const std::string& text, int timeoutMs = 20000) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < until) {
            if (Err().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    std::string Out() const { return ReadWholeFile(m_outPath); }
    std::string Err() const { return ReadWholeFile(m_errPath); }

private:
    pid_t m_pid = -1;
    int m_reader = -1;
    bool m_exited = false;
    int m_code = -1;
    std::string m_outPath, m_errPath;
};
