// Number reading for the decoders, with exactly the values of the C
// library's atof, atoi and atol. The plain forms that receivers send take a
// short path; anything else (signs, blanks, exponents, hexadecimal, long
// digit strings) goes to the C library itself.
#pragma once

#include <float.h>
#include <limits.h>
#include <stdint.h>
#include <stdlib.h>

inline int IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// [-]digits[.digits] and nothing behind: with at most 2^53 as the digits'
// value and at most 22 of them behind the point, both the digits and the
// power of ten are exact doubles, so one correctly rounded division gives the
// correctly rounded value, which is what atof returns.
#if FLT_EVAL_METHOD != 0
// x87 registers would round the quotient twice: only the library is exact.
inline double ParseDouble(const char* pszText) { return atof(pszText); }
#else
inline double ParseDouble(const char* pszText) {
    static const double adPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = pszText;
    if (*p == '\0') {
        return 0.0;
    }
    int bNegative = *p == '-';
    p += bNegative;
    uint64_t nDigits = 0;
    int nCount = 0;
    int nFraction = 0;
    for (; IsDecimalDigit(*p) && nCount < 19; ++p, ++nCount) {
        nDigits = nDigits * 10 + (uint64_t)(*p - '0');
    }
    if (*p == '.') {
        for (++p; IsDecimalDigit(*p) && nCount < 19; ++p, ++nCount, ++nFraction) {
            nDigits = nDigits * 10 + (uint64_t)(*p - '0');
        }
    }
    if (*p != '\0' || nCount == 0 || nDigits > (1ULL << 53) || nFraction > 22) {
        return atof(pszText);
    }
    double dValue = (double)nDigits / adPow10[nFraction];
    return bNegative ? -dValue : dValue;
}
#endif

// Leading digits up to the first other character, as strtol reads them in
// base 10; short enough that no overflow is possible.
template <typename T, int nMaxDigits>
inline int ParseLeadingDigits(const char* pszText, T* pValue) {
    const char* p = pszText;
    if (!IsDecimalDigit(*p)) {
        return 0;
    }
    T value = 0;
    for (int n = 0; IsDecimalDigit(*p); ++p, ++n) {
        if (n == nMaxDigits) {
            return 0;
        }
        value = value * 10 + (*p - '0');
    }
    *pValue = value;
    return 1;
}

inline int ParseInt(const char* pszText) {
    int nValue;
    return ParseLeadingDigits<int, 9>(pszText, &nValue) ? nValue : atoi(pszText);
}

inline long ParseLong(const char* pszText) {
    long lValue;
    return ParseLeadingDigits < long, sizeof(long) >= 8 ? 18 : 9 > (pszText, &lValue) ? lValue : atol(pszText);
}
