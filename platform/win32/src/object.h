// Kernel object table of the Linux stand-in. A HANDLE is a small number that
// names an entry; CloseHandle drops the table's reference, so an object that
// an operation is still using (a thread waiting on an event) lives on until
// that operation ends.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace w32 {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Blocks until the object is signalled or the timeout passes; true when
    // signalled. Objects that cannot be waited on answer false at once.
    virtual bool Wait(DWORD milliseconds);
    // The last handle to the object has been closed; operations that are
    // still using it may hold it a little longer.
    virtual void LastHandleClosed() {}
};

// A waitable object with a signalled state (events, threads).
class Waitable : public KernelObject {
public:
    bool Wait(DWORD milliseconds) override;
    void Signal();
    void Unsignal();
    bool IsSignalled();

protected:
    explicit Waitable(bool manualReset, bool signalled) : m_manualReset(manualReset), m_signalled(signalled) {}

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_manualReset;
    bool m_signalled;
};

class Event : public Waitable {
public:
    Event(bool manualReset, bool signalled) : Waitable(manualReset, signalled) {}
};

HANDLE InsertObject(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupObject(HANDLE handle);
// Removes the entry; false when the handle names nothing.
bool RemoveObject(HANDLE handle);
// Number of live entries, for leak checks through the control API.
size_t CountObjects();

template <class T>
std::shared_ptr<T> LookupAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupObject(handle));
}

// Signals the event of an overlapped record when it names one.
void SignalOverlappedEvent(const OVERLAPPED* overlapped);

}  // namespace w32
