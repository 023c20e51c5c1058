// The entry points and callbacks as the host sees them, linked directly.
#include <gtest/gtest.h>

#include <cstring>

#include "MessageBoxes.h"
#include "RecordingHost.h"
#include "serial/GPSComm.h"
#include "serial/GpsLink.h"
#include "serial/ModuleState.h"
#include "shell/Exports.h"

namespace {

const char kName[] =
    "NMEA Driver for Tavelo \x83v\x83\x89\x83O\x83"
    "C\x83\x93";
// "Dorvine.vpl\nVestrandのバージョンが古いためこのプラグインは使用できません."
const char kHostTooOld[] =
    "Dorvine.vpl\nVestrand\x82\xCC\x83o\x81[\x83W\x83\x87\x83\x93\x82\xAA\x8C\xC3\x82\xA2\x82\xBD\x82\xDF\x82"
    "\xB1\x82\xCC\x83v\x83\x89\x83O\x83"
    "C\x83\x93\x82\xCD\x8Eg\x97p\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1.";

// The record as the host must get it: size, name, version, empty third
// text, flag, and nothing else.
tagPLUGININFO ExpectedInfo() {
    tagPLUGININFO info;
    memset(&info, 0, sizeof info);
    info.dwSize = 280;
    memcpy(info.szName, kName, sizeof kName);
    memcpy(info.szVersion, "1.0.5", 6);
    info.dwFlags = 1;
    return info;
}

TEST(InitTest, AcceptsHostVersion7420AndLaterAndFillsTheRecord) {
    for (int version : {7420, 7421, 100000}) {
        RecordingHost host;
        host.version = version;
        MessageBoxes boxes;
        tagPLUGININFO info;
        memset(&info, 0xCC, sizeof info);
        ASSERT_EQ(1, Init(&info, 4711)) << version;
        EXPECT_EQ(4711u, g_nPluginId);
        tagPLUGININFO expected = ExpectedInfo();
        EXPECT_EQ(0, memcmp(&expected, &info, sizeof info)) << version;
        EXPECT_EQ(0u, boxes.Count());
    }
}

TEST(InitTest, RefusesOlderHostsWithoutTouchingTheRecordButKeepsTheId) {
    for (int version : {7419, 0, -1}) {
        RecordingHost host;
        host.version = version;
        MessageBoxes boxes;
        unsigned char before[sizeof(tagPLUGININFO)];
        tagPLUGININFO info;
        memset(&info, 0xA5, sizeof info);
        memcpy(before, &info, sizeof info);
        g_nPluginId = 0;
        EXPECT_EQ(0, Init(&info, 99)) << version;
        EXPECT_EQ(99u, g_nPluginId);
        EXPECT_EQ(0, memcmp(before, &info, sizeof info));
        ASSERT_EQ(1u, boxes.Count());
        EXPECT_EQ(kHostTooOld, boxes.Shown()[0].text);
#ifndef _WIN32
        EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION | MB_OK), boxes.Shown()[0].type);
#endif
        EXPECT_TRUE(host.hooks.empty());
        EXPECT_TRUE(host.menus.empty());
    }
}

TEST(LoadTest, RegistersTheStopHookAndTheMenuItem) {
    RecordingHost host;
    tagPLUGININFO info;
    ASSERT_EQ(1, Init(&info, 31));
    EXPECT_EQ(1, Load());
    ASSERT_EQ(1u, host.hooks.size());
    EXPECT_EQ(4u, host.hooks[0].nKind);
    EXPECT_EQ(sizeof(tagHOOKENTRY), host.hooks[0].entry.dwSize);
    EXPECT_EQ(31u, host.hooks[0].entry.dwPluginId);
    EXPECT_EQ(0u, host.hooks[0].entry.dwReserved);
    EXPECT_EQ(&HookCallback, host.hooks[0].entry.pfnCallback);
    ASSERT_EQ(1u, host.menus.size());
    EXPECT_EQ(31u, host.menus[0].nPluginId);
    EXPECT_EQ(1831u, host.menus[0].nPlace);
    EXPECT_EQ("NMEA for Tavelo", host.menus[0].text);
    EXPECT_EQ(&MenuCallback, host.menus[0].pfnCallback);
    EXPECT_EQ(101u, g_nHookId);
    EXPECT_EQ(201u, g_nMenuId);
}

TEST(MenuCallbackTest, StateQueryAnswersZeroOnlyWhileALinkExists) {
    long state = 12345;
    ASSERT_EQ(nullptr, g_pGPSComm);
    EXPECT_EQ(0, MenuCallback(101, 0, reinterpret_cast<VPI_LPARAM>(&state)));
    EXPECT_EQ(12345, state);

    CGPSComm link;
    g_pGPSComm = &link;
    EXPECT_EQ(0, MenuCallback(101, 0, reinterpret_cast<VPI_LPARAM>(&state)));
    EXPECT_EQ(0, state);
    g_pGPSComm = nullptr;
}

// Without a link and with one: only 506 stops, whatever else the host sends.
TEST(MenuCallbackTest, OtherCodesDoNothing) {
    RecordingHost host;
    CGPSComm* link = nullptr;
    while (true) {
        long state = 7;
        for (int code : {0, 99, 102, 506, -1})
            EXPECT_EQ(0, MenuCallback(code, 0, reinterpret_cast<VPI_LPARAM>(&state)));
        for (int code : {0, 100, 101, 505, 507, -1}) EXPECT_EQ(0, HookCallback(code, 0, 0)) << code;
        EXPECT_EQ(7, state);
        ASSERT_EQ(link, g_pGPSComm);  // a stopped link is gone
        EXPECT_TRUE(host.Calls().empty());
        if (link) break;
        link = new CGPSComm;
        link->m_bRunning.store(1);
        g_pGPSComm = link;
    }
    EXPECT_EQ(1, link->IsRunning());
    StopGpsLink();
    EXPECT_EQ(nullptr, g_pGPSComm);
}

TEST(CloseTest, WithoutALinkReturnsOneAndCallsNothing) {
    RecordingHost host;
    EXPECT_EQ(1, Close());
    EXPECT_EQ(0, HookCallback(506, 0, 0));
    EXPECT_TRUE(host.Calls().empty());
    Release();
    EXPECT_TRUE(host.Calls().empty());
}

TEST(AboutTest, ShowsNameVersionAndNoticeAndReturnsTheAnswer) {
    for (int answer : {IDOK, IDCANCEL}) {
        MessageBoxes boxes(answer);
        EXPECT_EQ(answer, About());
        ASSERT_EQ(1u, boxes.Count());
        EXPECT_EQ(std::string(kName) + " for VESTRAND\nVer 1.0.5\nCopyright (C) 2026 the NMEATavelo developers",
                  boxes.Shown()[0].text);
#ifndef _WIN32
        EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION | MB_OK), boxes.Shown()[0].type);
#endif
    }
}

}  // namespace
