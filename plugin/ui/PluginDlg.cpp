#include "ui/PluginDlg.h"

#include "serial/ModuleState.h"

CPluginDlg* CPluginDlg::s_pRunning;

// m_hPrevResource is written and read only by DoModal.
CPluginDlg::CPluginDlg(UINT nIDTemplate, CWnd* pParentWnd) : CDialog(nIDTemplate, pParentWnd) {}

CPluginDlg::~CPluginDlg() {}

int CPluginDlg::DoModal() {
    AFX_MODULE_STATE* pModuleState = AfxGetModuleState();
    m_hPrevResource = pModuleState->m_hCurrentResourceHandle;
    pModuleState->m_hCurrentResourceHandle = g_hInstance;
    CPluginDlg* pOuter = s_pRunning;
    s_pRunning = this;
    int nResult = CDialog::DoModal();
    s_pRunning = pOuter;
    pModuleState->m_hCurrentResourceHandle = m_hPrevResource;
    return nResult;
}

void CPluginDlg::CancelRunning() {
    if (s_pRunning && s_pRunning->m_hWnd) s_pRunning->EndDialog(IDCANCEL);
}
