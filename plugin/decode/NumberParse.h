// Number reading for the decoders. The values are exactly those of the C
// library's atof and atoi; the decoders call these so that a faster reader
// can stand in without changing a single result.
#pragma once

#include <stdlib.h>

inline double ParseDouble(const char* pszText) { return atof(pszText); }

inline int ParseInt(const char* pszText) { return atoi(pszText); }

inline long ParseLong(const char* pszText) { return atol(pszText); }
