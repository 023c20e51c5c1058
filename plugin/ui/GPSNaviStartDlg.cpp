#include "ui/GPSNaviStartDlg.h"

#include <string.h>

#include "serial/ReceiverType.h"
#include "shell/Texts.h"

namespace {

// Indexed by m_nCommPort; the radios reach the first four.
const char g_szCommPortName[5][5] = {"COM1", "COM2", "COM3", "COM4", "COM5"};
const int g_nCommPortNames = 5;

const char g_szModeNmea[] = "48,N,8,1";
const char g_szModeSony[] = "96,N,8,1";

}  // namespace

BEGIN_MESSAGE_MAP(CGPSNaviStartDlg, CPluginDlg)
ON_BN_CLICKED(IDC_COMMSETTING, &CGPSNaviStartDlg::OnCommSettings)
ON_BN_CLICKED(IDC_COMM1, &CGPSNaviStartDlg::OnSelectPort)
ON_BN_CLICKED(IDC_COMM2, &CGPSNaviStartDlg::OnSelectPort)
ON_BN_CLICKED(IDC_COMM3, &CGPSNaviStartDlg::OnSelectPort)
ON_BN_CLICKED(IDC_COMM4, &CGPSNaviStartDlg::OnSelectPort)
ON_BN_CLICKED(IDC_DEVICE_NMEA, &CGPSNaviStartDlg::OnDeviceNmea)
ON_BN_CLICKED(IDC_DEVICE_SONY, &CGPSNaviStartDlg::OnDeviceSony)
END_MESSAGE_MAP()

CGPSNaviStartDlg::CGPSNaviStartDlg(CWnd* pParent)
    : CPluginDlg(IDD, pParent),
      m_b3DView(FALSE),
      m_bCentering(FALSE),
      m_bRecord(FALSE),
      m_nCommPort(0),
      m_nDevice(NT_RECEIVER_NONE),
      m_strSampling(""),
      m_bCommConfigured(FALSE) {
    // Defined even where GetCommState fails to fill it.
    memset(&m_dcb, 0, sizeof m_dcb);
}

CGPSNaviStartDlg::~CGPSNaviStartDlg() {}

void CGPSNaviStartDlg::DoDataExchange(CDataExchange* pDX) {
    CPluginDlg::DoDataExchange(pDX);
    DDX_Check(pDX, IDC_VIEW3D, m_b3DView);
    DDX_Check(pDX, IDC_CENTERING, m_bCentering);
    DDX_Check(pDX, IDC_RECORD, m_bRecord);
    DDX_Radio(pDX, IDC_COMM1, m_nCommPort);
    DDX_Radio(pDX, IDC_DEVICE_NMEA, m_nDevice);
    DDX_CBString(pDX, IDC_SAMPLING, m_strSampling);
}

BOOL CGPSNaviStartDlg::OnInitDialog() {
    CPluginDlg::OnInitDialog();
    // TRUE: the focus goes to the first tab stop, the Start button.
    return TRUE;
}

// The mode string of the receiver type: NMEA at 4800 baud, every other
// value (Sony, or none chosen) at 9600.
LPCSTR CGPSNaviStartDlg::DeviceMode() const { return m_nDevice == NT_RECEIVER_NMEA ? g_szModeNmea : g_szModeSony; }

// Opens the port that m_nCommPort names, exclusively; on failure tells the
// user and returns INVALID_HANDLE_VALUE. An index beyond the table names no
// port and fails the same way.
HANDLE CGPSNaviStartDlg::OpenCommPort() {
    HANDLE hComm = INVALID_HANDLE_VALUE;
    if (m_nCommPort >= 0 && m_nCommPort < g_nCommPortNames) {
        hComm =
            CreateFileA(g_szCommPortName[m_nCommPort], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    }
    if (hComm == INVALID_HANDLE_VALUE) AfxMessageBox(TEXT_CANNOT_OPEN_PORT, MB_ICONEXCLAMATION);
    return hComm;
}

// The port's present state with the mode string applied; 0 (m_dcb
// unchanged) when the port cannot be opened.
int CGPSNaviStartDlg::BuildDefaultDcb(LPCSTR pszMode) {
    HANDLE hComm = OpenCommPort();
    if (hComm == INVALID_HANDLE_VALUE) return 0;
    GetCommState(hComm, &m_dcb);
    BuildCommDCBA(pszMode, &m_dcb);
    CloseHandle(hComm);
    return 1;
}

void CGPSNaviStartDlg::OnOK() {
    UpdateData(TRUE);
    if (!m_bCommConfigured && !BuildDefaultDcb(DeviceMode())) return;  // the dialog stays open
    CPluginDlg::OnOK();
}

void CGPSNaviStartDlg::OnCommSettings() {
    UpdateData(TRUE);
    HANDLE hComm = OpenCommPort();
    if (hComm == INVALID_HANDLE_VALUE) return;
    // The system dialog always opens with the receiver type's defaults.
    GetCommState(hComm, &m_dcb);
    BuildCommDCBA(DeviceMode(), &m_dcb);

    // No provider-specific data: sub-type, offset and size stay 0.
    COMMCONFIG cc;
    memset(&cc, 0, sizeof(cc));
    cc.dwSize = sizeof(COMMCONFIG);
    cc.wVersion = 0x100;
    cc.dcb = m_dcb;
    if (CommConfigDialogA(g_szCommPortName[m_nCommPort], m_hWnd, &cc)) m_dcb = cc.dcb;

    CloseHandle(hComm);
    m_bCommConfigured = TRUE;  // confirmed or cancelled alike
}

void CGPSNaviStartDlg::OnSelectPort() { m_bCommConfigured = FALSE; }

// The receiver radios use the port of the last exchange; no exchange here.
void CGPSNaviStartDlg::OnDeviceNmea() { BuildDefaultDcb(g_szModeNmea); }

void CGPSNaviStartDlg::OnDeviceSony() { BuildDefaultDcb(g_szModeSony); }
