// A module that adds no menu item and says on stderr which of its entry
// points the host calls: the host must still Close and Release it, once.
#include <cstdio>

#define EXPORT extern "C" __attribute__((visibility("default")))

static int Called(const char* entryPoint) {
    fprintf(stderr, "module: %s\n", entryPoint);
    return 1;
}

EXPORT int Init(void*, unsigned int) { return Called("Init"); }
EXPORT int Load() { return Called("Load"); }
EXPORT int Close() { return Called("Close"); }
EXPORT void Release() { Called("Release"); }
EXPORT int About() { return Called("About"); }

__attribute__((section(".vpi_require"), used)) static const char g_szRequire[2][20] = {"&&VPI_REQUIRE_7420&",
                                                                                       "&&VPI_REQUIRE_7420&"};
