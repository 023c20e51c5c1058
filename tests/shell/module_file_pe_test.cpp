// The Windows module: the marker twice behind the section table, and the
// version resource as the system shows it.
#include <gtest/gtest.h>

#include <windows.h>

#include "ModuleFile.h"

namespace {

TEST(PeModuleFileTest, MarkerStandsTwiceDirectlyBehindTheSectionTable) {
    auto data = ReadFileBytes(BesideThisProgram("NMEATavelo.vpl"));
    ASSERT_GT(data.size(), 1024u);
    ASSERT_EQ('M', data[0]);
    auto pe = ReadAt<uint32_t>(data, 0x3C);
    ASSERT_EQ(0x00004550u, ReadAt<uint32_t>(data, pe));
    auto sections = ReadAt<uint16_t>(data, pe + 6);
    auto optionalSize = ReadAt<uint16_t>(data, pe + 20);
    size_t behindTable = pe + 24 + optionalSize + 40u * sections;
    EXPECT_EQ(0, memcmp(data.data() + behindTable, kMarker, sizeof kMarker));
    EXPECT_EQ(0, memcmp(data.data() + behindTable + sizeof kMarker, kMarker, sizeof kMarker));
    auto firstRaw = ReadAt<uint32_t>(data, pe + 24 + optionalSize + 20);
    EXPECT_LE(behindTable + 2 * sizeof kMarker, firstRaw);
}

TEST(PeModuleFileTest, ExportsArePlainStdcallNames) {
    HMODULE module = LoadLibraryExA(BesideThisProgram("NMEATavelo.vpl").c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(nullptr, module);
    for (const char* name : {"Init", "Load", "Close", "Release", "About"})
        EXPECT_NE(nullptr, reinterpret_cast<void*>(GetProcAddress(module, name))) << name;
    FreeLibrary(module);
}

class VersionResourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string path = BesideThisProgram("NMEATavelo.vpl");
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
        ASSERT_GT(size, 0u);
        m_block.resize(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, m_block.data()));
    }
    std::wstring String(const wchar_t* name) {
        std::wstring query = std::wstring(L"\\StringFileInfo\\041104b0\\") + name;
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(m_block.data(), query.c_str(), &value, &length) || !value) return L"<missing>";
        return std::wstring(static_cast<const wchar_t*>(value));
    }
    std::vector<unsigned char> m_block;
};

TEST_F(VersionResourceTest, FixedInfoNamesVersion1051PrivateBuildDll) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(m_block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_NE(nullptr, fixed);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(1, 5), fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    EXPECT_EQ(0x3Fu, fixed->dwFileFlagsMask);
    EXPECT_EQ(0x8u, fixed->dwFileFlags);
    EXPECT_EQ(0x4u, fixed->dwFileOS);
    EXPECT_EQ(0x2u, fixed->dwFileType);
}

TEST_F(VersionResourceTest, StringsInTheJapaneseUnicodeBlock) {
    EXPECT_EQ(L"1, 0, 5, 1", String(L"FileVersion"));
    EXPECT_EQ(L"1, 0, 5, 1", String(L"ProductVersion"));
    EXPECT_EQ(L"NMEATavelo", String(L"InternalName"));
    EXPECT_EQ(L"NMEATavelo.vpl", String(L"OriginalFilename"));
    EXPECT_EQ(L"6562", String(L"PrivateBuild"));
    EXPECT_EQ(L"Vestrand - NMEA Driver for Tavelo \u30D7\u30E9\u30B0\u30A4\u30F3", String(L"FileDescription"));

    struct Translation {
        WORD language, codePage;
    }* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(
        VerQueryValueW(m_block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(0x0411, translation->language);
    EXPECT_EQ(1200, translation->codePage);
}

}  // namespace
