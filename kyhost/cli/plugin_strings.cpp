#include "plugin_strings.hpp"

#include <elf.h>

#include <cstring>
#include <string_view>

#include "data_files.hpp"
#include "number_text.hpp"
#include "usage_error.hpp"

namespace ky {

namespace {

constexpr std::string_view sectionName = ".kystrings";

[[noreturn]] void unusable(const std::filesystem::path& library, const std::string& why)
{
    throw UsageError("cannot read the string table of '" + library.string() + "': " + why);
}

// A struct read from the file at offset, after a bounds check.
template <typename T>
T readAt(const std::string& file, std::uint64_t offset, const std::filesystem::path& library)
{
    if (offset > file.size() || file.size() - offset < sizeof(T)) unusable(library, "the file is truncated");
    T value;
    std::memcpy(&value, file.data() + offset, sizeof(T));
    return value;
}

std::string_view sectionBytes(const std::string& file, const Elf64_Shdr& section, const std::filesystem::path& library)
{
    if (section.sh_type == SHT_NOBITS || section.sh_offset > file.size() ||
        file.size() - section.sh_offset < section.sh_size)
        unusable(library, "a section lies outside the file");
    return std::string_view(file).substr(section.sh_offset, section.sh_size);
}

}  // namespace

std::vector<std::pair<int, std::string>> readPluginStrings(const std::filesystem::path& library)
{
    const std::string file = readWholeFile(library.string());
    const auto header = readAt<Elf64_Ehdr>(file, 0, library);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) unusable(library, "not an ELF file");
    if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB)
        unusable(library, "not a 64-bit little-endian ELF file");
    if (header.e_shentsize != sizeof(Elf64_Shdr) || header.e_shstrndx >= header.e_shnum)
        unusable(library, "malformed section table");

    const auto sectionAt = [&](std::uint64_t index) {
        return readAt<Elf64_Shdr>(file, header.e_shoff + index * sizeof(Elf64_Shdr), library);
    };
    const std::string_view names = sectionBytes(file, sectionAt(header.e_shstrndx), library);
    for (std::uint64_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr section = sectionAt(i);
        if (section.sh_name >= names.size()) continue;
        const std::string_view name = names.substr(section.sh_name, names.find('\0', section.sh_name) - section.sh_name);
        if (name != sectionName) continue;

        std::string_view table = sectionBytes(file, section, library);
        std::vector<std::pair<int, std::string>> entries;
        while (!table.empty()) {
            const std::size_t end = table.find('\n');
            const std::string_view line = table.substr(0, end);
            table.remove_prefix(end == std::string_view::npos ? table.size() : end + 1);
            if (line.empty() || line.front() == '\0') continue;  // section padding
            const std::size_t blank = line.find(' ');
            const auto id = parseCount(line.substr(0, blank), 65535);
            if (!id || blank == std::string_view::npos) unusable(library, "malformed entry");
            entries.emplace_back(static_cast<int>(*id), std::string(line.substr(blank + 1)));
        }
        return entries;
    }
    unusable(library, "it carries no string table");
}

}  // namespace ky
