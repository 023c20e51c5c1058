#include "serial/ModuleState.h"

unsigned int g_nPluginId;
HINSTANCE g_hInstance;
CGPSComm* g_pGPSComm;
HANDLE g_hThread;
OVERLAPPED g_Overlapped;
tagGPSNAVIINFO g_GpsNaviInfo;
