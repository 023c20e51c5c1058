// CDialog: modal dialogs from templates in the current resource handle, with
// the dialog-init list data executed before the first data exchange.
#include <afxwin.h>

#include <cstring>

namespace {

// Messages of dialog-init resources, as the resource compiler writes them
// (the 16-bit list box and combo box codes).
constexpr WORD kDlgInitListBoxAddString = 0x0401;
constexpr WORD kDlgInitComboBoxAddString = 0x0403;
constexpr size_t kDlgInitEntryHeader = 8;  // control id, message, data length
constexpr size_t kMaxItemText = 1024;

}  // namespace

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)), m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

int CDialog::DoModal() {
    // With no parent the dialog belongs to the window the user works in.
    HWND hWndOwner = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : ::GetActiveWindow();
    INT_PTR nResult = ::DialogBoxParamA(AfxGetResourceHandle(), m_lpszTemplateName, hWndOwner, &CDialog::DialogProc,
                                        reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return static_cast<int>(nResult);
}

void CDialog::EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

BOOL CDialog::ExecuteDlgInit(LPCSTR lpszResourceName) {
    HINSTANCE hInst = AfxGetResourceHandle();
    HRSRC hResource = ::FindResourceA(hInst, lpszResourceName, RT_DLGINIT);
    if (!hResource) return TRUE;  // a dialog without list data
    const void* pData = ::LockResource(::LoadResource(hInst, hResource));
    if (!pData) return FALSE;
    return ExecuteDlgInit(pData, ::SizeofResource(hInst, hResource));
}

// Entries: WORD control id, WORD message, DWORD length, then the data; a
// control id of 0 ends them. Entries need not be aligned.
BOOL CDialog::ExecuteDlgInit(const void* pData, size_t nSize) {
    const unsigned char* p = static_cast<const unsigned char*>(pData);
    size_t offset = 0;
    while (true) {
        WORD nIDC = 0;
        if (offset + sizeof nIDC > nSize) return FALSE;  // no end marker
        memcpy(&nIDC, p + offset, sizeof nIDC);
        if (nIDC == 0) return TRUE;
        if (nSize - offset < kDlgInitEntryHeader) return FALSE;
        WORD nMsg;
        DWORD nLength;
        memcpy(&nMsg, p + offset + 2, sizeof nMsg);
        memcpy(&nLength, p + offset + 4, sizeof nLength);
        offset += kDlgInitEntryHeader;
        if (nLength > nSize - offset) return FALSE;
        UINT nMessage = nMsg == kDlgInitListBoxAddString    ? LB_ADDSTRING
                        : nMsg == kDlgInitComboBoxAddString ? CB_ADDSTRING
                                                            : 0;
        if (nMessage) {
            // The text as a NUL-terminated string even when the data lacks the NUL.
            char szText[kMaxItemText + 1];
            size_t nText = nLength < kMaxItemText ? nLength : kMaxItemText;
            memcpy(szText, p + offset, nText);
            szText[nText] = '\0';
            if (::SendDlgItemMessageA(m_hWnd, nIDC, nMessage, 0, reinterpret_cast<LPARAM>(szText)) < 0) return FALSE;
        }
        offset += nLength;
    }
}

BOOL CDialog::OnInitDialog() {
    if (!ExecuteDlgInit(m_lpszTemplateName) || !UpdateData(FALSE)) {
        EndDialog(-1);
        return FALSE;
    }
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* pDialog;
    if (message == WM_INITDIALOG) {
        pDialog = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(pDialog));
        pDialog->m_hWnd = hWnd;
        return pDialog->OnInitDialog();
    }
    pDialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    if (!pDialog) return FALSE;  // messages before WM_INITDIALOG
    switch (message) {
        case WM_COMMAND:
            return pDialog->OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
        case WM_DESTROY:
            ::SetWindowLongPtrA(hWnd, DWLP_USER, 0);
            return FALSE;
        default:
            return FALSE;
    }
}
