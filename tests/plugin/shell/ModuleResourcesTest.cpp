// The dialog template and the dialog-init data read back from the built
// module, byte for byte against the table they were written from.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "ByteWriter.h"

namespace {

constexpr WORD kTemplateId = 1000;
constexpr DWORD kChild = 0x50000000;  // WS_CHILD | WS_VISIBLE

struct Control {
    WORD id;
    WORD classAtom;  // 0x80 button, 0x82 static, 0x85 combo box
    const char16_t* caption;
    short x, y, cx, cy;
    DWORD style;
};

const Control kControls[] = {
    {1, 0x80, u"開始", 129, 133, 50, 15, kChild | 0x00010001},
    {2, 0x80, u"ｷｬﾝｾﾙ", 183, 133, 50, 15, kChild | 0x00010000},
    {1000, 0x80, u"通信設定(&C)..", 75, 50, 50, 14, kChild | 0x00010000},
    {0xFFFF, 0x80, u"通信ポート(&P)", 7, 7, 122, 61, kChild | 0x00000007},
    {8063, 0x80, u"COM1", 13, 19, 33, 11, kChild | 0x00020009},
    {8064, 0x80, u"COM2", 13, 30, 33, 11, kChild | 0x00000009},
    {8065, 0x80, u"COM3", 13, 41, 33, 11, kChild | 0x00000009},
    {8066, 0x80, u"COM4", 13, 52, 33, 11, kChild | 0x00000009},
    {0xFFFF, 0x80, u"通信機器", 136, 7, 91, 107, kChild | 0x00000007},
    {8067, 0x80, u"NMEA-0183", 147, 28, 56, 10, kChild | 0x00022409},
    {8071, 0x80, u"IPS-3000/5000\nPACY-CNV10", 148, 84, 68, 17, kChild | 0x00002409},
    {8068, 0x80, u"地図をセンタリングする(&C)", 11, 81, 94, 12, kChild | 0x00030003},
    {8069, 0x80, u"3D表示する(&D)", 11, 95, 62, 12, kChild | 0x00010003},
    {8070, 0x80, u"軌跡を記録する(&R)", 11, 111, 92, 12, kChild | 0x00010003},
    {0xFFFF, 0x82, u"表示更新間隔", 10, 138, 51, 8, kChild | 0x00020000},
    {237, 0x85, u"", 66, 135, 30, 106, kChild | 0x00210002},
    {0xFFFF, 0x82, u"対応GPS機器\n Magellan社\n GARMIN社\n Panasonicなど\n", 157, 40, 53, 35, kChild | 0x00020000},
    {0xFFFF, 0x82, u"秒", 100, 138, 16, 8, kChild | 0x00020000},
};

const char* const kIntervals[] = {"1", "2", "5", "10", "20", "30", "60", "120"};

using Bytes = ByteWriter;

std::vector<unsigned char> ExpectedTemplate() {
    Bytes b;
    b.Dword(0x80C800C0);  // WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT
    b.Dword(0);
    b.Word(static_cast<WORD>(sizeof kControls / sizeof kControls[0]));
    b.Short(0);
    b.Short(0);
    b.Short(241);
    b.Short(155);
    b.Word(0);  // no menu
    b.Word(0);  // the system dialog class
    b.Text(u"GPS(Tavelo)ナビゲーションの開始");
    b.Word(9);
    b.Text(u"ＭＳ Ｐゴシック");
    for (const Control& c : kControls) {
        b.AlignDword();
        b.Dword(c.style);
        b.Dword(0);
        b.Short(c.x);
        b.Short(c.y);
        b.Short(c.cx);
        b.Short(c.cy);
        b.Word(c.id);
        b.Word(0xFFFF);
        b.Word(c.classAtom);
        b.Text(c.caption);
        b.Word(0);  // no creation data
    }
    return b.bytes;
}

std::vector<unsigned char> ExpectedDlgInit() {
    Bytes b;
    for (const char* text : kIntervals) {
        b.Word(237);
        b.Word(0x0403);
        b.Dword(static_cast<DWORD>(strlen(text) + 1));
        b.Raw(text, strlen(text) + 1);
    }
    b.Word(0);
    return b.bytes;
}

class ModuleResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char path[1024] = {};
        DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
        ASSERT_GT(n, 0u);
        std::string dir(path, n);
        size_t slash = dir.find_last_of("/\\");
        dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
#ifdef _WIN32
        m_module = LoadLibraryExA((dir + "\\NMEATavelo.vpl").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
#else
        m_module = LoadLibraryA((dir + "/NMEATavelo.vpl").c_str());
#endif
        ASSERT_NE(nullptr, m_module) << "error " << GetLastError();
    }

    void TearDown() override {
        if (m_module) FreeLibrary(m_module);
    }

    std::vector<unsigned char> Read(LPCSTR type) {
        HRSRC resource = FindResourceA(m_module, MAKEINTRESOURCEA(kTemplateId), type);
        if (!resource) return {};
        auto data = static_cast<const unsigned char*>(LockResource(LoadResource(m_module, resource)));
        DWORD size = SizeofResource(m_module, resource);
        if (!data) return {};
        return std::vector<unsigned char>(data, data + size);
    }

    HMODULE m_module = nullptr;
};

TEST_F(ModuleResourcesTest, DialogTemplateMatchesTheTable) {
    std::vector<unsigned char> actual = Read(MAKEINTRESOURCEA(5));
    std::vector<unsigned char> expected = ExpectedTemplate();
    ASSERT_FALSE(actual.empty());
    // The resource compiler may pad the end to a DWORD.
    while (actual.size() > expected.size() && actual.back() == 0) actual.pop_back();
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(expected[i], actual[i]) << "first difference at byte " << i;
    }
    DLGTEMPLATE header;
    memcpy(&header, actual.data(), sizeof header);
    EXPECT_EQ(0x80C800C0u, header.style);
    EXPECT_EQ(18, header.cdit);
}

TEST_F(ModuleResourcesTest, DialogInitDataFillsTheIntervalList) {
    std::vector<unsigned char> actual = Read(MAKEINTRESOURCEA(240));
    std::vector<unsigned char> expected = ExpectedDlgInit();
    ASSERT_EQ(88u, expected.size());
    while (actual.size() > expected.size() && actual.back() == 0) actual.pop_back();
    EXPECT_EQ(expected, actual);
}

#ifdef _WIN32
TEST_F(ModuleResourcesTest, BothResourcesAreJapanese) {
    WORD japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
    EXPECT_NE(nullptr, FindResourceExA(m_module, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(kTemplateId), japanese));
    EXPECT_NE(nullptr, FindResourceExA(m_module, MAKEINTRESOURCEA(240), MAKEINTRESOURCEA(kTemplateId), japanese));
}
#endif

}  // namespace
