// The five entry points the host calls, exported by their plain names.
#pragma once

#include <windows.h>

#include "host/PluginIf.h"
#include "shell/PluginInfo.h"

#define PLUGIN_EXPORT extern "C" __declspec(dllexport)

PLUGIN_EXPORT int __stdcall Init(tagPLUGININFO* pInfo, unsigned int nPluginId);
PLUGIN_EXPORT int __stdcall Load(void);
PLUGIN_EXPORT int __stdcall Close(void);
PLUGIN_EXPORT void __stdcall Release(void);
PLUGIN_EXPORT int __stdcall About(void);

// The callbacks Load registers.
long __stdcall MenuCallback(int nCode, unsigned int wParam, VPI_LPARAM lParam);
long __stdcall HookCallback(int nCode, unsigned int wParam, VPI_LPARAM lParam);

// Results of Load's registrations; kept, not used.
extern unsigned int g_nHookId;
extern unsigned int g_nMenuId;
