#include "ntfs/attribute_list.h"

#include "app/mft_entries_ctx.h"
#include "ntfs/attribute_decoder.h"
#include "ntfs/file_record.h"
#include "support/binary_data.h"

namespace skelvar {

namespace {

// A non-resident list larger than this is not believed.
constexpr std::uint64_t max_list_bytes = 16ull << 20;

// Finds the attribute of `type` and `id` in an extension record; npos when absent.
std::size_t find_attribute(kavo::binary_data rec, std::uint32_t type, std::uint16_t id) {
    std::size_t pos = rec.u16(0x14);
    while (rec.has(pos, 8)) {
        const std::uint32_t t = rec.u32(pos);
        const std::uint32_t len = rec.u32(pos + 4);
        if (t == at_end || len == 0 || !rec.has(pos, len)) break;
        if (t == type && rec.u16(pos + 0x0E) == id) return pos;
        pos += len;
    }
    return std::string::npos;
}

void walk_list(mft_entries_ctx& ctx, mft_entry_info& entry, std::uint64_t entry_number, kavo::binary_data list,
               bool keep_content) {
    std::vector<std::uint8_t> ext;
    std::uint64_t ext_entry = ~0ull;
    bool ext_ok = false;
    std::size_t pos = 0;
    while (list.has(pos, 0x1A)) {
        const std::uint32_t type = list.u32(pos);
        const std::uint16_t length = list.u16(pos + 0x04);
        if (length == 0) break;
        const std::uint64_t ref = list.u64(pos + 0x10);
        const std::uint16_t id = list.u16(pos + 0x18);
        pos += length;
        const std::uint64_t target = ref_entry(ref);
        if (target == entry_number) continue;  // already decoded from the base record
        ctx.diags.line("primary entry %llu pointing to ref entry %llu", static_cast<unsigned long long>(entry_number),
                       static_cast<unsigned long long>(target));
        // Consecutive list entries usually name the same record: read it once.
        if (target != ext_entry) {
            ext_entry = target;
            ext_ok = read_file_record(ctx, target, ext) == record_status::ok;
        }
        if (!ext_ok) continue;
        kavo::binary_data rec(ext);
        const std::uint16_t first = rec.u16(0x14);
        if (!rec.starts_with("FILE", 4) || first == 0 || rec.u32(first + 4) >= ext.size()) continue;
        const std::size_t at = find_attribute(rec, type, id);
        if (at == std::string::npos) continue;
        const std::uint64_t filed_under = ctx.csvperpath ? target : entry_number;
        decode_attribute(entry, ctx, filed_under, ext, at, keep_content);
    }
}

}  // namespace

void resolve_attribute_list(mft_entries_ctx& ctx, mft_entry_info& entry, std::uint64_t entry_number,
                            std::span<const std::uint8_t> record, std::size_t offset, bool keep_content) {
    entry.has_attribute_list = true;
    kavo::binary_data rec(record);
    const std::uint32_t length = rec.u32(offset + 4);
    kavo::binary_data attr = rec.sub(offset, length);
    if (attr.empty()) return;
    const std::uint32_t type = attr.u32(0);
    if (attr.u8(0x08) == 0) {
        const std::uint32_t value_length = attr.u32(0x10);
        const std::uint16_t value_offset = attr.u16(0x14);
        if (value_length == 0 || value_offset == 0) return;
        ctx.diags.line("inode 0x%08llx : attribute type 0x%04x : has resident attrib list.",
                       static_cast<unsigned long long>(entry_number), type);
        walk_list(ctx, entry, entry_number, attr.sub(value_offset, value_length), keep_content);
        return;
    }
    ctx.diags.line("inode 0x%08llx : attribute type 0x%04x : has non resident attrib list.",
                   static_cast<unsigned long long>(entry_number), type);
    entry.attribute_list_non_resident = true;
    if (!ctx.source || ctx.source->is_extracted_file()) return;  // its clusters are not at hand
    std::vector<compact_run> runs;
    decode_compact_runs(attr, runs);
    std::vector<std::uint8_t> bytes;
    if (!ctx.source->read_run_clusters(runs, max_list_bytes, bytes)) return;
    // The clusters hold more than the list: only its real size counts.
    const std::uint64_t real = attr.u64(0x30);
    if (real < bytes.size()) bytes.resize(static_cast<std::size_t>(real));
    walk_list(ctx, entry, entry_number, kavo::binary_data(bytes), keep_content);
}

}  // namespace skelvar
