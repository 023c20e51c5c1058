// Dialog base class of the module: runs the dialog with the module's own
// resources current, so that its template and list data are found there.
#pragma once

#include <afxwin.h>

class CPluginDlg : public CDialog {
public:
    CPluginDlg(UINT nIDTemplate, CWnd* pParentWnd);
    ~CPluginDlg() override;

    int DoModal() override;

protected:
    HINSTANCE m_hPrevResource;  // the resource handle current when DoModal began
};
