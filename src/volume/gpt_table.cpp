#include "volume/gpt_table.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "support/binary_data.h"
#include "support/utf8.h"
#include "volume/filesystem_signature.h"

namespace skelvar {

namespace {

constexpr std::uint32_t probe_size = 32768;
constexpr std::uint32_t gpt_boot_bytes = 2048;
constexpr std::uint16_t gpt_record_type = 0xEE;

constexpr std::array<std::pair<std::size_t, std::uint32_t>, 6> signature_positions = {{
    {510, 512}, {1022, 1024}, {2046, 2048}, {4094, 4096}, {8190, 8192}, {16382, 16384},
}};

struct gpt_header {
    std::uint32_t sector_size = 0;
    std::uint64_t table_start = 0;  // bytes
    std::uint32_t entry_count = 0;
    std::uint32_t entry_size = 0;
};

// The header at LBA 1 for sector size s. The signature text is required only
// when `strict`; a header found by the protective MBR's own sector size
// needs nothing more than to name itself as LBA 1.
bool read_header(disk_bytes& disk, std::uint32_t s, bool strict, gpt_header& h) {
    std::vector<std::uint8_t> bytes;
    if (disk.read_zeroed(s, probe_size, bytes) == 0) return false;
    const kavo::binary_data d(bytes);
    if (d.u64(24) != 1) return false;
    if (strict && !d.starts_with("EFI PART", 8)) return false;
    h.sector_size = s;
    h.table_start = partition_info::saturating_product(d.u64(72), s);
    h.entry_count = d.u32(80);
    h.entry_size = d.u32(84);
    return true;
}

bool find_header(disk_bytes& disk, gpt_header& h) {
    std::vector<std::uint8_t> first;
    if (disk.read_zeroed(0, probe_size, first) == 0) return false;
    const kavo::binary_data d(first);
    std::uint32_t s = 0;
    for (const auto& [offset, size] : signature_positions) {
        if (d.u16(offset) == 0xAA55) {
            s = size;
            break;
        }
    }
    if (s == 0) return false;
    if (read_header(disk, s, false, h)) return true;
    // Disks with 4096-byte logical sectors keep the protective MBR's
    // signature at 510 too; their header sits at byte 4096.
    for (std::uint32_t other : {disk.native_sector_size(), 4096u}) {
        if (other != s && other > 512 && read_header(disk, other, true, h)) return true;
    }
    return false;
}

std::string entry_name(const kavo::binary_data& entry) {
    std::u16string name = entry.utf16(56, 36);
    if (const auto nul = name.find(u'\0'); nul != std::u16string::npos) name.resize(nul);
    return uni::to_utf8(name);
}

}  // namespace

bool read_gpt(disk_bytes& disk, partition_list& records) {
    gpt_header h;
    if (!find_header(disk, h)) return false;
    if (h.entry_size == 0 || h.entry_size > max_gpt_entry_size) return false;
    const std::uint32_t count = std::min(h.entry_count, max_gpt_entries);

    partition_list found;
    std::vector<std::uint8_t> entry_bytes;
    std::vector<std::uint8_t> boot;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t step = partition_info::saturating_product(i, h.entry_size);
        if (step > UINT64_MAX - h.table_start) return false;
        if (disk.read_zeroed(h.table_start + step, h.entry_size, entry_bytes) == 0) return false;
        const kavo::binary_data entry(entry_bytes);

        partition_info p = partition_info::from_table(0, 0, 0, h.sector_size);
        bool used = false;
        for (std::size_t k = 0; k < 16; ++k) {
            p.type_guid[k] = entry.u8(k);
            p.unique_guid[k] = entry.u8(16 + k);
            used = used || p.type_guid[k] != 0;
        }
        if (!used) continue;
        p.from_gpt = true;
        const std::uint64_t first_lba = entry.u64(32);
        const std::uint64_t last_lba = entry.u64(40);
        if (first_lba != 0) p.start_sector = first_lba;
        if (last_lba != 0) p.sector_count = last_lba - p.start_sector + 1;
        p.gpt_attributes = entry.u64(48);
        p.partition_name = entry_name(entry);

        const std::uint64_t length = partition_info::saturating_product(p.sector_count, h.sector_size);
        const std::uint32_t want = length <= gpt_boot_bytes ? h.sector_size : gpt_boot_bytes;
        const std::uint32_t got = disk.read_zeroed(p.byte_start(), want, boot);
        if (got >= 512) {
            p.type = gpt_record_type;
            recognise_file_system(p, std::span<const std::uint8_t>(boot.data(), got));
        }
        found.push_back(std::move(p));
    }
    if (found.empty()) return false;
    for (auto& p : found) records.push_back(std::move(p));
    return true;
}

}  // namespace skelvar
