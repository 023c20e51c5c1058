// Win32 line settings (DCB) over termios.
#pragma once

#include <termios.h>
#include <windows.h>

namespace w32 {

// Raw mode as a Windows port has it: no line discipline, no echo, no
// translation; one byte makes a read ready.
void MakeRaw(termios* tio);
DCB DcbFromTermios(const termios& tio);
// Programs the whole line from the DCB: baud rate (any rate the line can
// run within 2 %), data bits, parity and its check, stop bits, XON/XOFF in
// either direction and CTS/RTS handshake; every other mode of the tty off.
// False with *error, and the line as it was, for settings the line cannot
// take.
bool ApplyDcb(int fd, const DCB& dcb, DWORD* error);
// The line's rate in bits per second (0 when unknown), and any rate set
// through termios2; false with errno when the driver refuses it.
DWORD LineSpeed(int fd);
bool SetLineSpeed(int fd, DWORD rate);
// Parses a MODE-style definition into *dcb; false (and *dcb untouched) when
// the text is not one.
bool ParseCommDefinition(const char* text, DCB* dcb);

}  // namespace w32
