// Resource ids of the start dialog; shared by the .rc file and the code.
#pragma once

#define IDD_GPSNAVISTART 1000

#define IDC_COMMSETTING 1000
#define IDC_COMM1 8063
#define IDC_COMM2 8064
#define IDC_COMM3 8065
#define IDC_COMM4 8066
#define IDC_DEVICE_NMEA 8067
#define IDC_CENTERING 8068
#define IDC_VIEW3D 8069
#define IDC_RECORD 8070
#define IDC_DEVICE_SONY 8071
#define IDC_SAMPLING 237

// Dialog-init data (list entries for the combo boxes).
#define RT_DLGINIT_ID 240
