#include "select/signature_tests.h"

#include <algorithm>
#include <cstring>

#include "ntfs/mft_entry_info.h"
#include "support/binary_data.h"

namespace skelvar {

namespace {

bool starts_with(std::span<const std::uint8_t> h, const void* bytes, std::size_t n) {
    return h.size() >= n && std::memcmp(h.data(), bytes, n) == 0;
}

// An MZ image whose PE header fits the sample; the optional-header magic is returned in `magic`.
bool pe_header(std::span<const std::uint8_t> h, std::uint16_t& magic) {
    if (!is_mz(h)) return false;
    kavo::binary_data d(h);
    const std::uint64_t e = d.u32(60);
    if (e + 24 + 224 > h.size()) return false;
    if (!starts_with(h.subspan(static_cast<std::size_t>(e)), "PE\0\0", 4)) return false;
    magic = d.u16(static_cast<std::size_t>(e + 24));
    return true;
}

constexpr std::uint8_t evt_magic[] = {0x30, 0x00, 0x00, 0x00, 0x4C, 0x66, 0x4C, 0x65};
constexpr std::uint8_t lnk_magic[] = {0x4C, 0x00, 0x00, 0x00, 0x01, 0x14, 0x02, 0x00,
                                      0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00};

constexpr signature_info table[] = {
    {"mz", 30, 0x40, "MZ", "All executable/library files", " [exe/lib]", is_mz},
    {"16bit_mz", 31, 0x40, "MZ", "", "", is_16bit_mz},
    {"32bit_pe", 32, 0x200, "MZ", "", "", is_pe32},
    {"64bit_pe", 33, 0x200, "MZ", "", "", is_pe64},
    {"pe", 34, 0x200, "MZ", "", "", is_pe},
    {"hive", 35, 0x10, "RegistryHive", "All Registry Hives", " [regf]", is_hive},
    {"evt", 36, 0x10, "EventLog", "All EventLog Files", " [ElfFile or 30 00 00 00 4c ..]", is_event_log},
    {"sqlite", 37, 0x10, "SQLite", "All SQLite3 Files", " [SQLite]", is_sqlite},
    {"lnk", 38, 0x10, "lnk", "All LNK files", " [4c 00 00 00 01 14 02 ..]", is_lnk},
};

}  // namespace

std::span<const signature_info> signature_table() { return table; }

const signature_info* find_signature_info(std::uint32_t type) {
    for (const signature_info& s : table)
        if (s.type == type) return &s;
    return nullptr;
}

bool is_mz(std::span<const std::uint8_t> h) { return h.size() >= 64 && h[0] == 'M' && h[1] == 'Z'; }

bool is_16bit_mz(std::span<const std::uint8_t> h) {
    if (!is_mz(h)) return false;
    kavo::binary_data d(h);
    const std::uint16_t relocation_table = d.u16(24);
    return d.u16(6) != 0 && relocation_table >= 1 && relocation_table <= 63;
}

bool is_pe32(std::span<const std::uint8_t> h) {
    std::uint16_t magic = 0;
    return pe_header(h, magic) && magic == 0x10B;
}

bool is_pe64(std::span<const std::uint8_t> h) {
    std::uint16_t magic = 0;
    return pe_header(h, magic) && magic == 0x20B;
}

bool is_pe(std::span<const std::uint8_t> h) {
    std::uint16_t magic = 0;
    return pe_header(h, magic);
}

bool is_hive(std::span<const std::uint8_t> h) { return h.size() >= 16 && starts_with(h, "regf", 4); }

bool is_event_log(std::span<const std::uint8_t> h) {
    return h.size() >= 16 && (starts_with(h, evt_magic, sizeof evt_magic) || starts_with(h, "ElfFile", 7));
}

bool is_sqlite(std::span<const std::uint8_t> h) { return h.size() >= 16 && starts_with(h, "SQLite", 6); }

bool is_lnk(std::span<const std::uint8_t> h) { return h.size() >= 16 && starts_with(h, lnk_magic, sizeof lnk_magic); }

const catalogue_row* signature_stream(const mft_entry_info& entry) {
    const catalogue_row* last = nullptr;
    for (const auto& [key, row] : entry.catalogue)
        if (row.is_data) last = &row;
    return last;
}

}  // namespace skelvar
