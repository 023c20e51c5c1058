// Port names, their device mappings, injected faults and counters, and the
// set of devices open right now (a serial port is opened exclusively).
#pragma once

#include <sys/types.h>
#include <windows.h>
#include <win32ctl/serial.h>

#include <string>

namespace w32 {

class SerialPort;

constexpr int kMaxComPorts = 9;

// 1..9 for "COM1".."COM9" (any case, with or without the "\\.\" prefix),
// 0 for anything else.
int ComIndexOf(const char* name);
std::string DevicePathOf(int com);

// Consumes one failing call of the fault when it is active on the port;
// *error gets the error to report.
bool TakeSerialFault(int com, int kind, DWORD* error);

// Runs the hook set for the call on the port, if any.
void RunSerialHook(int com, int call, HANDLE port);

enum class SerialCounter { kOpen, kWait, kRead, kWrite, kWakeup, kFault, kSystemCall };
void CountSerial(int com, SerialCounter counter);
void CountSerialBytes(int com, DWORD bytes);
// A thread enters (true) or leaves (false) its blocking poll on the port.
void MarkSerialBlocked(int com, bool blocked);

// Claims a device for exclusive use; false when it is open already.
bool ClaimSerialDevice(dev_t dev, ino_t ino, SerialPort* port);
void ReleaseSerialDevice(dev_t dev, ino_t ino);

}  // namespace w32
