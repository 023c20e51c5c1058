// The start dialog as the user meets it, on both platforms: what it shows
// for the stored settings, its texts, the ways out of it, a port that cannot
// be opened, and the resource handle around DoModal.
#include <cstring>
#include <new>
#include <vector>

#include "StartDialogFixture.h"

namespace {

const char kCannotOpen[] = "Cannot Open COM port";

// The constructor's values, and line settings that hold zeros, not what the
// memory held, until a port has been read.
TEST_F(StartDialogTest, ConstructionSetsEveryMember) {
    alignas(CGPSNaviStartDlg) unsigned char storage[sizeof(CGPSNaviStartDlg)];
    memset(storage, 0xA5, sizeof storage);
    auto* dlg = new (storage) CGPSNaviStartDlg;
    DCB zero;
    memset(&zero, 0, sizeof zero);
    EXPECT_EQ(0, memcmp(&zero, &dlg->m_dcb, sizeof zero));
    EXPECT_EQ(0, dlg->m_b3DView | dlg->m_bCentering | dlg->m_bRecord | dlg->m_nCommPort | dlg->m_bCommConfigured);
    EXPECT_EQ(-1, dlg->m_nDevice);
    EXPECT_STREQ("", dlg->m_strSampling);
    dlg->~CGPSNaviStartDlg();
}

TEST_F(StartDialogTest, ShowsTheStoredSettingsAndTheIntervalList) {
    CGPSNaviStartDlg dlg;
    Store(dlg, 2, 1, TRUE, FALSE, TRUE, 10);
    ControlsSeen seen;
    std::vector<std::string> items;
    DialogDriver driver([&](HWND dialog) {
        seen = ControlsSeen::Of(dialog);
        items = DialogDriver::ListItems(dialog, IDC_SAMPLING);
        DialogDriver::Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    ASSERT_TRUE(driver.ScriptRan());
    EXPECT_FALSE(seen.ports[0]);
    EXPECT_FALSE(seen.ports[1]);
    EXPECT_TRUE(seen.ports[2]);
    EXPECT_FALSE(seen.ports[3]);
    EXPECT_FALSE(seen.nmea);
    EXPECT_TRUE(seen.sony);
    EXPECT_TRUE(seen.centering);
    EXPECT_FALSE(seen.view3d);
    EXPECT_TRUE(seen.record);
    EXPECT_EQ("10", seen.sampling);
    EXPECT_EQ(3, seen.selection);
    EXPECT_EQ((std::vector<std::string>{"1", "2", "5", "10", "20", "30", "60", "120"}), items);
    EXPECT_TRUE(driver.MessageBoxTexts().empty());
}

TEST_F(StartDialogTest, TextsReachTheAnsiApiInCodePage932) {
#ifdef _WIN32
    if (GetACP() != 932) GTEST_SKIP() << "needs a Japanese system code page (LANG=ja_JP.UTF-8 under Wine)";
#endif
    CGPSNaviStartDlg dlg;
    Store(dlg, 0, 0, FALSE, FALSE, FALSE, 1);
    std::string caption, start, cancel, settings, sony, devices, portGroup;
    DialogDriver driver([&](HWND dialog) {
        caption = DialogDriver::Text(dialog);
        start = DialogDriver::Text(dialog, IDOK);
        cancel = DialogDriver::Text(dialog, IDCANCEL);
        settings = DialogDriver::Text(dialog, IDC_COMMSETTING);
        sony = DialogDriver::Text(dialog, IDC_DEVICE_SONY);
        DialogDriver::Close(dialog);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    // "GPS(Tavelo)ナビゲーションの開始"
    EXPECT_EQ("GPS(Tavelo)\x83\x69\x83\x72\x83\x51\x81\x5b\x83\x56\x83\x87\x83\x93\x82\xcc\x8a\x4a\x8e\x6e", caption);
    EXPECT_EQ("\x8a\x4a\x8e\x6e", start);                           // 開始
    EXPECT_EQ("\xb7\xac\xdd\xbe\xd9", cancel);                      // ｷｬﾝｾﾙ, half-width
    EXPECT_EQ("\x92\xca\x90\x4d\x90\xdd\x92\xe8(&C)..", settings);  // 通信設定(&C)..
    EXPECT_EQ("IPS-3000/5000\nPACY-CNV10", sony);
}

TEST_F(StartDialogTest, CheckValueOutsideTheRangeLoadsAsClear) {
    CGPSNaviStartDlg dlg;
    Store(dlg, 0, 0, 5, -1, 1, 1);
    ControlsSeen seen;
    DialogDriver driver([&](HWND dialog) {
        seen = ControlsSeen::Of(dialog);
        DialogDriver::Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_FALSE(seen.centering);
    EXPECT_FALSE(seen.view3d);
    EXPECT_TRUE(seen.record);
    EXPECT_EQ(0, dlg.m_bCentering);
    EXPECT_EQ(0, dlg.m_b3DView);
}

struct IntervalCase {
    int stored;
    const char* shown;
    long selection;
};

class StartDialogIntervalTest : public StartDialogTest, public ::testing::WithParamInterface<IntervalCase> {};

TEST_P(StartDialogIntervalTest, ShowsTheFirstEntryThatBeginsWithTheStoredNumber) {
    CGPSNaviStartDlg dlg;
    Store(dlg, 0, 0, FALSE, FALSE, FALSE, GetParam().stored);
    ControlsSeen seen;
    DialogDriver driver([&](HWND dialog) {
        seen = ControlsSeen::Of(dialog);
        DialogDriver::Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ(GetParam().shown, seen.sampling);
    EXPECT_EQ(GetParam().selection, seen.selection);
}

INSTANTIATE_TEST_SUITE_P(Intervals, StartDialogIntervalTest,
                         ::testing::Values(IntervalCase{5, "5", 2}, IntervalCase{3, "30", 5},
                                           IntervalCase{12, "120", 7}, IntervalCase{1, "1", 0},
                                           IntervalCase{4, "4", CB_ERR}, IntervalCase{45, "45", CB_ERR}));

enum class WayOut { CancelButton, EscapeKey, CloseBox };

class StartDialogCancelTest : public StartDialogTest, public ::testing::WithParamInterface<WayOut> {};

TEST_P(StartDialogCancelTest, EndsWithCancelAndLeavesTheMembers) {
    CGPSNaviStartDlg dlg;
    Store(dlg, 2, 0, FALSE, TRUE, FALSE, 20);
    bool sawPortChange = false;
    DialogDriver driver([&](HWND dialog) {
        DialogDriver::Click(dialog, IDC_COMM4);
        DialogDriver::Click(dialog, IDC_CENTERING);
        DialogDriver::SetText(dialog, IDC_SAMPLING, "99");
        sawPortChange = DialogDriver::Checked(dialog, IDC_COMM4) && !DialogDriver::Checked(dialog, IDC_COMM3);
        switch (GetParam()) {
            case WayOut::CancelButton:
                DialogDriver::Click(dialog, IDCANCEL);
                break;
            case WayOut::EscapeKey:
                DialogDriver::PressKey(dialog, VK_ESCAPE);
                break;
            case WayOut::CloseBox:
                DialogDriver::Close(dialog);
                break;
        }
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_TRUE(sawPortChange);  // an auto radio unchecks its group
    EXPECT_EQ(2, dlg.m_nCommPort);
    EXPECT_EQ(0, dlg.m_bCentering);
    EXPECT_STREQ("20", dlg.m_strSampling);
    EXPECT_TRUE(driver.MessageBoxTexts().empty());
}

INSTANTIATE_TEST_SUITE_P(WaysOut, StartDialogCancelTest,
                         ::testing::Values(WayOut::CancelButton, WayOut::EscapeKey, WayOut::CloseBox));

TEST_F(StartDialogTest, StartOnAPortThatCannotBeOpenedKeepsTheDialogOpen) {
    SKIP_IF_MISSING_PORT_OPENS();
    CGPSNaviStartDlg dlg;
    Store(dlg, kMissingPort, 0, FALSE, FALSE, FALSE, 1);
    std::vector<bool> openAfterStart;
    DialogDriver driver([&](HWND dialog) {
        DialogDriver::Click(dialog, IDOK);
        openAfterStart.push_back(DialogDriver::IsOpen(dialog));
        DialogDriver::Click(dialog, IDOK);
        openAfterStart.push_back(DialogDriver::IsOpen(dialog));
        DialogDriver::Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ((std::vector<bool>{true, true}), openAfterStart);
    EXPECT_EQ((std::vector<std::string>{kCannotOpen, kCannotOpen}), driver.MessageBoxTexts());
}

// Stored receiver type 5 and port 7 check no radio; Start then names no
// port, and a receiver radio meets the stored port 7, which names none.
TEST_F(StartDialogTest, StoredValuesBeyondTheRadiosLeaveThemClear) {
    CGPSNaviStartDlg dlg;
    Store(dlg, 7, 5, FALSE, FALSE, FALSE, 1);
    ControlsSeen seen;
    bool openAfterStart = false;
    DialogDriver driver([&](HWND dialog) {
        seen = ControlsSeen::Of(dialog);
        DialogDriver::Click(dialog, IDC_DEVICE_NMEA);
        DialogDriver::Click(dialog, IDOK);
        openAfterStart = DialogDriver::IsOpen(dialog);
        DialogDriver::PressKey(dialog, VK_ESCAPE);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    for (bool port : seen.ports) EXPECT_FALSE(port);
    EXPECT_FALSE(seen.nmea);
    EXPECT_FALSE(seen.sony);
    EXPECT_TRUE(openAfterStart);
    EXPECT_EQ((std::vector<std::string>{kCannotOpen, kCannotOpen}), driver.MessageBoxTexts());
    EXPECT_EQ(-1, dlg.m_nCommPort);  // the saving exchange of Start
}

TEST_F(StartDialogTest, ModuleResourcesAreCurrentOnlyWhileTheDialogRuns) {
    HINSTANCE host = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x5a000));
    AfxSetResourceHandle(host);
    CGPSNaviStartDlg dlg;
    Store(dlg, 0, 0, FALSE, FALSE, FALSE, 1);
    HINSTANCE during = nullptr;
    DialogDriver driver([&](HWND dialog) {
        during = AfxGetResourceHandle();
        DialogDriver::Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ(g_hInstance, during);
    EXPECT_EQ(host, AfxGetResourceHandle());
}

TEST_F(StartDialogTest, MissingTemplateFailsAndRestoresTheResourceHandle) {
    HINSTANCE host = AfxGetResourceHandle();
#ifdef _WIN32
    g_hInstance = GetModuleHandleA("kernel32.dll");
#else
    g_hInstance = GetModuleHandleA("libw32.so");
#endif
    ASSERT_NE(nullptr, g_hInstance);
    CGPSNaviStartDlg dlg;
    DialogDriver driver([&](HWND dialog) { DialogDriver::Click(dialog, IDOK); });
    EXPECT_EQ(-1, dlg.DoModal());
    EXPECT_FALSE(driver.ScriptRan());
    EXPECT_EQ(host, AfxGetResourceHandle());
}

}  // namespace
