#include "source/PseudoTerminal.h"

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vpihost {

PseudoTerminal::~PseudoTerminal() {
    if (m_device >= 0) close(m_device);
    if (m_port >= 0) close(m_port);
}

bool PseudoTerminal::Open(std::string* error) {
    char name[128] = {};
    if (openpty(&m_device, &m_port, name, nullptr, nullptr) != 0) {
        *error = std::string("cannot create a pseudo-terminal: ") + strerror(errno);
        return false;
    }
    // Raw before anything is written: bytes sent before the plug-in
    // configures the port pass unchanged.
    for (int fd : {m_device, m_port}) {
        termios tio;
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    m_path = name;
    return true;
}

}  // namespace vpihost
