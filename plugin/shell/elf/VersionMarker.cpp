// On Linux the version-requirement marker lives in a section of its own,
// ".vpi_require", where a host finds it by name.
__attribute__((section(".vpi_require"), used)) static const char g_szRequire[2][20] = {"&&VPI_REQUIRE_7420&",
                                                                                       "&&VPI_REQUIRE_7420&"};
