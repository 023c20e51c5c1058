// The field tokenizer: field boundaries, the trailing checksum, the end of a
// sentence, and the bound of the field buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "serial/GPSComm.h"

namespace {

// Reads every field of a sentence tail (the text after the identifier's
// comma) until the cursor stops moving.
std::vector<std::string> Fields(const char* pszTail, size_t nMax = 20) {
    std::vector<char> line(pszTail, pszTail + strlen(pszTail) + 1);
    char* pCursor = line.data();
    std::vector<std::string> fields;
    char szField[80];
    for (size_t i = 0; i < nMax; ++i) {
        char* pBefore = pCursor;
        CGPSComm::GetField(&pCursor, szField);
        fields.push_back(szField);
        if (pCursor == pBefore) break;
    }
    return fields;
}

TEST(GetField, SplitsAtCommasAndKeepsEmptyFields) {
    EXPECT_EQ(Fields("a,,bc,"), (std::vector<std::string>{"a", "", "bc", ""}));
}

TEST(GetField, RemovesOnlyATrailingChecksum) {
    EXPECT_EQ(Fields("A*3C").front(), "A");
    EXPECT_EQ(Fields("1234").front(), "1234");
    // Three characters are a bare checksum behind an empty field: kept.
    EXPECT_EQ(Fields("*3C").front(), "*3C");
    // A field that ends at a comma is never shortened.
    EXPECT_EQ(Fields("12*3C,x").front(), "12*3C");
    EXPECT_EQ(Fields("x,A*3C\r")[1], "A");
}

TEST(GetField, EndOfSentenceYieldsEmptyFieldsWithoutMovingTheCursor) {
    for (const char* pszEnd : {"last", "last\r\n", "last\n", "last\rjunk,more"}) {
        std::vector<char> line(pszEnd, pszEnd + strlen(pszEnd) + 1);
        char* pCursor = line.data();
        char szField[80];
        CGPSComm::GetField(&pCursor, szField);
        EXPECT_STREQ(szField, "last");
        char* pEnd = pCursor;
        EXPECT_EQ(pEnd, line.data() + 4) << pszEnd;
        CGPSComm::GetField(&pCursor, szField);
        EXPECT_STREQ(szField, "");
        EXPECT_EQ(CGPSComm::GetFieldDouble(&pCursor), 0.0);
        EXPECT_EQ(CGPSComm::GetFieldInt(&pCursor), 0);
        EXPECT_EQ(pCursor, pEnd);
    }
}

TEST(GetField, NumberReadersFollowTheCLibrary) {
    char szLine[] = "4807.038,08,-12.5x,,1e3,0x10,  7";
    char* pCursor = szLine;
    EXPECT_EQ(CGPSComm::GetFieldDouble(&pCursor), atof("4807.038"));
    EXPECT_EQ(CGPSComm::GetFieldInt(&pCursor), 8);
    EXPECT_EQ(CGPSComm::GetFieldDouble(&pCursor), -12.5);
    EXPECT_EQ(CGPSComm::GetFieldInt(&pCursor), 0);
    EXPECT_EQ(CGPSComm::GetFieldDouble(&pCursor), 1000.0);
    EXPECT_EQ(CGPSComm::GetFieldInt(&pCursor), 0);
    EXPECT_EQ(CGPSComm::GetFieldInt(&pCursor), 7);
}

// A field longer than a field buffer is cut to 79 characters; nothing
// behind the buffer is written and the cursor passes the whole field.
TEST(GetField, CutsLongFieldsAndPassesThem) {
    std::string text = std::string(150, 'x') + ",next";
    std::vector<char> line(text.begin(), text.end());
    line.push_back('\0');
    char* pCursor = line.data();
    char abGuarded[120];
    memset(abGuarded, 0x5A, sizeof abGuarded);
    CGPSComm::GetField(&pCursor, abGuarded);
    EXPECT_EQ(std::string(abGuarded), std::string(79, 'x'));
    for (size_t i = 80; i < sizeof abGuarded; ++i) ASSERT_EQ(abGuarded[i], 0x5A) << i;
    char szField[80];
    CGPSComm::GetField(&pCursor, szField);
    EXPECT_STREQ(szField, "next");
}

TEST(GetField, ChecksumOfALongLastFieldIsRemovedBeforeTheCut) {
    EXPECT_EQ(Fields((std::string(78, 'y') + "*3C").c_str()).front(), std::string(78, 'y'));
    EXPECT_EQ(Fields((std::string(90, 'y') + "*3C").c_str()).front(), std::string(79, 'y'));
}

}  // namespace
