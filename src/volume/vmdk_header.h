// The header at the start of a hosted sparse VMDK extent ("KDMV").
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace skelvar {

inline constexpr std::uint64_t vmdk_sector_bytes = 512;

// Sizes and offsets in 512-byte sectors, as stored.
struct vmdk_sparse_header {
    std::uint32_t version = 0;
    std::uint32_t flags = 0;
    std::uint64_t capacity = 0;
    std::uint64_t grain_size = 0;
    std::uint64_t descriptor_offset = 0;
    std::uint64_t descriptor_size = 0;
    std::uint32_t entries_per_table = 0;
    std::uint64_t redundant_directory_offset = 0;
    std::uint64_t directory_offset = 0;
    std::uint64_t overhead = 0;
    std::uint16_t compression = 0;

    std::uint64_t capacity_bytes() const { return capacity * vmdk_sector_bytes; }
    std::uint64_t grain_bytes() const { return grain_size * vmdk_sector_bytes; }
    // Guest bytes one grain table covers.
    std::uint64_t table_coverage() const { return grain_bytes() * entries_per_table; }
    // A table entry of 1 then stands for a grain of zeros that hides the parent's.
    bool has_zero_grains() const { return (flags & 0x4) != 0; }
};

// "KDMV" at the start: a sparse extent (readable or not).
bool has_sparse_extent_magic(std::span<const std::uint8_t> first_bytes);
// "# Disk DescriptorFile" at the start: a text descriptor naming its extents elsewhere.
bool is_descriptor_file(std::span<const std::uint8_t> first_bytes);

// Decodes the first 512 bytes and refuses what this reader cannot follow
// (compressed grains, no embedded descriptor, sizes that overflow). False with the reason.
bool decode_sparse_header(std::span<const std::uint8_t> bytes, vmdk_sparse_header& header, std::string& error);

}  // namespace skelvar
