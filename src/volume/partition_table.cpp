#include "volume/partition_table.h"

#include <array>
#include <set>
#include <utility>
#include <vector>

#include "support/binary_data.h"
#include "volume/filesystem_signature.h"
#include "volume/gpt_table.h"
#include "volume/partition_types.h"
#include "volume/raw_disk_io.h"

namespace skelvar {

namespace {

constexpr std::uint32_t first_read_size = 16384;
constexpr std::uint32_t ebr_read_size = 16384;
// The guess looks for an extended boot record in sectors 1 .. 0x100200 / 512.
constexpr std::uint64_t guess_last_offset = 0x100200;
constexpr std::uint64_t ntfs_guess_sector = 63;
constexpr std::uint8_t gpt_protective_type = 0xEE;

constexpr std::array<std::pair<std::size_t, std::uint32_t>, 5> larger_table_signatures = {{
    {1022, 1024}, {2046, 2048}, {4094, 4096}, {8190, 8192}, {16382, 16384},
}};

struct mbr_entry {
    std::uint8_t type = 0;
    std::uint32_t start = 0;
    std::uint32_t count = 0;

    bool usable() const { return type != 0 && count != 0 && is_known_mbr_type(type); }
};

mbr_entry entry_at(const kavo::binary_data& sector, int index) {
    const std::size_t base = 446 + 16 * static_cast<std::size_t>(index);
    return {sector.u8(base + 4), sector.u32(base + 8), sector.u32(base + 12)};
}

bool has_volume_boot_text(const kavo::binary_data& d) {
    const auto at3 = d.sub(3, 4);
    return at3.starts_with("EXFA", 4) || at3.starts_with("MSDO", 4) || at3.starts_with("NTFS", 4);
}

class table_scanner {
public:
    table_scanner(disk_bytes& disk, partition_list& out) : disk_(disk), out_(out) {}

    // An MBR in `first` with sector size s, its extended chain and the file
    // systems of what it lists. Sets used_gpt when a protective entry handed
    // the disk to the GPT reader.
    bool scan_table(const std::vector<std::uint8_t>& first, std::uint32_t s, bool& used_gpt) {
        used_gpt = false;
        const kavo::binary_data table(first);
        for (int i = 0; i < 4; ++i) {
            const mbr_entry e = entry_at(table, i);
            if (e.type == gpt_protective_type) {
                used_gpt = true;
                out_.clear();
                return read_gpt(disk_, out_);
            }
            if (!e.usable()) continue;
            add(partition_info::from_table(e.start, e.count, e.type, s));
            if (is_extended_type(e.type)) {
                // An extended record past the end of a truncated image ends the chain;
                // the primaries before it are still the disk's.
                if (e.start != 0) follow_extended(e.start, s);
                break;
            }
        }
        recognise_all();
        return !out_.empty();
    }

    // No table at sector 0: look for the first extended boot record in the
    // first MiB and walk the chain from there. Records stay unrecognised.
    bool guess() {
        std::vector<std::uint8_t> area;
        const std::uint32_t got = disk_.read_zeroed(0, static_cast<std::uint32_t>(guess_last_offset + 512), area);
        for (std::uint64_t offset = 512; offset <= guess_last_offset; offset += 512) {
            if (offset + 512 > got) return false;  // the read stopped short of this sector
            const std::span<const std::uint8_t> sector(area.data() + offset, 512);
            if (is_partition_table_sector(sector)) {
                if (!follow_extended(offset / 512, 512)) return false;
                return !out_.empty();
            }
        }
        return false;
    }

private:
    void add(const partition_info& p) {
        if (out_.size() < max_partition_records) out_.push_back(p);
    }

    // The extended boot record at sector `base`, the NTFS volume a legacy
    // layout keeps at sector 63, then the chain of links. False only when the
    // first record cannot be read; a broken link ends the chain.
    bool follow_extended(std::uint64_t base, std::uint32_t s) {
        std::vector<std::uint8_t> sector;
        if (disk_.read_zeroed(partition_info::saturating_product(base, s), ebr_read_size, sector) == 0) return false;
        const kavo::binary_data ebr(sector);

        std::uint64_t link = 0;
        std::uint16_t last_type = 0;
        for (int i = 0; i < 4; ++i) {
            const mbr_entry e = entry_at(ebr, i);
            if (!e.usable()) break;
            add(partition_info::from_table(base + e.start, e.count, e.type, s));
            if (is_extended_type(e.type)) {
                link = base + e.start;
                break;
            }
            last_type = e.type;
        }

        if (disk_.read_zeroed(partition_info::saturating_product(ntfs_guess_sector, s), 512, sector) != 0 &&
            kavo::binary_data(sector).sub(3, 8).starts_with("NTFS    ", 8)) {
            const std::uint64_t count = base > ntfs_guess_sector ? base - ntfs_guess_sector : 0;
            add(partition_info::from_table(ntfs_guess_sector, count,
                                           static_cast<std::uint16_t>(last_type | partition_info::guessed_flag), s));
        }

        // Links of a hostile chain may point back at a record already seen.
        std::set<std::uint64_t> visited{base};
        while (link != 0 && visited.size() <= max_extended_links && out_.size() < max_partition_records) {
            if (!visited.insert(link).second) break;
            if (disk_.read_zeroed(partition_info::saturating_product(link, s), 512, sector) < 512) break;
            if (!is_partition_table_sector(sector)) break;
            const kavo::binary_data record(sector);
            std::uint64_t next = 0;
            for (int i = 0; i < 4; ++i) {
                const mbr_entry e = entry_at(record, i);
                if (!e.usable()) break;
                if (is_extended_type(e.type)) {
                    add(partition_info::from_table(base + e.start, e.count, e.type, s));
                    next = base + e.start;
                } else {
                    add(partition_info::from_table(link + e.start, e.count, e.type, s));
                }
            }
            link = next;
        }
        return true;
    }

    void recognise_all() {
        std::vector<std::uint8_t> boot;
        for (partition_info& p : out_) {
            const std::uint32_t got = disk_.read_zeroed(p.byte_start(), p.table_sector_size, boot);
            if (got >= 512) recognise_file_system(p, std::span<const std::uint8_t>(boot.data(), got));
        }
    }

    disk_bytes& disk_;
    partition_list& out_;
};

bool any_recognised(const partition_list& records) {
    for (const auto& p : records)
        if (p.recognised) return true;
    return false;
}

bool plausible_sector_size(std::uint32_t s) {
    return s >= 1024 && s <= 16384 && (s & (s - 1)) == 0;
}

}  // namespace

bool is_partition_table_sector(std::span<const std::uint8_t> sector) {
    const kavo::binary_data d(sector);
    return d.u16(510) == 0xAA55 && !has_volume_boot_text(d);
}

first_sector_class classify_first_sector(std::span<const std::uint8_t> bytes) {
    const kavo::binary_data d(bytes);
    first_sector_class c;
    if (is_partition_table_sector(bytes)) {
        c.kind = first_sector_kind::partition_table;
        return c;
    }
    if (has_volume_boot_text(d)) {
        c.kind = first_sector_kind::volume_boot;
        return c;
    }
    for (const auto& [offset, size] : larger_table_signatures) {
        if (d.u16(offset) == 0xAA55) {
            c.kind = first_sector_kind::partition_table;
            c.table_sector_size = size;
            return c;
        }
    }
    if (d.u16(1080) == 0xEF53) c.kind = first_sector_kind::ext_volume;
    return c;
}

bool list_partitions(disk_bytes& disk, partition_list& records, bool guess) {
    records.clear();
    std::vector<std::uint8_t> first;
    if (disk.read_zeroed(0, first_read_size, first) == 0) return false;

    const first_sector_class c = classify_first_sector(first);
    table_scanner scanner(disk, records);
    switch (c.kind) {
        case first_sector_kind::volume_boot:
        case first_sector_kind::ext_volume: {
            partition_info p = partition_info::from_table(0, 0, 0, 512);
            const std::size_t length = c.kind == first_sector_kind::volume_boot ? 512 : 2048;
            recognise_file_system(p, std::span<const std::uint8_t>(first.data(), length));
            records.push_back(p);
            return true;
        }
        case first_sector_kind::unrecognised:
            return guess && scanner.guess();
        case first_sector_kind::partition_table: break;
    }

    bool used_gpt = false;
    if (c.table_sector_size != 512) return scanner.scan_table(first, c.table_sector_size, used_gpt);

    // A disk with larger logical sectors keeps its signature at 510 like any
    // other: a device tells us its sector size; for an image, a table whose
    // entries lead to no file system in 512-byte units is tried in 4096-byte ones.
    const std::uint32_t native = disk.native_sector_size();
    if (plausible_sector_size(native)) return scanner.scan_table(first, native, used_gpt);
    const bool found = scanner.scan_table(first, 512, used_gpt);
    if (used_gpt || any_recognised(records)) return found;
    partition_list in_4k;
    table_scanner retry(disk, in_4k);
    bool retry_gpt = false;
    if (retry.scan_table(first, 4096, retry_gpt) && any_recognised(in_4k)) {
        records = std::move(in_4k);
        return true;
    }
    return found;
}

bool list_partitions(RAW_DISK_IO& reader, partition_list& records, bool guess) {
    reader_disk_bytes disk(reader);
    return list_partitions(disk, records, guess);
}

bool list_partitions(std::span<const std::uint8_t> bytes, partition_list& records, bool guess) {
    memory_disk_bytes disk(bytes);
    return list_partitions(disk, records, guess);
}

}  // namespace skelvar
