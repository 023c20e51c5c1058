// A pseudo-terminal standing in for a serial line (Linux): the device side
// is written by the simulator or the replay, the port side is what the
// plug-in opens through a COM name. Both sides are raw from the start, and
// the port side stays open here so that the line and its input queue live
// as long as the run, whoever opens and closes the port meanwhile.
#pragma once

#include <string>

namespace vpihost {

class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool Open(std::string* error);
    int deviceFd() const { return m_device; }
    int portFd() const { return m_port; }
    const std::string& portPath() const { return m_path; }

private:
    int m_device = -1;
    int m_port = -1;
    std::string m_path;
};

}  // namespace vpihost
