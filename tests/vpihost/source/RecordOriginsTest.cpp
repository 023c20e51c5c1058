// Which sentence each record came from, worked out from the bytes of each
// read as the module's framing and line assembler cut them (the receive
// path's fuzzer holds it to the module itself).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/RecordOrigins.h"

using namespace vpihost;

TEST(RecordOrigins, EachRecordPairedWithTheLineTheModuleDecoded) {
    // Reads, and "?" for a record: what the sentence of each record is.
    const std::string longSentence = "$GPGSV," + std::string(300, '1') + "\r\n";
    struct Case {
        std::vector<std::string> steps;
        std::string sentences;
    } cases[] = {
        {{"?"}, "|"},
        {{"$GPGGA,1\r\n$GPRMC,2*00\r\n", "?", "?", "?"}, "$GPGGA|$GPRMC||"},
        {{"$GPG", "?", "GA,1\r\n$GP", "?", "RMC,2\r\n", "?", "?"}, "|$GPGGA|$GPRMC||"},
        {{"xx$GNGGA,1\r\nhello\r\n$GPGSVXYZ,1\r\n", "?", "?", "?"}, "$GNGGA||$GPGSV|"},
        {{std::string("$GP\0RMC,1\n", 11), "?", "SONY 1234\r\n", "?"}, "$GPRMC|SONY|"},
        {{longSentence + "$GPRMC,1\r\n", "?", "?"}, "$GPRMC||"},
        // A line whose record did not come is forgotten at the next read.
        {{"$GPGGA,1\r\n", "$GPRMC,2\r\n", "?", "?"}, "$GPRMC||"},
        {{"$GPGGA,1\r", "?", "\n", "?"}, "|$GPGGA|"},
        // Sony records are cut at "SONY": one too long runs on into the next.
        {{"sony", "SONY" + std::string(300, '1') + "\r\nSONY 2\r\nSONY 3\r\n", "?", "?", "?"}, "SONY|SONY||"},
        {{"sony", "SONY 1\r\n$GPRMC,1\r\n", "?", "?"}, "SONY|$GPRMC|"},
    };
    for (const Case& c : cases) {
        RecordOrigins origins;
        std::string got;
        for (const std::string& step : c.steps) {
            if (step == "?")
                got += origins.Next() + "|";
            else if (step == "sony")
                origins.SetSony(true);
            else
                origins.Read(step.data(), step.size());
        }
        EXPECT_EQ(c.sentences, got) << c.steps.front();
    }
}
