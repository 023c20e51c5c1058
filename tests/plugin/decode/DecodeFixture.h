// Shared set-up of the decoder tests: a recording host, a fresh link object
// and the record as a link start leaves it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "RecordingHost.h"
#include "serial/GPSComm.h"
#include "serial/ModuleState.h"

inline uint64_t Bits(double d) {
    uint64_t u;
    memcpy(&u, &d, sizeof u);
    return u;
}

// Checks a double bit for bit against the value the text denotes.
#define EXPECT_BITS(actual, expected) EXPECT_EQ(Bits(actual), Bits(expected)) << (actual) << " vs " << (expected)

// Sets the process's time zone through TZ for one test and puts it back.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* pszZone) {
        const char* pszOld = getenv("TZ");
        m_bHadOld = pszOld != nullptr;
        if (m_bHadOld) m_old = pszOld;
        Set(pszZone);
    }
    ~ScopedTimeZone() { Set(m_bHadOld ? m_old.c_str() : nullptr); }

private:
    static void Set(const char* pszZone) {
#ifdef _WIN32
        std::string assignment = std::string("TZ=") + (pszZone ? pszZone : "");
        _putenv(assignment.c_str());
        _tzset();
#else
        if (pszZone) {
            setenv("TZ", pszZone, 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
#endif
    }
    bool m_bHadOld = false;
    std::string m_old;
};

class DecodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        memset(&g_GpsNaviInfo, 0, sizeof g_GpsNaviInfo);
        g_GpsNaviInfo.dwSize = 80;
        g_GpsNaviInfo.nInterval = 5;
    }

    // Puts the line into the line buffer as the assembler does: the text and
    // a NUL, whatever an earlier line left behind them stays.
    void SetLine(const std::string& line) {
        ASSERT_LT(line.size(), sizeof comm.m_szLine);
        memcpy(comm.m_szLine, line.c_str(), line.size() + 1);
        comm.m_nLineLength = (int)line.size();
    }

    // Decodes one line and returns the record the host received for it;
    // every line must lead to exactly one send of g_GpsNaviInfo. viewQueries
    // counts the line's questions for the view options.
    tagGPSNAVIINFO Decode(const std::string& line) {
        SetLine(line);
        size_t nBefore = host.records.size();
        size_t nQueriesBefore = host.viewOptionSizes.size();
        comm.DecodeLine();
        viewQueries = host.viewOptionSizes.size() - nQueriesBefore;
        EXPECT_EQ(host.records.size(), nBefore + 1) << line;
        EXPECT_EQ(host.recordPointers.back(), &g_GpsNaviInfo);
        return host.records.back();
    }

    static bool SameBytes(const tagGPSNAVIINFO& a, const tagGPSNAVIINFO& b) { return memcmp(&a, &b, sizeof a) == 0; }

    RecordingHost host;
    CGPSComm comm;
    size_t viewQueries = 0;
};
