#include "ntfs/attribute_list.h"

#include <optional>
#include <vector>

#include "ntfs/attribute_decoder.h"
#include "ntfs/entry_reader.h"
#include "ntfs/record_header.h"
#include "support/binary_data.h"
#include "support/diag_log.h"

namespace skelvar {

namespace {

using ull = unsigned long long;

// A non-resident list larger than this is not believed.
constexpr std::uint64_t max_list_bytes = 16ull << 20;

// The attribute of `type` and `id` in an extension record.
std::optional<attribute_view> find_attribute(kavo::binary_data rec, std::uint16_t first, std::uint32_t type,
                                             std::uint16_t id) {
    attribute_iterator it(rec, first);
    for (attribute_view a; it.next(a);)
        if (a.type == type && a.id == id) return a;
    return std::nullopt;
}

void walk_list(const entry_reader& reader, mft_entry_info& entry, std::uint64_t entry_number,
               kavo::binary_data list, bool keep_content) {
    mft_reader& records = reader.records();
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
        records.log().line("primary entry %llu pointing to ref entry %llu", static_cast<ull>(entry_number),
                           static_cast<ull>(target));
        // Consecutive list entries usually name the same record: read it once.
        if (target != ext_entry) {
            ext_entry = target;
            ext_ok = records.read_record(target, ext) == record_status::ok;
        }
        if (!ext_ok) continue;
        const kavo::binary_data rec(ext);
        const file_record_header h = read_record_header(rec);
        if (h.signature != record_signature::file || h.first_attribute == 0 ||
            rec.u32(h.first_attribute + 4) >= ext.size())
            continue;
        const auto found = find_attribute(rec, h.first_attribute, type, id);
        if (!found) continue;
        const std::uint64_t filed_under = reader.decode().file_by_holder ? target : entry_number;
        decode_attribute(entry, *found, reader.decode(), filed_under, keep_content);
    }
}

}  // namespace

void resolve_attribute_list(const entry_reader& reader, mft_entry_info& entry, std::uint64_t entry_number,
                            const attribute_view& attr, bool keep_content) {
    entry.has_attribute_list = true;
    mft_reader& records = reader.records();
    if (!attr.non_resident) {
        if (attr.value_length == 0 || attr.value_offset == 0) return;
        records.log().line("inode 0x%08llx : attribute type 0x%04x : has resident attrib list.",
                           static_cast<ull>(entry_number), attr.type);
        walk_list(reader, entry, entry_number, attr.value, keep_content);
        return;
    }
    records.log().line("inode 0x%08llx : attribute type 0x%04x : has non resident attrib list.",
                       static_cast<ull>(entry_number), attr.type);
    entry.attribute_list_non_resident = true;
    if (!records.source() || records.is_extracted_file()) return;  // its clusters are not at hand
    std::vector<compact_run> runs;
    decode_compact_runs(attr.bytes, runs);
    std::vector<std::uint8_t> bytes;
    if (!records.source()->read_run_clusters(runs, max_list_bytes, bytes)) return;
    // The clusters hold more than the list: only its real size counts.
    if (attr.data_size < bytes.size()) bytes.resize(static_cast<std::size_t>(attr.data_size));
    walk_list(reader, entry, entry_number, kavo::binary_data(bytes), keep_content);
}

}  // namespace skelvar
