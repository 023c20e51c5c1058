// The Linux module carries the version-requirement marker twice in its
// ".vpi_require" section.
#include <elf.h>
#include <gtest/gtest.h>

#include "ModuleFile.h"

namespace {

TEST(ElfModuleFileTest, MarkerStandsTwiceInItsOwnSection) {
    auto data = ReadFileBytes(BesideThisProgram("NMEATavelo.vpl"));
    ASSERT_GT(data.size(), sizeof(Elf64_Ehdr));
    auto header = ReadAt<Elf64_Ehdr>(data, 0);
    ASSERT_EQ(0, memcmp(header.e_ident, ELFMAG, SELFMAG));
    auto names = ReadAt<Elf64_Shdr>(data, header.e_shoff + header.e_shstrndx * sizeof(Elf64_Shdr));
    bool found = false;
    for (int i = 0; i < header.e_shnum; ++i) {
        auto section = ReadAt<Elf64_Shdr>(data, header.e_shoff + i * sizeof(Elf64_Shdr));
        const char* name = reinterpret_cast<const char*>(data.data() + names.sh_offset + section.sh_name);
        if (std::string(name) != ".vpi_require") continue;
        found = true;
        ASSERT_EQ(2 * sizeof kMarker, section.sh_size);
        EXPECT_EQ(0, memcmp(data.data() + section.sh_offset, kMarker, sizeof kMarker));
        EXPECT_EQ(0, memcmp(data.data() + section.sh_offset + sizeof kMarker, kMarker, sizeof kMarker));
    }
    EXPECT_TRUE(found);
}

}  // namespace
