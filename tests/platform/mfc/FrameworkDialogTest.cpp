// The framework's dialogs on both platforms: data exchange over radio
// groups, check boxes and combo boxes, dialog-init data (sound and broken),
// message maps and CString.
#include <gtest/gtest.h>
#include <windows.h>

#include <afxwin.h>

#include <string>
#include <vector>

#include "DialogDriver.h"

#ifndef _WIN32
#include <win32ctl/module.h>

extern "C" const unsigned char nt_resources_begin[] __attribute__((visibility("hidden")));
extern "C" const unsigned char nt_resources_end[] __attribute__((visibility("hidden")));
#endif

namespace {

class CExchangeDlg : public CDialog {
public:
    explicit CExchangeDlg(UINT nID = 2000) : CDialog(nID) {}

    int m_nFirstGroup = 1;
    int m_nSecondGroup = 0;
    BOOL m_bCheck = FALSE;
    CString m_strCombo = "tw";
    BOOL m_bExchangeMissing = FALSE;
    int m_nCancelClicks = 0;
    int m_nCheckClicks = 0;
    std::vector<int> m_initResults;  // ExecuteDlgInit results, then list sizes
    BOOL m_bProbeDlgInit = FALSE;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Radio(pDX, 100, m_nFirstGroup);
        DDX_Radio(pDX, 110, m_nSecondGroup);
        DDX_Check(pDX, 120, m_bCheck);
        DDX_CBString(pDX, 130, m_strCombo);
        if (m_bExchangeMissing) DDX_Check(pDX, 999, m_bCheck);
    }

    BOOL OnInitDialog() override {
        BOOL result = CDialog::OnInitDialog();
        if (m_bProbeDlgInit) ProbeDlgInit();
        return result;
    }

    // Cancel does not end this dialog: its own entry comes before CDialog's.
    void OnCancelClicked() { ++m_nCancelClicks; }
    void OnCheckClicked() { ++m_nCheckClicks; }

    DECLARE_MESSAGE_MAP()

private:
    void Probe(const std::vector<unsigned char>& data) {
        m_initResults.push_back(ExecuteDlgInit(data.data(), data.size()));
        m_initResults.push_back(static_cast<int>(SendDlgItemMessageA(m_hWnd, 130, CB_GETCOUNT, 0, 0)));
    }

    void ProbeDlgInit() {
        const unsigned char good[] = {130, 0, 0x03, 0x04, 4, 0, 0, 0, 'a', 'b', 'c', 0, 0, 0};
        const unsigned char noNul[] = {130, 0, 0x03, 0x04, 3, 0, 0, 0, 'x', 'y', 'z', 0, 0};
        const unsigned char unknown[] = {130, 0, 0x34, 0x12, 2, 0, 0, 0, 'q', 0, 0, 0};
        const unsigned char noEnd[] = {130, 0, 0x03, 0x04, 2, 0, 0, 0, 'n', 0};
        const unsigned char tooLong[] = {130, 0, 0x03, 0x04, 0xFF, 0, 0, 0, 'l', 0, 0, 0};
        const unsigned char cutHeader[] = {130, 0, 0x03};
        for (const auto& data :
             {std::vector<unsigned char>(std::begin(good), std::end(good)),
              std::vector<unsigned char>(std::begin(noNul), std::end(noNul)),
              std::vector<unsigned char>(std::begin(unknown), std::end(unknown)),
              std::vector<unsigned char>(std::begin(noEnd), std::end(noEnd)),
              std::vector<unsigned char>(std::begin(tooLong), std::end(tooLong)),
              std::vector<unsigned char>(std::begin(cutHeader), std::end(cutHeader)), std::vector<unsigned char>()})
            Probe(data);
        char last[8] = {};
        SendDlgItemMessageA(m_hWnd, 130, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(last));
        m_lastItem = last;
        EndDialog(IDOK);
    }

public:
    std::string m_lastItem;
};

BEGIN_MESSAGE_MAP(CExchangeDlg, CDialog)
ON_BN_CLICKED(IDCANCEL, &CExchangeDlg::OnCancelClicked)
ON_BN_CLICKED(120, &CExchangeDlg::OnCheckClicked)
END_MESSAGE_MAP()

class FrameworkDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        W32RegisterModuleResources(GetModuleHandleA(nullptr), nt_resources_begin,
                                   static_cast<size_t>(nt_resources_end - nt_resources_begin));
#endif
        AfxSetResourceHandle(GetModuleHandleA(nullptr));
    }
};

struct Checks {
    bool radios[5] = {};  // 100, 102, 104, 110, and the check box 103
    std::string combo;
    long selection = -2;

    static Checks Of(HWND dialog) {
        Checks c;
        int ids[] = {100, 102, 104, 110, 103};
        for (int i = 0; i < 5; ++i) c.radios[i] = DialogDriver::Checked(dialog, ids[i]);
        c.combo = DialogDriver::Text(dialog, 130);
        c.selection = static_cast<long>(SendDlgItemMessageA(dialog, 130, CB_GETCURSEL, 0, 0));
        return c;
    }
};

TEST_F(FrameworkDialogTest, RadioGroupCountsOnlyRadiosUpToTheNextGroup) {
    for (int value : {0, 1, 2, 3, -1}) {
        SCOPED_TRACE(value);
        CExchangeDlg dlg;
        dlg.m_nFirstGroup = value;
        Checks seen;
        DialogDriver driver([&](HWND dialog) {
            seen = Checks::Of(dialog);
            DialogDriver::Click(dialog, IDOK);
        });
        EXPECT_EQ(IDOK, dlg.DoModal());
        EXPECT_EQ(value == 0, seen.radios[0]);
        EXPECT_EQ(value == 1, seen.radios[1]);
        EXPECT_EQ(value == 2, seen.radios[2]);
        EXPECT_TRUE(seen.radios[3]);   // the next group keeps its own value
        EXPECT_FALSE(seen.radios[4]);  // the check box inside the group is no radio
        EXPECT_EQ(value >= 0 && value <= 2 ? value : -1, dlg.m_nFirstGroup);
    }
}

TEST_F(FrameworkDialogTest, SavingTakesTheCheckedRadioAndTheEditText) {
    CExchangeDlg dlg;
    Checks seen;
    DialogDriver driver([&](HWND dialog) {
        seen = Checks::Of(dialog);
        DialogDriver::Click(dialog, 104);
        DialogDriver::Click(dialog, 120);
        DialogDriver::SetText(dialog, 130, "typed");
        DialogDriver::Click(dialog, IDOK);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ("two", seen.combo);  // the list came from the dialog-init data
    EXPECT_EQ(1, seen.selection);
    EXPECT_EQ(2, dlg.m_nFirstGroup);
    EXPECT_EQ(1, dlg.m_bCheck);
    EXPECT_EQ(1, dlg.m_nCheckClicks);
    EXPECT_STREQ("typed", dlg.m_strCombo);
}

TEST_F(FrameworkDialogTest, DerivedMessageMapEntryComesFirst) {
    CExchangeDlg dlg;
    bool openAfterCancel = false;
    DialogDriver driver([&](HWND dialog) {
        DialogDriver::Click(dialog, IDCANCEL);
        openAfterCancel = DialogDriver::IsOpen(dialog);
        DialogDriver::Click(dialog, IDOK);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_TRUE(openAfterCancel);
    EXPECT_EQ(1, dlg.m_nCancelClicks);
}

// A control the exchange names but the template lacks fails the loading
// exchange, and the dialog ends with -1 before the user sees it.
TEST_F(FrameworkDialogTest, ExchangeWithAMissingControlFailsTheDialog) {
    CExchangeDlg dlg;
    dlg.m_bExchangeMissing = TRUE;
    DialogDriver driver([&](HWND dialog) { DialogDriver::Click(dialog, IDOK); });
    EXPECT_EQ(-1, dlg.DoModal());
    EXPECT_FALSE(driver.ScriptRan());
}

TEST_F(FrameworkDialogTest, DialogInitDataIsReadWithinItsBounds) {
    CExchangeDlg dlg;
    dlg.m_bProbeDlgInit = TRUE;
    EXPECT_EQ(IDOK, dlg.DoModal());
    // Two entries from the resource, then: good, no NUL, unknown message,
    // no end marker, length past the end, cut header, empty.
    EXPECT_EQ((std::vector<int>{1, 3, 1, 4, 1, 4, 0, 5, 0, 5, 0, 5, 0, 5}), dlg.m_initResults);
    EXPECT_EQ("xyz", dlg.m_lastItem);
}

TEST_F(FrameworkDialogTest, DialogWithoutInitDataOpensAndBrokenInitDataFails) {
    {
        CDialog plain(2001);
        DialogDriver driver([&](HWND dialog) { DialogDriver::Click(dialog, IDOK); });
        EXPECT_EQ(IDOK, plain.DoModal());
        EXPECT_TRUE(driver.ScriptRan());
    }
    {
        CDialog broken(2002);
        DialogDriver driver([&](HWND dialog) { DialogDriver::Click(dialog, IDOK); });
        EXPECT_EQ(-1, broken.DoModal());
        EXPECT_FALSE(driver.ScriptRan());
    }
}

TEST(CStringTest, FormatsBuffersAndCompares) {
    CString s;
    EXPECT_TRUE(s.IsEmpty());
    s.Format("%d", 120);
    EXPECT_STREQ("120", s);
    s += "s";
    s += '!';
    EXPECT_EQ(5, s.GetLength());
    EXPECT_EQ('s', s.GetAt(3));
    EXPECT_EQ('\0', s.GetAt(9));
    EXPECT_EQ(0, s.CompareNoCase("120S!"));
    EXPECT_NE(0, s.Compare("120S!"));
    char* buffer = s.GetBuffer(16);
    strcpy(buffer, "abc");
    s.ReleaseBuffer();
    EXPECT_STREQ("abc", s);
    EXPECT_TRUE(s == "abc");
    std::string longText(2000, 'x');
    s.Format("%s", longText.c_str());
    EXPECT_EQ(1024, s.GetLength());
    CString copy = s;
    s = static_cast<LPCSTR>(nullptr);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(1024, copy.GetLength());
}

}  // namespace
