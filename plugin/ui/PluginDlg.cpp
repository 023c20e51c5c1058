#include "ui/PluginDlg.h"

#include "serial/ModuleState.h"

// m_hPrevResource is written and read only by DoModal.
CPluginDlg::CPluginDlg(UINT nIDTemplate, CWnd* pParentWnd) : CDialog(nIDTemplate, pParentWnd) {}

CPluginDlg::~CPluginDlg() {}

int CPluginDlg::DoModal() {
    AFX_MODULE_STATE* pModuleState = AfxGetModuleState();
    m_hPrevResource = pModuleState->m_hCurrentResourceHandle;
    pModuleState->m_hCurrentResourceHandle = g_hInstance;
    int nResult = CDialog::DoModal();
    pModuleState->m_hCurrentResourceHandle = m_hPrevResource;
    return nResult;
}
