// The Linux module as a host meets it on disk: the version-requirement
// marker twice in its ".vpi_require" section, exactly the five entry points
// in its dynamic symbols, and (vpihost too) a run path of its own folder.
#include <elf.h>
#include <gtest/gtest.h>

#include <set>

#include "ModuleFile.h"

namespace {

class ElfFile {
public:
    explicit ElfFile(const char* name) : m_data(ReadFileBytes(BesideThisProgram(name))) {
        m_header = ReadAt<Elf64_Ehdr>(m_data, 0);
        m_ok = m_data.size() > sizeof m_header && memcmp(m_header.e_ident, ELFMAG, SELFMAG) == 0 &&
               m_header.e_ident[EI_CLASS] == ELFCLASS64;
    }
    bool ok() const { return m_ok; }
    const std::vector<unsigned char>& data() const { return m_data; }

    std::vector<Elf64_Shdr> Sections() const {
        std::vector<Elf64_Shdr> sections;
        for (int i = 0; i < m_header.e_shnum; ++i)
            sections.push_back(ReadAt<Elf64_Shdr>(m_data, m_header.e_shoff + i * sizeof(Elf64_Shdr)));
        return sections;
    }
    std::string String(const Elf64_Shdr& table, size_t offset) const {
        std::string text;
        for (size_t i = table.sh_offset + offset; i < m_data.size() && i < table.sh_offset + table.sh_size && m_data[i];
             ++i)
            text += static_cast<char>(m_data[i]);
        return text;
    }
    std::string SectionName(const Elf64_Shdr& section) const {
        return String(Sections().at(m_header.e_shstrndx), section.sh_name);
    }

private:
    std::vector<unsigned char> m_data;
    Elf64_Ehdr m_header{};
    bool m_ok = false;
};

TEST(ElfModuleFileTest, MarkerStandsTwiceInItsOwnSection) {
    ElfFile file("NMEATavelo.vpl");
    ASSERT_TRUE(file.ok());
    bool found = false;
    for (const Elf64_Shdr& section : file.Sections()) {
        if (file.SectionName(section) != ".vpi_require") continue;
        found = true;
        ASSERT_EQ(2 * sizeof kMarker, section.sh_size);
        EXPECT_EQ(0, memcmp(file.data().data() + section.sh_offset, kMarker, sizeof kMarker));
        EXPECT_EQ(0, memcmp(file.data().data() + section.sh_offset + sizeof kMarker, kMarker, sizeof kMarker));
    }
    EXPECT_TRUE(found);
}

TEST(ElfModuleFileTest, ExportsExactlyTheFiveEntryPoints) {
    ElfFile file("NMEATavelo.vpl");
    ASSERT_TRUE(file.ok());
    auto sections = file.Sections();
    std::multiset<std::string> exported;
    for (const Elf64_Shdr& section : sections) {
        if (section.sh_type != SHT_DYNSYM || section.sh_link >= sections.size()) continue;
        for (size_t i = 1; i < section.sh_size / sizeof(Elf64_Sym); ++i) {
            auto symbol = ReadAt<Elf64_Sym>(file.data(), section.sh_offset + i * sizeof(Elf64_Sym));
            int binding = ELF64_ST_BIND(symbol.st_info);
            if (symbol.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK)) continue;
            exported.insert(file.String(sections[section.sh_link], symbol.st_name));
        }
    }
    EXPECT_EQ((std::multiset<std::string>{"About", "Close", "Init", "Load", "Release"}), exported);
}

// Nothing of the build machine's folders: the files are moved together.
TEST(ElfModuleFileTest, RunPathIsTheFilesOwnFolderAlone) {
    for (const char* name : {"NMEATavelo.vpl", "vpihost"}) {
        ElfFile file(name);
        ASSERT_TRUE(file.ok()) << name;
        auto sections = file.Sections();
        std::vector<std::string> paths;
        for (const Elf64_Shdr& section : sections) {
            if (section.sh_type != SHT_DYNAMIC || section.sh_link >= sections.size()) continue;
            for (size_t i = 0; i < section.sh_size / sizeof(Elf64_Dyn); ++i) {
                auto entry = ReadAt<Elf64_Dyn>(file.data(), section.sh_offset + i * sizeof(Elf64_Dyn));
                if (entry.d_tag == DT_RUNPATH || entry.d_tag == DT_RPATH)
                    paths.push_back(file.String(sections[section.sh_link], entry.d_un.d_val));
            }
        }
        EXPECT_EQ((std::vector<std::string>{"$ORIGIN"}), paths) << name;
    }
}

}  // namespace
