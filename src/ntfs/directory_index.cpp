#include "ntfs/directory_index.h"

#include <algorithm>
#include <vector>

#include "ntfs/entry_reader.h"
#include "ntfs/file_record.h"
#include "ntfs/ntfs_volume.h"
#include "ntfs/stream_reader.h"

namespace skelvar {

namespace {

constexpr std::size_t entry_header = 0x10;
// No index entry is longer: a 255-unit name makes 0x52 + 510 bytes, rounded up.
constexpr std::size_t max_entry_length = 768;
constexpr std::uint16_t last_entry_flag = 0x02;
constexpr std::size_t indx_node_offset = 0x18;
constexpr std::size_t root_node_offset = 0x10;
// Beyond this an allocation stream is not believed (a directory of millions of names stays below it).
constexpr std::uint64_t max_allocation_bytes = 4ull << 30;

const std::u16string i30_name = u"$I30";

// The INDX block size: the one $INDEX_ROOT names when it is a power of two NTFS
// could use, else the common 4096.
std::uint32_t block_size_of(std::uint32_t from_root) {
    if (from_root >= 512 && from_root <= 65536 && (from_root & (from_root - 1)) == 0) return from_root;
    return default_index_block;
}

// Bytes of the volume a run list can map, stopping once `cap` is passed.
std::uint64_t run_coverage(const std::vector<compact_run>& runs, std::uint64_t cluster_size, std::uint64_t cap) {
    std::uint64_t total = 0;
    for (const compact_run& r : runs) {
        total += static_cast<std::uint64_t>(r.count) * cluster_size;
        if (total >= cap) return cap;
    }
    return total;
}

// The file name in an entry's key ($FILE_NAME: length at 0x40, name at 0x42 of the key).
void add_key_name(kavo::binary_data node, std::size_t entry, std::uint16_t key_length, std::uint64_t child,
                  index_names& names) {
    const std::size_t units = node.u8(entry + 0x10 + 0x40);
    if (units == 0 || key_length < 0x42 + 2 * units) return;
    std::u16string name = node.utf16(entry + 0x10 + 0x42, units);
    if (name.empty()) return;
    auto& list = names[child];
    if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(std::move(name));
}

kavo::binary_data resident_value(const catalogue_row& row) {
    kavo::binary_data rec(row.record_copy);
    return rec.sub(row.value_offset, row.value_length);
}

}  // namespace

void parse_index_node(kavo::binary_data node, children_set& children, bool include_slack, std::uint32_t block_size,
                      index_names* names) {
    const std::uint32_t first = node.u32(0x00);
    const std::uint32_t total = node.u32(0x04);
    const std::uint32_t allocated = node.u32(0x08);
    if (total == 0 || total > block_size || first < entry_header) return;
    std::size_t end = total;
    // Slack: the bytes after the last entry up to the allocated size hold remnants of removed names.
    if (include_slack) end = std::max<std::size_t>(end, std::min<std::uint32_t>(allocated, block_size));
    end = std::min(end, node.size());

    std::size_t pos = first;
    while (pos < end && end - pos >= entry_header) {
        const std::uint16_t length = node.u16(pos + 0x08);
        const std::uint16_t key_length = node.u16(pos + 0x0A);
        const std::uint16_t flags = node.u16(pos + 0x0C);
        if (length < entry_header || length > max_entry_length) break;
        if (length > total || key_length > total || (!include_slack && key_length > length)) break;
        const std::uint64_t ref = node.u64(pos);
        if (ref != 0 && (flags & last_entry_flag) == 0) {
            children.insert(ref_entry(ref));
            if (names) add_key_name(node, pos, key_length, ref_entry(ref), *names);
        } else if (!include_slack) {
            break;  // the last entry ends the node
        }
        pos += length;
    }
}

std::uint32_t parse_index_blocks(std::span<std::uint8_t> stream, std::uint32_t block_size, children_set& children,
                                 bool include_slack, index_names* names) {
    if (block_size == 0) return 0;
    std::uint32_t parsed = 0;
    for (std::size_t off = 0; off < stream.size(); off += block_size) {
        std::span<std::uint8_t> block = stream.subspan(off, std::min<std::size_t>(block_size, stream.size() - off));
        if (!kavo::binary_data(block).starts_with("INDX", 4)) continue;  // an unused block
        validate_and_fixup(block);
        parse_index_node(kavo::binary_data(block).from(indx_node_offset), children, include_slack, block_size, names);
        ++parsed;
    }
    return parsed;
}

bool read_index_allocation(ntfs_volume& volume, const catalogue_row& attribute, std::uint32_t block_size,
                           children_set& children, bool include_slack, std::uint32_t* blocks_parsed,
                           index_names* names) {
    if (blocks_parsed) *blocks_parsed = 0;
    const std::uint64_t cs = volume.cluster_size();
    if (!attribute.non_resident || attribute.runs.empty() || cs == 0 || block_size == 0) return false;
    std::uint64_t cap = max_allocation_bytes;
    if (const std::uint64_t vs = volume.geometry().volume_size) cap = std::min(cap, vs);
    std::uint64_t length = run_coverage(attribute.runs, cs, cap);
    if (attribute.allocated_size != 0) length = std::min(length, attribute.allocated_size);

    std::vector<std::uint8_t> block(block_size);
    std::uint32_t parsed = 0;
    for (std::uint64_t off = 0; off < length; off += block_size) {
        std::uint64_t got = std::min<std::uint64_t>(block_size, length - off);
        stream_read_flags flags;
        if (!read_stream_range(volume, attribute.runs, off, block.data(), got, flags) || got < 4) continue;
        parsed += parse_index_blocks(std::span<std::uint8_t>(block.data(), static_cast<std::size_t>(got)), block_size,
                                     children, include_slack, names);
    }
    if (blocks_parsed) *blocks_parsed = parsed;
    return parsed > 0;
}

bool read_children(const entry_reader& entries, std::uint64_t entry, children_set& children, bool include_slack,
                   index_read_status* status, index_names* names) {
    index_read_status local;
    index_read_status& st = status ? *status : local;
    st = index_read_status{};
    mft_entry_info dir;
    // Content is kept so the resident $INDEX_ROOT value comes with the row; the
    // attribute list pulls index attributes held in extension records.
    if (!entries.read_and_parse(entry, dir, true)) return false;

    std::uint32_t block_size = default_index_block;
    for (const auto& [key, row] : dir.catalogue) {
        if (row.type != at_index_root || row.name != i30_name || row.non_resident) continue;
        kavo::binary_data value = resident_value(row);
        if (value.size() < root_node_offset + entry_header) continue;
        block_size = block_size_of(value.u32(0x08));
        parse_index_node(value.from(root_node_offset), children, include_slack, block_size, names);
        st.root_found = true;
    }
    ntfs_volume* volume = entries.records().volume();
    for (const auto& [key, row] : dir.catalogue) {
        if (row.type != at_index_allocation || row.name != i30_name) continue;
        if (!row.non_resident || (row.allocated_size == 0 && row.runs.empty())) continue;
        st.allocation_found = true;
        if (!volume) continue;
        std::uint32_t parsed = 0;
        if (read_index_allocation(*volume, row, block_size, children, include_slack, &parsed, names))
            st.allocation_read = true;
        st.blocks_parsed += parsed;
    }
    return st.root_found || st.allocation_read;
}

}  // namespace skelvar
