// The entry points and callbacks as the host sees them, linked directly.
#include <gtest/gtest.h>

#include <cstring>

#include "MessageBoxes.h"
#include "RecordingHost.h"
#include "serial/GPSComm.h"
#include "serial/ModuleState.h"
#include "shell/Exports.h"

namespace {

const char kName[] =
    "NMEA Driver for Tavelo \x83v\x83\x89\x83O\x83"
    "C\x83\x93";

TEST(InitTest, AcceptsHostVersion7420AndFillsTheRecord) {
    RecordingHost host;
    host.version = 7420;
    tagPLUGININFO info;
    memset(&info, 0xCC, sizeof info);
    ASSERT_EQ(1, Init(&info, 4711));
    EXPECT_EQ(4711u, g_nPluginId);
    EXPECT_EQ(280u, info.dwSize);
    EXPECT_EQ(0, memcmp(info.szName, kName, sizeof kName));  // the CP932 bytes, NUL included
    EXPECT_STREQ("1.0.5", info.szVersion);
    EXPECT_EQ('\0', info.szReserved[0]);
    EXPECT_EQ(1u, info.dwFlags);
}

TEST(InitTest, RefusesVersion7419WithoutTouchingTheRecordButKeepsTheId) {
    RecordingHost host;
    host.version = 7419;
    MessageBoxes boxes;
    unsigned char before[sizeof(tagPLUGININFO)];
    tagPLUGININFO info;
    memset(&info, 0xA5, sizeof info);
    memcpy(before, &info, sizeof info);
    g_nPluginId = 0;
    EXPECT_EQ(0, Init(&info, 99));
    EXPECT_EQ(99u, g_nPluginId);
    EXPECT_EQ(0, memcmp(before, &info, sizeof info));
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ(0u, boxes.Shown()[0].text.find("Dorvine.vpl\nVestrand\x82\xCC\x83o\x81["));
#ifndef _WIN32
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), boxes.Shown()[0].type);
#endif
    EXPECT_TRUE(host.hooks.empty());
    EXPECT_TRUE(host.menus.empty());
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

TEST(MenuCallbackTest, OtherCodesDoNothing) {
    RecordingHost host;
    long state = 7;
    for (int code : {0, 99, 102, 506, -1}) {
        EXPECT_EQ(0, MenuCallback(code, 0, reinterpret_cast<VPI_LPARAM>(&state)));
        EXPECT_EQ(0, HookCallback(code == 506 ? 505 : code, 0, 0));
    }
    EXPECT_EQ(7, state);
    EXPECT_EQ(nullptr, g_pGPSComm);
    EXPECT_TRUE(host.Calls().empty());
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
    MessageBoxes boxes(IDOK);
    EXPECT_EQ(IDOK, About());
    ASSERT_EQ(1u, boxes.Count());
    const std::string text = boxes.Shown()[0].text;
    EXPECT_EQ(0u, text.find(std::string(kName) + " for VESTRAND\nVer 1.0.5\n"));
    EXPECT_GT(text.size(), std::string(kName).size() + 26);  // the notice line follows
}

}  // namespace
