// Factors of the conversions, given by bit pattern so that every build
// computes the same doubles the host has always received.
#pragma once

// 0x3F847AE147AE147B: the double nearest to 0.01.
constexpr double NT_ONE_HUNDREDTH = 0x1.47AE147AE147Bp-7;
// 0x3FFAAAAAAAAAAAAA: one unit in the last place below the double nearest to 5/3.
constexpr double NT_MINUTES_TO_DEGREES = 0x1.AAAAAAAAAAAAAp+0;
// 0x3FFDAE147AE147AE: knots to km/h as the receivers' makers used it (1.855).
constexpr double NT_KNOTS_TO_KMH = 0x1.DAE147AE147AEp+0;
// 0x3EE4F8B588E368F1: the double nearest to 0.00001.
constexpr double NT_SONY_ANGLE_SCALE = 0x1.4F8B588E368F1p-17;
