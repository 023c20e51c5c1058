// The short paths of the number readers against the C library: the same
// value, bit for bit, for the plain forms and everything around them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "decode/NumberParse.h"
#include "decode/TimeFormat.h"

namespace {

uint64_t BitsOf(double d) {
    uint64_t u;
    memcpy(&u, &d, sizeof u);
    return u;
}

void ExpectSameAsCLibrary(const std::string& text) {
    const char* psz = text.c_str();
    ASSERT_EQ(BitsOf(ParseDouble(psz)), BitsOf(atof(psz))) << '"' << text << '"';
    ASSERT_EQ(ParseLong(psz), atol(psz)) << '"' << text << '"';
    ASSERT_EQ(ParseInt(psz), atoi(psz)) << '"' << text << '"';
}

TEST(NumberParse, EdgeFormsMatchTheCLibrary) {
    for (const char* psz : {"",
                            "0",
                            "-0",
                            "-0.0",
                            "0.",
                            ".5",
                            "-.5",
                            ".",
                            "-",
                            "+1",
                            " 1",
                            "\t2.5",
                            "1e3",
                            "1E-3",
                            "1.5e",
                            "0x1A",
                            "0X1p3",
                            "inf",
                            "-nan",
                            "INFINITY",
                            "12.5x",
                            "12..5",
                            "1-2",
                            "007",
                            "08.",
                            "4807.038",
                            "01131.000",
                            "9007199254740992",
                            "9007199254740993",
                            "9007199254740993.0",
                            "18446744073709551616",
                            "0.30000000000000004",
                            "123456789012345678901234567890",
                            "1.0000000000000000000000001",
                            "0.0000000000000000000001",
                            "0.00000000000000000000001",
                            "999999999",
                            "2147483647",
                            "2147483648",
                            "-2147483648",
                            "123519.00",
                            "99999999999999999999",
                            "1,5",
                            "12 3",
                            "\xb1"
                            "5"}) {
        ExpectSameAsCLibrary(psz);
    }
}

// Receiver-like numbers and random noise around them.
TEST(NumberParse, GeneratedNumbersMatchTheCLibrary) {
    std::mt19937_64 random(20261208);
    const char kAlphabet[] = "0123456789012345678901234567890123456789..--+eE x";
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        int nForm = static_cast<int>(random() % 4);
        if (nForm == 0) {
            // ddmm.mmmm and friends: digits, a point, digits.
            text = std::to_string(random() % 100000);
            text += '.' + std::to_string(random() % 100000000);
            if (random() % 4 == 0) text.insert(0, "-");
        } else if (nForm == 1) {
            // Up to 25 digits with a point somewhere.
            size_t nLength = 1 + random() % 25;
            for (size_t n = 0; n < nLength; ++n) text += static_cast<char>('0' + random() % 10);
            text.insert(random() % (text.size() + 1), ".");
        } else {
            size_t nLength = random() % 12;
            for (size_t n = 0; n < nLength; ++n) text += kAlphabet[random() % (sizeof kAlphabet - 1)];
        }
        ExpectSameAsCLibrary(text);
    }
}

TEST(FormatTime6, MatchesPrintfCutToSixCharacters) {
    for (long lValue : {0L, 5L, 123519L, 999999L, 1000000L, -1L, -99999L, -100000L, 2147483647L, -2147483647L - 1}) {
        char szExpected[32];
        snprintf(szExpected, sizeof szExpected, "%06ld", lValue);
        szExpected[6] = '\0';
        char szActual[8];
        memset(szActual, 'z', sizeof szActual);
        FormatTime6(lValue, szActual);
        EXPECT_STREQ(szActual, szExpected) << lValue;
        EXPECT_EQ(szActual[7], 'z');
    }
    for (long lValue = 0; lValue <= 999999; lValue += 7) {
        char szExpected[32];
        snprintf(szExpected, sizeof szExpected, "%06ld", lValue);
        char szActual[8];
        FormatTime6(lValue, szActual);
        ASSERT_STREQ(szActual, szExpected);
    }
}

}  // namespace
