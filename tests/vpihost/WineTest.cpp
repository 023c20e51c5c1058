// The Windows vpihost.exe with the real module, run as a user runs it: load,
// marker check, Init, Load and the about box (answered here, as the user
// would click OK), then Close and Release.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Beside(const char* name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of("/\\") + 1) + name;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Result {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out, err;
    std::vector<std::string> boxes;  // texts of the message boxes answered, code page 932
};

struct BoxSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<BoxSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (pid != search->pid || strcmp(name, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

// Plays the user at a window of the child: a message box or the dialog.
using Answer = std::function<void(HWND window, Result* result)>;

void PressOk(HWND box, Result* result) {
    char text[1024] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the box's text control
    result->boxes.push_back(text);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

Result RunVpihost(const std::string& arguments, const Answer& answer = PressOk) {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    static int counter = 0;
    std::string base =
        std::string(temp) + "vpihost-wine-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out =
        CreateFileA((base + ".out").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE err =
        CreateFileA((base + ".err").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    std::string command = "\"" + Beside("vpihost.exe") + "\" --profile \"" + base + ".ini\" " + arguments;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    Result result;
    BOOL created =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(out);
    CloseHandle(err);
    if (!created) return result;
    for (int i = 0; i < 6000; ++i) {
        if (WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0) break;
        BoxSearch search{process.dwProcessId, nullptr};
        EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&search));
        if (!search.found) continue;
        answer(search.found, &result);
        for (int j = 0; j < 300 && IsWindow(search.found) && IsWindowVisible(search.found); ++j) Sleep(10);
    }
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 0xDEAD);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    result.out = ReadWhole(base + ".out");
    result.err = ReadWhole(base + ".err");
    DeleteFileA((base + ".out").c_str());
    DeleteFileA((base + ".err").c_str());
    DeleteFileA((base + ".ini").c_str());
    return result;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(VpihostExe, LoadsTheModuleRunsInitLoadAndAboutAndClosesAgain) {
    Result r = RunVpihost("--about");
    EXPECT_EQ(0u, r.exitCode) << r.err;
    ASSERT_EQ(1u, r.boxes.size()) << r.err;
    EXPECT_EQ(0u, r.boxes[0].find("NMEA Driver for Tavelo ")) << r.boxes[0];
    EXPECT_TRUE(Has(r.boxes[0], "Ver 1.0.5"));
    EXPECT_TRUE(Has(r.err, "needs host version 7420, this host is 7420")) << r.err;
    EXPECT_TRUE(Has(r.err,
                    "plug-in \"NMEA Driver for Tavelo \xE3\x83\x97\xE3\x83\xA9\xE3\x82\xB0\xE3\x82\xA4\xE3\x83\xB3\""
                    " version 1.0.5"))
        << r.err;
    EXPECT_FALSE(Has(r.err, "record size")) << "status lines in the user's words";
    EXPECT_TRUE(Has(r.err, "it adds \"NMEA for Tavelo\" to the GPS menu")) << r.err;
    EXPECT_TRUE(Has(r.err, "it listens to the host's commands (GPS stop)")) << r.err;
    EXPECT_TRUE(Has(r.err, "About: answered 1")) << r.err;
    EXPECT_EQ("", r.out);
}

TEST(VpihostExe, VersionGateRefusesBeforeLoading) {
    Result r = RunVpihost("--host-version 7419");
    EXPECT_EQ(4u, r.exitCode) << r.err;
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_TRUE(Has(r.err, "needs host version 7420 or later; this host is 7419")) << r.err;
}

TEST(VpihostExe, MissingModuleAndLinuxOnlySourcesAreOneLineErrors) {
    Result missing = RunVpihost("--module C:\\no\\such.vpl --quiet");
    EXPECT_EQ(3u, missing.exitCode);
    EXPECT_TRUE(Has(missing.err, "module not found: C:\\no\\such.vpl")) << missing.err;
    Result simulate = RunVpihost("--simulate nmea --quiet");
    EXPECT_EQ(2u, simulate.exitCode);
    EXPECT_TRUE(Has(simulate.err, "available on Linux only")) << simulate.err;
}

TEST(VpihostExe, OptionsPresetTheRealStartDialogThroughTheProfile) {
    bool sawDialog = false, com3 = false, centre = true, record = false;
    std::string interval;
    Result r = RunVpihost("--port 3 --receiver nmea --no-center --record --interval 10", [&](HWND window, Result*) {
        if (!GetDlgItem(window, 8065)) {  // not the start dialog
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return;
        }
        sawDialog = true;
        com3 = SendMessageA(GetDlgItem(window, 8065), BM_GETCHECK, 0, 0) == BST_CHECKED;
        centre = SendMessageA(GetDlgItem(window, 8068), BM_GETCHECK, 0, 0) == BST_CHECKED;
        record = SendMessageA(GetDlgItem(window, 8070), BM_GETCHECK, 0, 0) == BST_CHECKED;
        char text[32] = {};
        GetDlgItemTextA(window, 237, text, sizeof text);
        interval = text;
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);  // the user cancels
    });
    ASSERT_TRUE(sawDialog) << r.err;
    EXPECT_TRUE(com3);
    EXPECT_FALSE(centre);
    EXPECT_TRUE(record);
    EXPECT_EQ("10", interval);
    EXPECT_EQ(5u, r.exitCode) << r.err;
    EXPECT_TRUE(Has(r.err, "navigation did not start")) << r.err;
    EXPECT_FALSE(Has(r.err, "navigation started"));
}

}  // namespace
