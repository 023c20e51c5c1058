// On Linux the version-requirement marker lives in a section of its own,
// ".vpi_require", where a host finds it by name.
#include "shell/PluginInfo.h"

__attribute__((section(".vpi_require"), used)) static const char g_szRequire[2][sizeof VPI_REQUIRE_MARKER] = {
    VPI_REQUIRE_MARKER, VPI_REQUIRE_MARKER};
