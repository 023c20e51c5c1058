// Module-wide state of the plug-in, static storage, zero at load.
#pragma once

#include <windows.h>

#include "host/GpsNaviInfo.h"

class CGPSComm;

extern unsigned int g_nPluginId;
extern HINSTANCE g_hInstance;
extern CGPSComm* g_pGPSComm;
extern HANDLE g_hThread;
extern OVERLAPPED g_Overlapped;
extern tagGPSNAVIINFO g_GpsNaviInfo;
