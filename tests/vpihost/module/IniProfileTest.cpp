// The INI profile: one section per plug-in id, values survive a reload,
// foreign lines are kept, bad values read as the default.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "module/IniProfile.h"

using vpihost::IniProfile;

namespace {

class IniProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::string(testing::TempDir()) + "vpihost-ini-" + info->name() + ".ini";
        std::remove(m_path.c_str());
    }
    void TearDown() override { std::remove(m_path.c_str()); }

    void WriteFile(const std::string& text) { std::ofstream(m_path, std::ios::binary) << text; }
    std::string ReadFile() {
        std::ifstream in(m_path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string m_path;
};

TEST_F(IniProfileTest, MissingFileIsAnEmptyProfileAndWritesCreateIt) {
    IniProfile profile;
    std::string error;
    ASSERT_TRUE(profile.Load(m_path, &error)) << error;
    EXPECT_EQ(5, profile.GetInt(1, "GPSNavi Sampling", 5));
    EXPECT_FALSE(profile.Has(1, "GPSNavi Sampling"));
    ASSERT_TRUE(profile.SetInt(1, "GPSNavi Sampling", 10, &error)) << error;
    ASSERT_TRUE(profile.SetInt(1, "GPSNavi Protcol", -1, &error)) << error;
    EXPECT_EQ("[plugin 1]\nGPSNavi Sampling=10\nGPSNavi Protcol=-1\n", ReadFile());

    IniProfile again;
    ASSERT_TRUE(again.Load(m_path, &error));
    EXPECT_EQ(10, again.GetInt(1, "GPSNavi Sampling", 5));
    EXPECT_EQ(-1, again.GetInt(1, "GPSNavi Protcol", 0));
}

TEST_F(IniProfileTest, SectionsKeepPluginIdsApart) {
    IniProfile profile;
    std::string error;
    ASSERT_TRUE(profile.Load(m_path, &error));
    ASSERT_TRUE(profile.SetInt(1, "GPSNavi CommPort", 2, &error));
    ASSERT_TRUE(profile.SetInt(7, "GPSNavi CommPort", 3, &error));
    ASSERT_TRUE(profile.SetInt(1, "GPSNavi Record", 0, &error));
    EXPECT_EQ(2, profile.GetInt(1, "GPSNavi CommPort", 1));
    EXPECT_EQ(3, profile.GetInt(7, "GPSNavi CommPort", 1));
    EXPECT_EQ(1, profile.GetInt(9, "GPSNavi CommPort", 1));
    // The new key joins its own section, not the last one.
    EXPECT_EQ("[plugin 1]\nGPSNavi CommPort=2\nGPSNavi Record=0\n\n[plugin 7]\nGPSNavi CommPort=3\n", ReadFile());
}

TEST_F(IniProfileTest, ForeignLinesSurviveAndChangedValuesAreRewrittenInPlace) {
    WriteFile("; written by hand\r\n[other]\nkey = 4\n\n[plugin 1]\n  GPSNavi CommPort = 3 \n# note\nUnknown=x\n");
    IniProfile profile;
    std::string error;
    ASSERT_TRUE(profile.Load(m_path, &error));
    EXPECT_EQ(3, profile.GetInt(1, "GPSNavi CommPort", 1));
    ASSERT_TRUE(profile.SetInt(1, "GPSNavi CommPort", 0, &error));
    ASSERT_TRUE(profile.SetInt(1, "GPSNavi 3DView", 0, &error));
    EXPECT_EQ(
        "; written by hand\r\n[other]\nkey = 4\n\n[plugin 1]\nGPSNavi CommPort=0\n# note\nUnknown=x\nGPSNavi "
        "3DView=0\n",
        ReadFile());
}

TEST_F(IniProfileTest, ValuesThatAreNotNumbersReadAsTheDefault) {
    WriteFile(
        "[plugin 1]\nGPSNavi Sampling=fast\nGPSNavi Record=99999999999\nGPSNavi 3DView=\nGPSNavi FixSpeed=5\n"
        "GPSNavi FixSpeed=7\n");
    IniProfile profile;
    std::string error;
    ASSERT_TRUE(profile.Load(m_path, &error));
    EXPECT_EQ(5, profile.GetInt(1, "GPSNavi Sampling", 5));
    EXPECT_EQ(1, profile.GetInt(1, "GPSNavi Record", 1));
    EXPECT_EQ(1, profile.GetInt(1, "GPSNavi 3DView", 1));
    EXPECT_EQ(7, profile.GetInt(1, "GPSNavi FixSpeed", -1)) << "the last duplicate wins";
}

TEST_F(IniProfileTest, OversizedFileIsRefused) {
    WriteFile(std::string(IniProfile::kMaxFileSize + 1, ';'));
    IniProfile profile;
    std::string error;
    EXPECT_FALSE(profile.Load(m_path, &error));
    EXPECT_NE(std::string::npos, error.find("larger"));
}

TEST_F(IniProfileTest, ManyShortLinesAreRefusedLikeAnOversizedFile) {
    WriteFile(std::string(IniProfile::kMaxFileSize, '\n'));
    IniProfile profile;
    std::string error;
    EXPECT_FALSE(profile.Load(m_path, &error));
    EXPECT_EQ("the profile " + m_path + " has more than 10000 lines", error);
}

TEST_F(IniProfileTest, UnwritableProfileSaysWhyLeavesNothingBehindAndKeepsTheValueInMemory) {
    namespace fs = std::filesystem;
    const std::string folder = m_path + ".d";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const struct {
        std::string path, reason;
    } cases[] = {
        {folder + "/file/profile.ini", "Not a directory"},  // a file where the folder should be
        {folder + "/profile.ini", "Is a directory"},        // a folder where the file should be
    };
    IniProfile profiles[2];
    std::string error;
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(profiles[i].Load(cases[i].path, &error)) << error;
    std::ofstream(folder + "/file", std::ios::binary) << "";
    fs::create_directories(folder + "/profile.ini");
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(profiles[i].SetInt(1, "GPSNavi CommPort", 2, &error));
#ifndef _WIN32
        EXPECT_EQ("cannot write the profile " + cases[i].path + ": " + cases[i].reason, error);
#endif
        EXPECT_EQ(2, profiles[i].GetInt(1, "GPSNavi CommPort", 1));
    }
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(folder)) entries += entry.path().filename() != "" ? 1 : 0;
    EXPECT_EQ(2u, entries) << "a temporary file was left behind";
    fs::remove_all(folder);
}

TEST_F(IniProfileTest, TwoWritersOfOneProfileNeverShareATemporaryFile) {
    int failures[2] = {0, 0};
    auto writer = [&](int id) {
        IniProfile profile;
        std::string error;
        if (!profile.Load(m_path, &error)) return;
        for (int i = 0; i < 300; ++i) failures[id] += !profile.SetInt(1, "GPSNavi Sampling", i, &error);
    };
    std::thread a(writer, 0), b(writer, 1);
    a.join();
    b.join();
    EXPECT_EQ(0, failures[0] + failures[1]);
}

#ifndef _WIN32
TEST_F(IniProfileTest, ALinkIsWrittenThroughToItsTargetWithItsModeAndLineEnds) {
    const std::string target = m_path + ".target";
    std::ofstream(target, std::ios::binary) << "; mine\r\n[plugin 1]\r\nGPSNavi Sampling=5\r\n";
    ASSERT_EQ(0, chmod(target.c_str(), 0600));
    ASSERT_EQ(0, symlink(target.c_str(), m_path.c_str()));
    IniProfile profile;
    std::string error;
    ASSERT_TRUE(profile.Load(m_path, &error));
    ASSERT_TRUE(profile.SetInt(1, "GPSNavi Sampling", 9, &error)) << error;
    ASSERT_TRUE(profile.SetInt(1, "GPSNavi Record", 0, &error)) << error;
    struct stat st;
    ASSERT_EQ(0, lstat(m_path.c_str(), &st));
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
    ASSERT_EQ(0, stat(target.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 07777);
    EXPECT_EQ("; mine\r\n[plugin 1]\r\nGPSNavi Sampling=9\r\nGPSNavi Record=0\r\n", ReadFile());
    std::remove(target.c_str());
}
#endif

}  // namespace
