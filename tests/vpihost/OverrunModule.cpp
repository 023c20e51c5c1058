// A module whose Init writes one byte past the 280-byte plug-in information
// record: the host must notice and refuse it.
#include <cstring>

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int Init(void* pInfo, unsigned int) {
    memset(pInfo, 0, 281);
    return 1;
}
EXPORT int Load() { return 1; }
EXPORT int Close() { return 1; }
EXPORT void Release() {}
EXPORT int About() { return 1; }

__attribute__((section(".vpi_require"), used)) static const char g_szRequire[2][20] = {"&&VPI_REQUIRE_7420&",
                                                                                       "&&VPI_REQUIRE_7420&"};
