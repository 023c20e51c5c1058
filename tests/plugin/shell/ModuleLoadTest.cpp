// Loads the built module as a host does and drives it through its exports.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "MessageBoxes.h"
#include "RecordingHost.h"

namespace {

struct PluginInfoBytes {
    unsigned char bytes[280];
};

typedef int(__stdcall* InitFn)(PluginInfoBytes*, unsigned int);
typedef int(__stdcall* IntFn)(void);
typedef void(__stdcall* VoidFn)(void);

std::string ModulePath() {
    char path[4096] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path);
    size_t slash = dir.find_last_of("/\\");
    return dir.substr(0, slash + 1) + "NMEATavelo.vpl";
}

class ModuleLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_module = LoadLibraryA(ModulePath().c_str());
        ASSERT_NE(nullptr, m_module) << ModulePath() << " error " << GetLastError();
    }
    void TearDown() override {
        if (m_module) {
            EXPECT_TRUE(FreeLibrary(m_module));
        }
    }
    template <class F>
    F Export(const char* name) {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
    }
    HMODULE m_module = nullptr;
};

// No form that a compiler's __stdcall or C decoration gives a name
// (_Init@8, Init@8, _Init) may stand beside or instead of the plain one.
TEST_F(ModuleLoadTest, ExportsTheFiveEntryPointsByPlainName) {
    const struct {
        const char* name;
        int argumentBytes;
    } entries[] = {{"Init", 8}, {"Load", 0}, {"Close", 0}, {"Release", 0}, {"About", 0}};
    for (const auto& entry : entries) {
        EXPECT_NE(nullptr, Export<void*>(entry.name)) << entry.name;
        const std::string plain = entry.name, stdcall = plain + "@" + std::to_string(entry.argumentBytes);
        for (const std::string& decorated : {"_" + stdcall, stdcall, "_" + plain})
            EXPECT_EQ(nullptr, Export<void*>(decorated.c_str())) << decorated;
    }
}

TEST_F(ModuleLoadTest, RunsALifeCycleThroughThePluginInterfaceLibrary) {
    RecordingHost host;
    MessageBoxes boxes;
    auto init = Export<InitFn>("Init");
    auto load = Export<IntFn>("Load");
    auto about = Export<IntFn>("About");
    auto close = Export<IntFn>("Close");
    auto release = Export<VoidFn>("Release");
    ASSERT_TRUE(init && load && about && close && release);

    PluginInfoBytes info;
    memset(&info, 0, sizeof info);
    ASSERT_EQ(1, init(&info, 5));
    unsigned int size;
    memcpy(&size, info.bytes, 4);
    EXPECT_EQ(280u, size);
    // "NMEA Driver for Tavelo プラグイン" in code page 932, and its NUL.
    const char name[] = "NMEA Driver for Tavelo \x83v\x83\x89\x83O\x83\x43\x83\x93";
    EXPECT_EQ(0, memcmp(info.bytes + 4, name, sizeof name));
    EXPECT_EQ(0, memcmp(info.bytes + 84, "1.0.5", 6));

    EXPECT_EQ(1, load());
    ASSERT_EQ(1u, host.menus.size());
    EXPECT_EQ("NMEA for Tavelo", host.menus[0].text);
    EXPECT_EQ(5u, host.menus[0].nPluginId);
    ASSERT_EQ(1u, host.hooks.size());

    EXPECT_EQ(IDOK, about());
    EXPECT_EQ(1u, boxes.Count());

    // The stop hook and Close without a link change nothing.
    EXPECT_EQ(0, host.hooks[0].entry.pfnCallback(506, 0, 0));
    EXPECT_EQ(1, close());
    release();
    EXPECT_EQ(0, host.releases);
}

TEST_F(ModuleLoadTest, RefusedHostGetsTheMessageAndNoRegistration) {
    RecordingHost host;
    host.version = 7000;
    MessageBoxes boxes;
    auto init = Export<InitFn>("Init");
    ASSERT_NE(nullptr, init);
    PluginInfoBytes info;
    memset(&info, 0x5A, sizeof info);
    EXPECT_EQ(0, init(&info, 9));
    EXPECT_EQ(0x5A, info.bytes[0]);
    EXPECT_EQ(1u, boxes.Count());
}

}  // namespace
