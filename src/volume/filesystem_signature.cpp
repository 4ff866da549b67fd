#include "volume/filesystem_signature.h"

#include "support/binary_data.h"

namespace skelvar {

namespace {

bool text_at(const kavo::binary_data& d, std::size_t offset, const char* text, std::size_t length) {
    return d.sub(offset, length).starts_with(text, length);
}

void take_boot_geometry(partition_info& r, const kavo::binary_data& d) {
    r.sectors_per_cluster = d.u8(13);
    r.sector_size = d.u16(11);
}

// A count learned from the boot sector is in the boot sector's own units.
void take_boot_count(partition_info& r, std::uint64_t count, bool replace) {
    if (r.sector_count != 0 && !replace) return;
    r.sector_count = count;
    if (r.sector_size != 0) r.count_sector_size = r.sector_size;
}

void mark(partition_info& r, std::uint16_t type, const char* name) {
    r.type = type;
    r.file_system_name = name;
    r.recognised = true;
}

}  // namespace

void recognise_file_system(partition_info& r, std::span<const std::uint8_t> bytes) {
    const kavo::binary_data d(bytes);
    if (d.size() < 512) return;
    if (d.u8(13) != 0) r.sectors_per_cluster = d.u8(13);

    if (text_at(d, 3, "EXFAT   ", 8)) {
        mark(r, 7, "exfat");
        // Shifts beyond 31 are damage; keep what the table said.
        if (d.u8(108) < 32) r.sector_size = 1u << d.u8(108);
        if (d.u8(109) < 32) r.sectors_per_cluster = 1u << d.u8(109);
        r.volume_serial = d.u32(100);
        take_boot_count(r, d.u64(0x48), false);
    } else if (text_at(d, 3, "NTFS    ", 8) || text_at(d, 3, "-FVE-FS-", 8)) {
        mark(r, 7, d.u8(3) == 'N' ? "ntfs" : "bitlocker container");
        take_boot_geometry(r, d);
        r.volume_serial = d.u64(72);
        take_boot_count(r, d.u64(0x28), false);
    } else if (text_at(d, 82, "FAT32", 5)) {
        mark(r, 0x0C, "fat32");
        take_boot_geometry(r, d);
        r.volume_serial = d.u32(67);
        take_boot_count(r, d.u32(32), true);
    } else if (text_at(d, 54, "FAT16", 5)) {
        mark(r, 4, "fat16");
        take_boot_geometry(r, d);
        r.volume_serial = d.u32(39);
        take_boot_count(r, d.u32(32), false);
    } else if (d.size() >= 2048 && d.u16(1080) == 0xEF53) {
        mark(r, 0x83, "ext2/3");
        r.sector_size = 512;
        const std::uint32_t log_block = d.u32(1048);
        const std::uint32_t block = log_block <= 16 ? (1024u << log_block) : 1024u;
        r.sectors_per_cluster = block / 512;
        r.volume_serial = d.u32(1128);
    } else if (d.size() >= 2048 && d.u64(3) == 0 && d.u8(1024) == 0x48) {
        if (d.u16(1024) == 0x2B48) mark(r, 0xAF, "hfs+");
        else if (d.u16(1024) == 0x5848) mark(r, 0xAF, "hfsx");
    }
}

}  // namespace skelvar
