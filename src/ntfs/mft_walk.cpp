#include "ntfs/mft_walk.h"

#include <algorithm>

#include "app/mft_entries_ctx.h"
#include "ntfs/attribute_decoder.h"
#include "ntfs/attribute_list.h"
#include "ntfs/file_record.h"
#include "ntfs/path_resolution.h"
#include "select/entry_selection.h"
#include "select/filter_building.h"
#include "support/binary_data.h"
#include "support/console.h"

namespace skelvar {

namespace {

using ull = unsigned long long;

// Copies the header fields into the entry; false when the record cannot hold attributes.
bool parse_header(mft_entries_ctx& ctx, std::span<const std::uint8_t> record, std::uint64_t entry_number,
                  mft_entry_info& entry) {
    entry.clear();
    entry.source_name = ctx.source_label;
    kavo::binary_data rec(record);
    entry.entry_number = entry_number;
    entry.sequence_number = rec.u16(0x10);
    for (std::size_t i = 0; i < entry.header.size(); ++i) entry.header[i] = rec.u8(i);
    entry.base_ref = rec.u64(0x20);
    entry.is_extension = entry.base_ref != 0;
    const std::size_t first = rec.u16(0x14);
    return !record.empty() && first <= record.size();
}

// Decodes every attribute of the record, then what its attribute lists name.
bool parse_attributes(mft_entries_ctx& ctx, std::span<const std::uint8_t> record, std::uint64_t entry_number,
                      mft_entry_info& entry, bool keep_content) {
    kavo::binary_data rec(record);
    const std::size_t size = record.size();
    std::size_t pos = rec.u16(0x14);
    std::size_t bound = 2 * pos;
    std::size_t lists[16];
    std::size_t list_count = 0;
    bool decoded_any = false;
    while (rec.has(pos, 8)) {
        const std::uint32_t type = rec.u32(pos);
        const std::uint32_t length = rec.u32(pos + 4);
        if (type == at_end || length == 0 || length > size || bound > size) break;
        decode_result r = decode_attribute(entry, ctx, entry_number, record, pos, keep_content);
        if (!r.ok) break;
        decoded_any = true;
        if (r.is_attribute_list && list_count < std::size(lists)) lists[list_count++] = pos;
        pos += length;
        bound += rec.u32(pos + 4);
    }
    for (std::size_t i = 0; i < list_count; ++i)
        resolve_attribute_list(ctx, entry, entry_number, record, lists[i], keep_content);
    return decoded_any;
}

void add_to_directory_cache(mft_entries_ctx& ctx, const mft_entry_info& entry) {
    const std::uint64_t ref = make_ref(entry.entry_number, entry.sequence_number);
    if (ctx.dir_cache.count(ref)) return;
    directory_node node;
    node.entry = entry.entry_number;
    node.sequence = entry.sequence_number;
    node.name = choose_name(entry.file_names, entry.entry_number);
    for (const auto& [key, fn] : entry.path_names) node.parents.insert(fn.parent_ref);
    node.flags = entry.flags();
    ctx.dir_cache.emplace(ref, std::move(node));
}

struct walk_state {
    std::vector<std::uint8_t> record;
    mft_entry_info entry;
};

// Opens the walk: learns the record size and the entry count from entry 0.
bool begin_walk(mft_entries_ctx& ctx, walk_state& st, std::uint64_t& count) {
    if (!ctx.source || !ctx.source->ready()) return false;
    build_filters(ctx);
    ctx.dir_cache.clear();
    const record_status s = read_file_record(ctx, 0, st.record);
    if (s == record_status::unreadable) {
        ctx.diags.line("err: mftfixup %llx", 0ull);
        return false;
    }
    if (s == record_status::bad) {
        ctx.diags.line("err: recd bad %llx", 0ull);
        return false;
    }
    if (!parse_header(ctx, st.record, 0, st.entry) || !parse_attributes(ctx, st.record, 0, st.entry, false))
        return false;
    std::uint64_t data_size = 0;
    bool found = false;
    for (const auto& [key, row] : st.entry.catalogue) {
        if (row.type == at_data && row.name.empty()) {
            data_size = row.stream_size();
            found = true;
            break;
        }
    }
    if (!found) return false;
    const std::uint32_t rs = ctx.record_size ? ctx.record_size : 1024;
    count = ctx.source->entry_count() ? ctx.source->entry_count() : data_size / rs;
    if (ctx.source->is_extracted_file()) count = std::min<std::uint64_t>(count, ctx.source->size_bytes() / rs);
    ctx.entry_count = count;
    return true;
}

void report(mft_entries_ctx& ctx, walk_state& st, std::uint64_t n, const entry_sink& sink) {
    if (!process_entry(ctx, st.record, n, st.entry)) return;
    st.entry.source_offset = ctx.filerecord_offset ? n * ctx.record_size : 0;
    sink(st.entry);
}

}  // namespace

bool parse_entry(mft_entries_ctx& ctx, std::span<const std::uint8_t> record, std::uint64_t entry_number,
                 mft_entry_info& entry, bool keep_content) {
    if (!parse_header(ctx, record, entry_number, entry)) return false;
    return parse_attributes(ctx, record, entry_number, entry, keep_content);
}

bool read_and_parse_entry(mft_entries_ctx& ctx, std::uint64_t entry_number, mft_entry_info& entry,
                          bool keep_content) {
    std::vector<std::uint8_t> record;
    if (read_file_record(ctx, entry_number, record) == record_status::unreadable) return false;
    return parse_entry(ctx, record, entry_number, entry, keep_content);
}

bool process_entry(mft_entries_ctx& ctx, std::span<const std::uint8_t> record, std::uint64_t entry_number,
                   mft_entry_info& entry) {
    if (!parse_header(ctx, record, entry_number, entry)) return false;
    const std::size_t first = kavo::binary_data(record).u16(0x14);
    const preselection pre = preselect(ctx, entry_number, entry.in_use(), entry);
    if (pre == preselection::drop) return false;
    if (first + 72 > record.size()) return false;
    if (!parse_attributes(ctx, record, entry_number, entry, false)) return false;
    if (entry.is_directory()) add_to_directory_cache(ctx, entry);
    if (!select_entry(ctx, entry, pre == preselection::preselected)) return false;
    if (ctx.check_times) check_times(entry);
    for (const auto& [key, fn] : entry.path_names) {
        parent_path p = resolve_parent_path(fn.parent_ref, ctx);
        if (p.ok) entry.resolved_paths.emplace(key, std::move(p.path));
    }
    // Only the record dump shows the raw record; other runs skip the copy.
    if (ctx.record_dump) entry.record_bytes.assign(record.begin(), record.end());
    return true;
}

bool walk_mft_range(mft_entries_ctx& ctx, const entry_sink& sink) {
    walk_state st;
    std::uint64_t count = 0;
    if (!begin_walk(ctx, st, count)) return false;
    const std::uint64_t start = ctx.mft_start;
    const std::uint64_t end = ctx.mft_range ? start + ctx.mft_range : count;
    ctx.diags.line("range of inodes to analyze: %llu -> %llu", static_cast<ull>(start), static_cast<ull>(end));
    const std::uint64_t interval = ctx.header_bytes_wanted ? 13 : 53;
    const bool logging = ctx.diags.active();
    for (std::uint64_t n = start; n < end; ++n) {
        if (logging) ctx.diags.text("-------------------------------");
        if (ctx.show_progress && n % interval == 0)
            console::status_line("analyzing entry %llu of %llu", n, count);
        const record_status s = read_file_record(ctx, n, st.record);
        if (s == record_status::unreadable) continue;
        if (s == record_status::bad) ctx.diags.line("mft entry %llu has bad filerecord", static_cast<ull>(n));
        report(ctx, st, n, sink);
    }
    if (ctx.show_progress) console::erase_progress();
    return !ctx.dir_cache.empty();
}

bool walk_entry_list(mft_entries_ctx& ctx, const entry_sink& sink) {
    walk_state st;
    std::uint64_t count = 0;
    if (!begin_walk(ctx, st, count)) return false;
    const std::uint64_t interval = ctx.header_bytes_wanted ? 13 : 53;
    for (std::uint64_t n : ctx.filter_inodes) {
        if (ctx.show_progress && n % interval == 0)
            console::status_line("analyzing entry %llu of %llu", n, count);
        if (read_file_record(ctx, n, st.record) == record_status::unreadable) continue;
        report(ctx, st, n, sink);
    }
    if (ctx.show_progress) console::erase_progress();
    return !ctx.dir_cache.empty();
}

}  // namespace skelvar
