#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "source/DataSource.h"
#include "module/PluginProfile.h"
#include "run/Wakeup.h"
#include "source/ModuleReads.h"
#include "source/SentenceIds.h"

namespace vpihost {

namespace {

bool UnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// A Unix path as Wine's drive Z: shows it.
std::string OnDriveZ(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// Whether a name exists there. (Wine's GetFileAttributes refuses devices.)
bool Exists(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

std::string EnvironmentValue(const char* name) {
    const char* value = getenv(name);
    return value ? value : "";
}

// Under Wine COMn is the link dosdevices/comN in the prefix. Windows has no
// call that makes a Unix symbolic link, but Wine runs a Unix program when
// asked to: ln makes it.
bool PointPortAt(int port, const std::string& device, std::string* link, std::string* error) {
    std::string prefix = EnvironmentValue("WINEPREFIX");
    if (prefix.empty()) prefix = EnvironmentValue("HOME") + "/.wine";
    *link = prefix + "/dosdevices/com" + std::to_string(port);
    DeleteFileA(OnDriveZ(*link).c_str());
    std::string command = "/bin/ln -sfn \"" + device + "\" \"" + *link + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA("Z:\\bin\\ln", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        *error = "cannot run /bin/ln to point COM" + std::to_string(port) + " at " + device;
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // Wine does not wait for a Unix program: watch for the link.
    for (int i = 0; i < 200; ++i) {
        if (Exists(OnDriveZ(*link))) return true;
        Sleep(10);
    }
    *error = "COM" + std::to_string(port) + " could not be pointed at " + device + " (" + *link + ")";
    return false;
}

void TakeIds(void* ids, const char* bytes, size_t size) { static_cast<SentenceIds*>(ids)->Take(bytes, size); }

}  // namespace

struct DataSource::Impl {
    std::string description = "the COM ports of this computer";
    std::string device;  // --device under Wine: what the port points at
    SentenceIds ids;     // of what the module read
};

DataSource::DataSource() : m(new Impl) {}
DataSource::~DataSource() = default;

bool DataSource::Prepare(const Options& o, const IniProfile& profile, std::string* error) {
    if (o.device.empty()) return true;  // --simulate and --replay are refused before
    const int port = PortToOpen(o, profile);
    if (!UnderWine()) {
        *error = "--device works on Linux and under Wine; on Windows the COM port is real";
        return false;
    }
    if (!Exists(OnDriveZ(o.device))) {
        *error = "cannot open the device " + o.device + ": it does not exist";
        return false;
    }
    std::string link;
    if (!PointPortAt(port, o.device, &link, error)) return false;
    m->description = o.device + " as COM" + std::to_string(port) + " (" + link + ")";
    m->device = o.device;
    return true;
}

bool DataSource::Start(std::string*) { return true; }
bool DataSource::Finished() const { return false; }
std::string DataSource::Failure() const { return std::string(); }
std::string DataSource::DeviceAbsent() const { return std::string(); }
std::string DataSource::DeviceGone() { return std::string(); }
bool DataSource::DeviceBack() { return false; }

void DataSource::Wait(std::chrono::steady_clock::time_point until) {
    using namespace std::chrono;
    DWORD timeout = INFINITE;
    if (until != steady_clock::time_point::max()) {
        const auto left = ceil<milliseconds>(std::max(steady_clock::duration::zero(), until - steady_clock::now()));
        timeout = static_cast<DWORD>(std::min<long long>(left.count(), INFINITE - 1));
    }
    WaitForSingleObject(WakeEvent(), timeout);
}
std::string DataSource::Progress() const { return std::string(); }
std::string DataSource::Description() const { return m->description; }
int DataSource::LineSpeed() const { return 0; }
void DataSource::WatchModule(HMODULE module) { WatchModuleReads(module, &TakeIds, &m->ids); }
std::vector<std::string> DataSource::SentenceIdsRead() const { return m->ids.Seen(); }

std::string DataSource::PortAdvice(int port) const {
    const std::string com = "COM" + std::to_string(port);
    if (!m->device.empty()) return com + " is " + m->device + " here";
    if (UnderWine())
        return com + " is what dosdevices/com" + std::to_string(port) +
               " in the Wine prefix points at; --device PATH points it at a Unix tty";
    return "is the receiver on " + com + "? --port chooses COM1 to COM4";
}

void DataSource::Stop() {}

}  // namespace vpihost
