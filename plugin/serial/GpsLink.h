// Start and stop of a GPS link, on the host's UI thread.
#pragma once

#include "host/PluginIf.h"

void StartGpsLink();
void StopGpsLink();
long __stdcall NaviCallback(int nCode, unsigned int wParam, VPI_LPARAM lParam);
