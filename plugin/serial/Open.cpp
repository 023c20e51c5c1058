// CGPSComm::Open: the start dialog, the host's navigation, the port and the
// record reset, in the order the host and the receiver rely on.
#include <afxwin.h>

#include <cstdlib>
#include <cstring>

#include "host/PluginIf.h"
#include "serial/GPSComm.h"
#include "serial/GpsLink.h"
#include "serial/ModuleState.h"
#include "shell/Texts.h"
#include "ui/GPSNaviStartDlg.h"

static const char kKeyCommPort[] = "GPSNavi CommPort";
static const char kKeyProtocol[] = "GPSNavi Protcol";  // the stored profiles' spelling
static const char kKeyCentering[] = "GPSNavi Centering";
static const char kKey3DView[] = "GPSNavi 3DView";
static const char kKeyRecord[] = "GPSNavi Record";
static const char kKeySampling[] = "GPSNavi Sampling";
static const char kKeyFixSpeed[] = "GPSNavi FixSpeed";
static const char kKeyAnyTalker[] = "GPSNavi AnyTalker";

int CGPSComm::Open() {
    CGPSNaviStartDlg dlg(nullptr);
    dlg.m_nCommPort = static_cast<int>(VPI_GetProfileInt(g_nPluginId, kKeyCommPort, 1));
    dlg.m_nDevice = static_cast<int>(VPI_GetProfileInt(g_nPluginId, kKeyProtocol, NT_RECEIVER_NMEA));
    dlg.m_bCentering = static_cast<int>(VPI_GetProfileInt(g_nPluginId, kKeyCentering, 1));
    dlg.m_b3DView = static_cast<int>(VPI_GetProfileInt(g_nPluginId, kKey3DView, 1));
    dlg.m_bRecord = static_cast<int>(VPI_GetProfileInt(g_nPluginId, kKeyRecord, 1));
    dlg.m_strSampling.Format("%d", static_cast<int>(VPI_GetProfileInt(g_nPluginId, kKeySampling, 5)));

    if (dlg.DoModal() != IDOK) return 0;

    unsigned int nView = VPI_GetActiveView();
    if (!VPI_InitGpsNavi(nView, NaviCallback)) return 0;

    DCB dcb = dlg.m_dcb;
    m_nProtocol = dlg.m_nDevice;
    int nInterval = atoi(static_cast<LPCSTR>(dlg.m_strSampling));

    VPI_WriteProfileInt(g_nPluginId, kKeyCommPort, dlg.m_nCommPort);
    VPI_WriteProfileInt(g_nPluginId, kKeyCentering, dlg.m_bCentering);
    VPI_WriteProfileInt(g_nPluginId, kKey3DView, dlg.m_b3DView);
    VPI_WriteProfileInt(g_nPluginId, kKeyRecord, dlg.m_bRecord);
    VPI_WriteProfileInt(g_nPluginId, kKeySampling, nInterval);
    VPI_WriteProfileInt(g_nPluginId, kKeyProtocol, m_nProtocol);

    m_szPort[3] = static_cast<char>('1' + dlg.m_nCommPort);
    m_hComm =
        CreateFileA(m_szPort, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (m_hComm == INVALID_HANDLE_VALUE) {
        AfxMessageBox(TEXT_CANNOT_OPEN_PORT, MB_ICONEXCLAMATION);
        // The host set its navigation up for this start; give it back.
        VPI_ReleaseGpsNavi();
        return 0;
    }

    m_dHeldCourse = 0.0;
    m_bCourseHeld = 0;
    m_nFixSpeed = static_cast<int>(VPI_GetProfileInt(g_nPluginId, kKeyFixSpeed, -1));
    m_bAnyTalker = VPI_GetProfileInt(g_nPluginId, kKeyAnyTalker, 0) == 1 ? 1 : 0;

    dcb.EvtChar = 0x0A;
    SetCommState(m_hComm, &dcb);

    COMMTIMEOUTS timeouts;
    memset(&timeouts, 0, sizeof timeouts);
    GetCommTimeouts(m_hComm, &timeouts);
    timeouts.ReadIntervalTimeout = 5;
    SetCommTimeouts(m_hComm, &timeouts);

    memset(&g_GpsNaviInfo, 0, sizeof g_GpsNaviInfo);
    g_GpsNaviInfo.dwSize = sizeof g_GpsNaviInfo;
    g_GpsNaviInfo.nInterval = nInterval;
    VPI_SetGpsNaviInfo(&g_GpsNaviInfo);

    VPI_StartGpsNavi(dlg.m_bCentering, dlg.m_b3DView, dlg.m_bRecord, 1);
    m_bRunning.store(1);
    return m_bRunning.load();
}
