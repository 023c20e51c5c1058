// The Windows module: the marker twice behind the section table, exactly the
// five plain export names, and the version resource as the system shows it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

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

// The names in the file's export directory, read without the loader.
std::vector<std::string> ExportedNames(const std::vector<unsigned char>& data) {
    std::vector<std::string> names;
    auto pe = ReadAt<uint32_t>(data, 0x3C);
    size_t optional = pe + 24;
    auto optionalSize = ReadAt<uint16_t>(data, pe + 20);
    size_t directories = optional + (ReadAt<uint16_t>(data, optional) == 0x20B ? 112 : 96);
    auto exportRva = ReadAt<uint32_t>(data, directories);
    size_t table = optional + optionalSize;
    auto sections = ReadAt<uint16_t>(data, pe + 6);
    auto toOffset = [&](uint32_t rva) -> size_t {
        for (size_t i = 0; i < sections; ++i) {
            size_t header = table + 40 * i;
            auto virtualSize = ReadAt<uint32_t>(data, header + 8), address = ReadAt<uint32_t>(data, header + 12);
            if (rva >= address && rva < address + virtualSize)
                return rva - address + ReadAt<uint32_t>(data, header + 20);
        }
        return data.size();
    };
    if (!exportRva) return names;
    size_t directory = toOffset(exportRva);
    auto count = ReadAt<uint32_t>(data, directory + 24);
    size_t nameTable = toOffset(ReadAt<uint32_t>(data, directory + 32));
    for (uint32_t i = 0; i < count && i < 64; ++i) {
        std::string name;
        for (size_t at = toOffset(ReadAt<uint32_t>(data, nameTable + 4 * i)); at < data.size() && data[at]; ++at)
            name += static_cast<char>(data[at]);
        names.push_back(name);
    }
    return names;
}

TEST(PeModuleFileTest, ExportsExactlyTheFivePlainNames) {
    auto names = ExportedNames(ReadFileBytes(BesideThisProgram("NMEATavelo.vpl")));
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"About", "Close", "Init", "Load", "Release"}), names);
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
