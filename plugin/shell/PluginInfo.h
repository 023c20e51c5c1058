// The plug-in information record that Init fills; the host owns it.
#pragma once

#include <stddef.h>

#include "ProductVersion.h"

struct tagPLUGININFO {
    unsigned int dwSize;  // 280
    char szName[80];
    char szVersion[30];
    char szReserved[162];
    unsigned int dwFlags;  // 1
};

static_assert(sizeof(tagPLUGININFO) == 280, "plug-in information record");
static_assert(offsetof(tagPLUGININFO, szName) == 4, "name");
static_assert(offsetof(tagPLUGININFO, szVersion) == 84, "version");
static_assert(offsetof(tagPLUGININFO, szReserved) == 114, "third text");
static_assert(offsetof(tagPLUGININFO, dwFlags) == 276, "flag");

#define PLUGININFO_SIZE 280
// The oldest host the module runs in: the gate in Init, and the marker a host
// reads from the file before loading it.
#define MIN_HOST_VERSION NT_HOST_VERSION
#define NT_STRINGIFY_(x) #x
#define NT_STRINGIFY(x) NT_STRINGIFY_(x)
#define VPI_REQUIRE_MARKER "&&VPI_REQUIRE_" NT_STRINGIFY(MIN_HOST_VERSION) "&"
