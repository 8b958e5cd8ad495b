#include "platform/desktop/BundleInfo.h"

#include <cstdint>
#include <cstring>

#include <elf.h>
#include <link.h>

namespace tavlin {
namespace {

// Set by the build (see CMakeLists.txt).
BundleInfo builtInfo() { return {TAVLIN_BUNDLE_NAME, TAVLIN_SHORT_VERSION, TAVLIN_BUILD_NUMBER}; }

std::optional<BundleInfo>& replacedInfo() {
    static std::optional<BundleInfo> info;
    return info;
}

} // namespace

BundleInfo mainBundleInfo() { return replacedInfo() ? *replacedInfo() : builtInfo(); }

void setMainBundleInfo(std::optional<BundleInfo> info) { replacedInfo() = std::move(info); }

std::optional<std::string> appDisplayName() { return mainBundleInfo().name; }

namespace {

struct BuildIdSearch {
    std::uintptr_t address;
    std::optional<std::string> found;
};

std::optional<std::string> buildIdInNotes(const char* notes, std::size_t size) {
    constexpr auto aligned = [](std::size_t n) { return (n + 3) & ~std::size_t{3}; };
    std::size_t at = 0;
    while (at + sizeof(ElfW(Nhdr)) <= size) {
        ElfW(Nhdr) header{};
        std::memcpy(&header, notes + at, sizeof header);
        const std::size_t name = at + sizeof header;
        const std::size_t description = name + aligned(header.n_namesz);
        const std::size_t next = description + aligned(header.n_descsz);
        if (next > size) break;
        if (header.n_type == NT_GNU_BUILD_ID && header.n_namesz == 4 && std::memcmp(notes + name, "GNU", 4) == 0) {
            static constexpr char digits[] = "0123456789abcdef";
            std::string hex;
            for (std::size_t i = 0; i < header.n_descsz; ++i) {
                const auto byte = static_cast<unsigned char>(notes[description + i]);
                hex += digits[byte >> 4];
                hex += digits[byte & 15];
            }
            return hex;
        }
        at = next;
    }
    return std::nullopt;
}

int searchObject(dl_phdr_info* info, std::size_t, void* data) {
    auto& search = *static_cast<BuildIdSearch*>(data);
    bool holdsAddress = false;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const auto& segment = info->dlpi_phdr[i];
        const std::uintptr_t start = info->dlpi_addr + segment.p_vaddr;
        if (segment.p_type == PT_LOAD && search.address >= start && search.address - start < segment.p_memsz) holdsAddress = true;
    }
    if (!holdsAddress) return 0;
    for (int i = 0; i < info->dlpi_phnum && !search.found; ++i) {
        const auto& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_NOTE) continue;
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the loader's address of the notes.
        search.found = buildIdInNotes(reinterpret_cast<const char*>(info->dlpi_addr + segment.p_vaddr), segment.p_memsz);
    }
    return 1;
}

} // namespace

const std::optional<std::string>& codeBuildIdentity() {
    static const std::optional<std::string> identity = [] {
        BuildIdSearch search{reinterpret_cast<std::uintptr_t>(&searchObject), std::nullopt};
        dl_iterate_phdr(searchObject, &search);
        return search.found;
    }();
    return identity;
}

} // namespace tavlin
