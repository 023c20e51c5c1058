// The version-requirement marker of a plug-in module, "&&VPI_REQUIRE_<n>&"
// with its NUL, found where the module's build puts it: directly behind the
// section table of a PE file, or as the ELF section ".vpi_require".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vpihost {

// Reads the version the marker names from the start of data; false when
// the text there is not a marker.
bool ParseMarkerText(const unsigned char* data, size_t size, int* version);

// Finds the marker in a module file's bytes; false with a reason when the
// file is neither PE nor ELF, is cut short, or has no marker.
bool FindVersionMarker(const std::vector<unsigned char>& file, int* version, std::string* error);

// Reads the file first; modules larger than kMaxModuleSize are refused.
bool ReadVersionMarker(const std::string& path, int* version, std::string* error);

constexpr size_t kMaxModuleSize = 64u << 20;

}  // namespace vpihost
