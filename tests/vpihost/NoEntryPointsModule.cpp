// A module that carries the version-requirement marker but exports only
// Init: the host must refuse it for the missing entry points.
extern "C" __attribute__((visibility("default"))) int Init(void*, unsigned int) { return 1; }

__attribute__((section(".vpi_require"), used)) static const char g_szRequire[2][20] = {"&&VPI_REQUIRE_7420&",
                                                                                       "&&VPI_REQUIRE_7420&"};
