// The start-navigation dialog: serial port, receiver type, navigation
// options and update interval, and the serial line settings for the port.
#pragma once

#include <afxwin.h>

#include "ui/PluginDlg.h"
#include "ui/resource.h"

class CGPSNaviStartDlg : public CPluginDlg {
public:
    explicit CGPSNaviStartDlg(CWnd* pParent = NULL);
    ~CGPSNaviStartDlg() override;

    enum { IDD = IDD_GPSNAVISTART };

    BOOL m_b3DView;
    BOOL m_bCentering;
    BOOL m_bRecord;
    int m_nCommPort;  // 0..3 = COM1..COM4, -1 when no port radio is checked
    int m_nDevice;    // 0 NMEA 0183, 1 Sony, -1 when no receiver radio is checked
    CString m_strSampling;
    BOOL m_bCommConfigured;  // line settings came from the system's port dialog
    DCB m_dcb;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    void OnCommSettings();
    void OnSelectPort();
    void OnDeviceNmea();
    void OnDeviceSony();

    DECLARE_MESSAGE_MAP()

private:
    HANDLE OpenCommPort();
    int BuildDefaultDcb(LPCSTR pszMode);
    LPCSTR DeviceMode() const;
};
