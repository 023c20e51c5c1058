// Dialog base class of the module: runs the dialog with the module's own
// resources current, so that its template and list data are found there.
#pragma once

#include <afxwin.h>

class CPluginDlg : public CDialog {
public:
    CPluginDlg(UINT nIDTemplate, CWnd* pParentWnd);
    ~CPluginDlg() override;

    int DoModal() override;

    // Ends the module's dialog that is running, if any, as Cancel would: the
    // host unloads the module after Close, so nothing may go on behind it.
    static void CancelRunning();

protected:
    HINSTANCE m_hPrevResource;  // the resource handle current when DoModal began

private:
    static CPluginDlg* s_pRunning;  // the dialog inside DoModal; dialogs are modal, one at a time
};
