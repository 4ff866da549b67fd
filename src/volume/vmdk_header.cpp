#include "volume/vmdk_header.h"

#include <cstring>

#include "support/binary_data.h"

namespace skelvar {

namespace {

constexpr std::uint32_t sparse_magic = 0x564D444B;  // "KDMV" in file order
constexpr std::uint32_t compressed_grains_flag = 0x10000;
constexpr std::uint64_t directory_at_end = ~std::uint64_t{0};
// Real grains are 4 KiB to 1 MiB and tables hold 512 entries; the limits keep a
// hostile header from sizing buffers or overflowing offsets.
constexpr std::uint64_t max_grain_sectors = 0x10000;
constexpr std::uint32_t max_entries_per_table = 4096;
constexpr std::uint64_t max_capacity_sectors = (std::uint64_t{1} << 55) - 1;

bool is_power_of_two(std::uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }

}  // namespace

bool has_sparse_extent_magic(std::span<const std::uint8_t> first_bytes) {
    return kavo::binary_data(first_bytes).starts_with("KDMV", 4);
}

bool is_descriptor_file(std::span<const std::uint8_t> first_bytes) {
    static constexpr char tag[] = "# Disk DescriptorFile";
    return kavo::binary_data(first_bytes).starts_with(tag, std::strlen(tag));
}

bool decode_sparse_header(std::span<const std::uint8_t> bytes, vmdk_sparse_header& h, std::string& error) {
    const kavo::binary_data b(bytes);
    if (!b.has(0, 512) || b.u32(0) != sparse_magic) {
        error = "no sparse extent header (KDMV)";
        return false;
    }
    h.version = b.u32(4);
    h.flags = b.u32(8);
    h.capacity = b.u64(12);
    h.grain_size = b.u64(20);
    h.descriptor_offset = b.u64(28);
    h.descriptor_size = b.u64(36);
    h.entries_per_table = b.u32(44);
    h.redundant_directory_offset = b.u64(48);
    h.directory_offset = b.u64(56);
    h.overhead = b.u64(64);
    h.compression = b.u16(77);

    if (h.version == 0 || h.version > 3) {
        error = "sparse extent version " + std::to_string(h.version) + " is unknown";
    } else if ((h.flags & compressed_grains_flag) || h.directory_offset == directory_at_end) {
        error = "its grains are compressed (stream-optimized VMDK), which this reader does not follow";
    } else if (h.descriptor_offset == 0 || h.descriptor_size == 0) {
        error = "no embedded descriptor: an extent of a split disk, not a monolithic sparse VMDK";
    } else if (!is_power_of_two(h.grain_size) || h.grain_size > max_grain_sectors) {
        error = "grain size of " + std::to_string(h.grain_size) + " sectors is not a power of two up to 65536";
    } else if (h.entries_per_table == 0 || h.entries_per_table > max_entries_per_table) {
        error = std::to_string(h.entries_per_table) + " entries per grain table is outside 1..4096";
    } else if (h.capacity > max_capacity_sectors) {
        error = "capacity of " + std::to_string(h.capacity) + " sectors is beyond any disk";
    } else if (h.directory_offset == 0) {
        error = "no grain directory";
    } else {
        return true;
    }
    return false;
}

}  // namespace skelvar
