// Windows and dialogs of the small framework: command targets with message
// maps (BN_CLICKED commands), CWnd, CDialog and dialog data exchange. Written
// over the Win32 API, so the same code serves both platforms.
#ifndef AFX_DLG_H
#define AFX_DLG_H

#include "afx.h"
#include "afxstr.h"

// The resource type of dialog-init data (list entries of combo boxes).
#ifndef RT_DLGINIT
#define RT_DLGINIT MAKEINTRESOURCEA(240)
#endif

class CCmdTarget;
typedef void (CCmdTarget::*AFX_PMSG)();

// One message map entry: a WM_COMMAND notification code from the controls
// nID to nLastID, handled by a member function without arguments.
struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// clang-format off
#define DECLARE_MESSAGE_MAP()                                  \
protected:                                                     \
    static const AFX_MSGMAP* GetThisMessageMap();              \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                        \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
        typedef baseClass TheBaseClass;                                               \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                        \
            {0, 0, 0, 0, nullptr}                                                                \
        };                                                                                       \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
        return &messageMap;                                                                      \
    }

// Entries; memberFxn is written &CClass::OnHandler.
#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, 0, (UINT)(WORD)(id), (UINT)(WORD)(id), static_cast<AFX_PMSG>(memberFxn)},
#define ON_BN_CLICKED(id, memberFxn) \
    {WM_COMMAND, (UINT)BN_CLICKED, (UINT)(WORD)(id), (UINT)(WORD)(id), static_cast<AFX_PMSG>(memberFxn)},
// clang-format on

// Something that receives commands through its message map.
class CCmdTarget : public CObject {
public:
    CCmdTarget() = default;
    ~CCmdTarget() override = default;

    // Calls the handler of the first entry, in this class's map and then in
    // the base maps, for the command; FALSE when there is none.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

class CDataExchange;

class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;

    HWND GetSafeHwnd() const { return m_hWnd; }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void SetWindowText(LPCSTR lpszString);
    void GetWindowText(CString& rString) const;
    void GetDlgItem(int nID, HWND* phWnd) const;

    // Runs DoDataExchange: controls into members (TRUE) or members into the
    // controls (FALSE). FALSE when a named control is missing.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    HWND m_hWnd;

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    DECLARE_MESSAGE_MAP()
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Creates the dialog from the template in the current resource handle,
    // runs it, and returns the value that ended it; -1 when it could not be
    // created.
    virtual int DoModal();
    void EndDialog(int nResult);

    // Sends the list data of a dialog-init resource to the controls; TRUE
    // also when there is no such resource.
    BOOL ExecuteDlgInit(LPCSTR lpszResourceName);
    BOOL ExecuteDlgInit(const void* pData, size_t nSize);

    virtual BOOL OnInitDialog();

protected:
    virtual void OnOK();
    virtual void OnCancel();

    LPCSTR m_lpszTemplateName;
    UINT m_nIDHelp;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};

// Direction and dialog of one data exchange.
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

    // The control's window; null when the dialog has none with that id,
    // which fails the exchange.
    HWND PrepareCtrl(int nIDC);

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    int m_idLastControl;
    BOOL m_bFailed;
};

// Check box: 0 clear, 1 checked, 2 indeterminate; a value outside 0..2 is
// set to 0 before loading.
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// Radio group that begins at nIDC and runs to the next control with WS_GROUP,
// radio buttons only: the position of the checked one, -1 when none.
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
// Combo box: loading selects the first list entry that begins with the text
// (from the top), else puts the text into the edit field; saving takes the
// edit field's text.
void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value);

#endif
