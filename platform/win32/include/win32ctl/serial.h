// Serial-port control API of the Linux stand-in: how a host program or a test
// plays the hardware behind "COM1".."COM9". A port name maps to any tty
// (a pseudo-terminal in tests); faults make the port's calls fail on purpose.
#ifndef W32CTL_SERIAL_H
#define W32CTL_SERIAL_H

#include <windows.h>

// Maps a port name ("COM1".."COM9", any case) to a device path. A null or
// empty path restores the default, /dev/ttyS0 for COM1 up to /dev/ttyS8 for
// COM9. FALSE for a name that is not a port name. Takes effect at the next
// CreateFileA.
WIN32_API BOOL W32MapComPort(const char* comName, const char* devicePath);

// All mappings back to their defaults, all faults cleared, counters zeroed.
WIN32_API void W32ResetComPorts(void);

// Serial ports open right now (any name or path), for leak checks.
WIN32_API size_t W32CountOpenComPorts(void);

// Another process that has the device open, as the kernel's table of open
// files under /proc shows it (a second CreateFileA learns no more than
// ERROR_ACCESS_DENIED). The process that holds a pseudo-terminal's other end
// (a simulator, socat, a test) is the device, not a user of it. A caller
// sees its own user's processes, root sees all. The process id, 0 when none
// is found; name (when not null) gets the program's name, NUL-terminated.
WIN32_API DWORD W32FindSerialDeviceUser(const char* devicePath, char* name, size_t nameSize);

// Faults, per port name. Each kind fails the matching calls with its error
// (0 chooses the kind's usual error) for the next `count` calls, or until
// cleared when count is negative. A fault set while a call is blocked in
// GetOverlappedResult reaches that call at once.
enum W32SerialFault {
    // CreateFileA fails (default ERROR_FILE_NOT_FOUND).
    W32_SERIAL_FAULT_OPEN = 0,
    // WaitCommEvent fails, or a pending wait completes with the error
    // (default ERROR_GEN_FAILURE).
    W32_SERIAL_FAULT_WAIT = 1,
    // ReadFile fails, or a pending read completes with the error (default
    // ERROR_GEN_FAILURE).
    W32_SERIAL_FAULT_READ = 2,
    // The device is gone, as when the tty answers EIO: every operation on the
    // open port fails, pending ones included (default ERROR_GEN_FAILURE);
    // clearing the fault brings the device back.
    W32_SERIAL_FAULT_VANISH = 3,
    // A read that was asked for bytes completes with none.
    W32_SERIAL_FAULT_EMPTY_READ = 4,
    // WriteFile returns ERROR_IO_PENDING; the write completes only in
    // GetOverlappedResult.
    W32_SERIAL_FAULT_PENDING_WRITE = 5,
    // SetCommMask changes the mask but leaves a pending wait pending, as for
    // a wait armed just after the change.
    W32_SERIAL_FAULT_MASK_NO_WAKE = 6,
    // WriteFile returns ERROR_IO_PENDING and the write never goes out, as on
    // a line whose flow control holds it, until it is cancelled (CancelIo,
    // PurgeComm with PURGE_TXABORT, closing the port).
    W32_SERIAL_FAULT_STUCK_WRITE = 7,
    W32_SERIAL_FAULT_KINDS = 8
};
WIN32_API BOOL W32SetSerialFault(const char* comName, int fault, DWORD error, int count);
// Clears every fault of one port name, or of all of them when null.
WIN32_API void W32ClearSerialFaults(const char* comName);

// A hook runs on the calling thread at the start of each matching call on
// the port, before the call does anything, so that a test can act at an
// exact point of another thread's work (a stop just before a wait is armed,
// bytes taken just before a read). A null hook removes it; resetting the
// ports removes all.
enum W32SerialCall {
    W32_SERIAL_CALL_WAIT = 0,       // WaitCommEvent
    W32_SERIAL_CALL_READ = 1,       // ReadFile
    W32_SERIAL_CALL_SET_STATE = 2,  // SetCommState
    W32_SERIAL_CALL_KINDS = 3
};
typedef void (*W32SerialHook)(HANDLE port, void* context);
WIN32_API BOOL W32SetSerialHook(const char* comName, int call, W32SerialHook hook, void* context);

// Calls seen per port name since the last reset, to tell a blocked thread
// from a spinning one.
struct W32SerialCounters {
    unsigned long opens;
    unsigned long waits;        // WaitCommEvent calls
    unsigned long reads;        // ReadFile calls
    unsigned long writes;       // WriteFile calls
    unsigned long wakeups;      // returns from a blocking poll in GetOverlappedResult
    unsigned long faults;       // calls failed on purpose
    unsigned long bytesRead;    // bytes delivered by completed reads
    unsigned long systemCalls;  // calls into the kernel made for the port's operations
};
WIN32_API BOOL W32GetSerialCounters(const char* comName, W32SerialCounters* counters);

// Waits up to timeoutMs until a thread is blocked in GetOverlappedResult on
// the port, so that only the line or a call from another thread (a mask
// change, a purge, a fault) can go on with it: a wait armed on an idle line,
// a read waiting for its bytes. TRUE once one is, FALSE after the time-out.
// For a test that must act on a thread that waits, not on one on its way.
WIN32_API BOOL W32WaitSerialBlocked(const char* comName, DWORD timeoutMs);

// A copy of the bytes every completed read delivered, in order, with the
// port's number (1 for COM1; 0 for a port opened by its device path). Called
// on the reading thread before the read is reported done: keep it short.
// A null tap removes it.
typedef void (*W32SerialTap)(void* context, int comIndex, const void* bytes, size_t size);
WIN32_API void W32SetSerialTap(W32SerialTap tap, void* context);

// Bytes that completed reads have delivered, all ports together, since the
// program started (never reset). Waits up to timeoutMs until the count is
// above `than`, and returns the count then; timeout 0 only looks.
WIN32_API unsigned long long W32WaitSerialBytesRead(unsigned long long than, DWORD timeoutMs);

#endif
