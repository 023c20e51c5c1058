// Finding the version-requirement marker in PE and ELF files, built here
// byte by byte, and in the module this build made; cut-short and hostile
// headers are refused without reading outside the file.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "module/ModuleMarker.h"

using vpihost::FindVersionMarker;
using vpihost::ParseMarkerText;

namespace {

const char kMarker[] = "&&VPI_REQUIRE_7420&";  // with its NUL: 20 bytes

void Put(std::vector<unsigned char>& file, size_t at, uint64_t value, size_t width) {
    if (file.size() < at + width) file.resize(at + width);
    for (size_t i = 0; i < width && i < 8; ++i) file[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

void PutBytes(std::vector<unsigned char>& file, size_t at, const void* data, size_t size) {
    if (file.size() < at + size) file.resize(at + size);
    memcpy(file.data() + at, data, size);
}

// A PE header with three sections and an optional header of 0xE0 bytes: the
// section table ends at 0x80 + 24 + 0xE0 + 3 * 40 = 0x1F0.
std::vector<unsigned char> PeFile(const char* marker) {
    std::vector<unsigned char> file(0x400, 0);
    file[0] = 'M';
    file[1] = 'Z';
    Put(file, 0x3C, 0x80, 4);
    PutBytes(file, 0x80, "PE\0\0", 4);
    Put(file, 0x84, 0x14C, 2);  // i386
    Put(file, 0x86, 3, 2);
    Put(file, 0x94, 0xE0, 2);
    if (marker) {
        PutBytes(file, 0x1F0, marker, strlen(marker) + 1);
        PutBytes(file, 0x1F0 + strlen(marker) + 1, marker, strlen(marker) + 1);
    }
    return file;
}

// An ELF64 file with a section-name table and, when given, .vpi_require.
std::vector<unsigned char> ElfFile(const char* marker, uint64_t markerOffset = 0x80) {
    std::vector<unsigned char> file(0x40, 0);
    PutBytes(file, 0,
             "\x7f"
             "ELF",
             4);
    file[4] = 2;  // 64-bit
    file[5] = 1;  // little-endian
    const char names[] = "\0.shstrtab\0.vpi_require";
    PutBytes(file, 0x40, names, sizeof names);
    if (marker) {
        PutBytes(file, 0x80, marker, strlen(marker) + 1);
        PutBytes(file, 0x80 + strlen(marker) + 1, marker, strlen(marker) + 1);
    }
    const size_t table = 0x100;
    Put(file, 0x28, table, 8);
    Put(file, 0x3A, 64, 2);
    Put(file, 0x3C, marker ? 3 : 2, 2);
    Put(file, 0x3E, 1, 2);
    file.resize(table + 64 * 3, 0);   // room for three section headers
    Put(file, table + 64 + 0, 1, 4);  // .shstrtab
    Put(file, table + 64 + 24, 0x40, 8);
    Put(file, table + 64 + 32, sizeof names, 8);
    if (marker) {
        Put(file, table + 128 + 0, 11, 4);  // .vpi_require
        Put(file, table + 128 + 24, markerOffset, 8);
        Put(file, table + 128 + 32, 2 * (strlen(marker) + 1), 8);
    }
    return file;
}

int Found(const std::vector<unsigned char>& file, std::string* error = nullptr) {
    int version = -1;
    std::string reason;
    if (!FindVersionMarker(file, &version, &reason)) version = -1;
    if (error) *error = reason;
    return version;
}

TEST(MarkerText, ReadsTheNumberAndNeedsTheClosingAmpersandAndNul) {
    int version = 0;
    auto parse = [&](const char* text, size_t size) {
        return ParseMarkerText(reinterpret_cast<const unsigned char*>(text), size, &version);
    };
    EXPECT_TRUE(parse(kMarker, sizeof kMarker));
    EXPECT_EQ(7420, version);
    EXPECT_TRUE(parse("&&VPI_REQUIRE_8100&", 20));
    EXPECT_EQ(8100, version);
    EXPECT_FALSE(parse("&&VPI_REQUIRE_7420&", 19)) << "the NUL lies outside the data";
    EXPECT_FALSE(parse("&&VPI_REQUIRE_7420X", 20));
    EXPECT_FALSE(parse("&&VPI_REQUIRE_&", 16));
    EXPECT_FALSE(parse("&&VPI_REQUIRE_1234567890&", 26)) << "more digits than an int holds";
    EXPECT_FALSE(parse("&&VPI_REQUIRE_", 14));
}

TEST(PeMarker, FoundDirectlyBehindTheSectionTable) {
    EXPECT_EQ(7420, Found(PeFile(kMarker)));
    EXPECT_EQ(9000, Found(PeFile("&&VPI_REQUIRE_9000&")));
}

TEST(PeMarker, AbsentOrMisplacedMarkerIsRefused) {
    std::string error;
    EXPECT_EQ(-1, Found(PeFile(nullptr), &error));
    EXPECT_NE(std::string::npos, error.find("marker"));
    auto shifted = PeFile(nullptr);
    PutBytes(shifted, 0x200, kMarker, sizeof kMarker);  // elsewhere in the header area
    EXPECT_EQ(-1, Found(shifted));
}

TEST(PeMarker, HostileHeadersStayInsideTheFile) {
    auto farAway = PeFile(kMarker);
    Put(farAway, 0x3C, 0xFFFFFFF0u, 4);
    EXPECT_EQ(-1, Found(farAway));
    auto manySections = PeFile(kMarker);
    Put(manySections, 0x86, 0xFFFF, 2);
    EXPECT_EQ(-1, Found(manySections));
    auto cut = PeFile(kMarker);
    cut.resize(0x1F0 + 10);  // the marker cut in the middle
    EXPECT_EQ(-1, Found(cut));
    EXPECT_EQ(-1, Found({'M', 'Z'}));
}

TEST(ElfMarker, FoundInItsSection) { EXPECT_EQ(7420, Found(ElfFile(kMarker))); }

TEST(ElfMarker, AbsentSectionOrBadOffsetsAreRefused) {
    std::string error;
    EXPECT_EQ(-1, Found(ElfFile(nullptr), &error));
    EXPECT_NE(std::string::npos, error.find(".vpi_require"));
    EXPECT_EQ(-1, Found(ElfFile(kMarker, 0xFFFFFFFFFFFF0000ull)));
    auto badTable = ElfFile(kMarker);
    Put(badTable, 0x28, 0x7FFFFFFFFFFFFFFFull, 8);
    EXPECT_EQ(-1, Found(badTable));
    auto wrapping = ElfFile(kMarker);
    Put(wrapping, 0x28, 0ull - 64, 8);  // entry 1 would wrap round to offset 0
    EXPECT_EQ(-1, Found(wrapping));
    auto badIndex = ElfFile(kMarker);
    Put(badIndex, 0x3E, 9, 2);  // names table beyond the section count
    EXPECT_EQ(-1, Found(badIndex));
    auto bigEndian = ElfFile(kMarker);
    bigEndian[5] = 2;
    EXPECT_EQ(-1, Found(bigEndian));
}

TEST(ModuleFile, NeitherPeNorElfIsRefused) {
    std::string error;
    EXPECT_EQ(-1, Found({'#', '!', '/', 'b'}, &error));
    EXPECT_NE(std::string::npos, error.find("neither"));
    EXPECT_EQ(-1, Found({}));
}

}  // namespace
