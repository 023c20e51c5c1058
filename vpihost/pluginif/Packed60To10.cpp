// Packed sexagesimal angles: dd.mmss... is whole degrees, two digits of
// minutes, then seconds with their fraction (35.40123 is 35 deg 40' 12.3").
#include <cmath>

#include "vpi_host.h"

extern "C" VPIHOST_API double __stdcall VpiPacked60To10(double dPacked) {
    if (!std::isfinite(dPacked)) return dPacked;
    double magnitude = std::fabs(dPacked);
    double degrees = std::floor(magnitude);
    // Minutes and seconds as one number mm.ss..., rounded well below the
    // formats' resolution so that 40.0 is not seen as 39.999... minutes.
    double minutesAndSeconds = std::round((magnitude - degrees) * 100.0 * 1e9) / 1e9;
    double minutes = std::floor(minutesAndSeconds);
    double seconds = (minutesAndSeconds - minutes) * 100.0;
    double result = degrees + minutes / 60.0 + seconds / 3600.0;
    return dPacked < 0 ? -result : result;
}
