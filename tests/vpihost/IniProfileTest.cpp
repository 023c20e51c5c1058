// The INI profile: one section per plug-in id, values survive a reload,
// foreign lines are kept, bad values read as the default.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "IniProfile.h"

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
        "; written by hand\n[other]\nkey = 4\n\n[plugin 1]\nGPSNavi CommPort=0\n# note\nUnknown=x\nGPSNavi 3DView=0\n",
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

TEST_F(IniProfileTest, UnwritableProfileReportsAndKeepsTheValueInMemory) {
    WriteFile("");  // a file where the profile's folder would have to be
    IniProfile profile;
    std::string error;
    ASSERT_TRUE(profile.Load(m_path + "/profile.ini", &error));
    EXPECT_FALSE(profile.SetInt(1, "GPSNavi CommPort", 2, &error));
    EXPECT_NE(std::string::npos, error.find("cannot write"));
    EXPECT_EQ(2, profile.GetInt(1, "GPSNavi CommPort", 1));
}

}  // namespace
