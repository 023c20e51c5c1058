// The module's user-visible texts. The Japanese ones are the exact Shift-JIS
// (code page 932) bytes the host and the system expect, written as escapes so
// that no compiler's source or execution character set can change them.
#pragma once

#include "ProductVersion.h"

// "NMEA Driver for Tavelo プラグイン"
#define TEXT_PLUGIN_NAME                            \
    "NMEA Driver for Tavelo \x83v\x83\x89\x83O\x83" \
    "C\x83\x93"
#define TEXT_PLUGIN_VERSION NT_VERSION_TEXT
// "Dorvine.vpl\nVestrandのバージョンが古いためこのプラグインは使用できません."
#define TEXT_HOST_TOO_OLD                                                                                      \
    "Dorvine.vpl\nVestrand\x82\xCC\x83o\x81[\x83W\x83\x87\x83\x93\x82\xAA\x8C\xC3\x82\xA2\x82\xBD\x82\xDF\x82" \
    "\xB1\x82\xCC\x83v\x83\x89\x83O\x83"                                                                       \
    "C\x83\x93\x82\xCD\x8Eg\x97p\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1."
// "NMEA Driver for Tavelo プラグイン for VESTRAND\nVer <version>\n" and the notice
#define TEXT_ABOUT \
    TEXT_PLUGIN_NAME " for VESTRAND\nVer " NT_VERSION_TEXT "\nCopyright (C) 2026 the NMEATavelo developers"
#define TEXT_MENU_ITEM "NMEA for Tavelo"
#define TEXT_CANNOT_OPEN_PORT "Cannot Open COM port"
#define TEXT_OUT_OF_MEMORY "Out of memory"
