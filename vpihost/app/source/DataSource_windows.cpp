#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "source/DataSource.h"

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

// No --device: the COM ports of this computer.
class PortDefaults : public DataSource {
public:
    std::string Description() const override { return "the COM ports of this computer"; }
    std::string PortAdvice(int port) const override {
        const std::string com = "COM" + std::to_string(port);
        if (UnderWine())
            return com + " is what dosdevices/com" + std::to_string(port) +
                   " in the Wine prefix points at; --device PATH points it at a Unix tty";
        return "is the receiver on " + com + "? --port chooses COM1 to COM4";
    }
};

// --device under Wine: the port the dialog will open points at a Unix tty.
class WineDevice : public DataSource {
public:
    bool Prepare(const SourceSettings& s, std::string* error) {
        if (!UnderWine()) {
            *error = "--device works on Linux and under Wine; on Windows the COM port is real";
            return false;
        }
        if (!Exists(OnDriveZ(s.device))) {
            *error = "cannot open the device " + s.device + ": it does not exist";
            return false;
        }
        std::string link;
        if (!PointPortAt(s.port, s.device, &link, error)) return false;
        m_description = s.device + " as COM" + std::to_string(s.port) + " (" + link + ")";
        m_device = s.device;
        return true;
    }
    std::string Description() const override { return m_description; }
    std::string PortAdvice(int port) const override {
        return "COM" + std::to_string(port) + " is " + m_device + " here";
    }

private:
    std::string m_description;
    std::string m_device;
};

}  // namespace

// --simulate and --replay are refused before.
std::unique_ptr<DataSource> MakeDataSource(const SourceSettings& s, std::string* error) {
    if (s.device.empty()) return std::make_unique<PortDefaults>();
    auto device = std::make_unique<WineDevice>();
    if (!device->Prepare(s, error)) return nullptr;
    return device;
}

std::unique_ptr<DataSource> MakePortDefaults() { return std::make_unique<PortDefaults>(); }

}  // namespace vpihost
