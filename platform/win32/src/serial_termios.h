// Win32 line settings (DCB) over termios.
#pragma once

#include <termios.h>
#include <windows.h>

namespace w32 {

// Raw mode as a Windows port has it: no line discipline, no echo, no
// translation; one byte makes a read ready.
void MakeRaw(termios* tio);
DCB DcbFromTermios(const termios& tio);
// Applies baud rate, data bits, parity, stop bits and flow control; false
// with *error for settings the line cannot take.
bool ApplyDcb(int fd, const DCB& dcb, DWORD* error);
// Parses a MODE-style definition into *dcb; false (and *dcb untouched) when
// the text is not one.
bool ParseCommDefinition(const char* text, DCB* dcb);

}  // namespace w32
