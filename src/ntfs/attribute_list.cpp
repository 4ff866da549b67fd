#include "ntfs/attribute_list.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <tuple>
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
// List entries taken per base entry: far more than a file with every hard link
// NTFS allows and a heavily fragmented stream needs.
constexpr std::size_t max_list_entries = 32768;
// Extension records read per base entry when they are found by their base reference.
constexpr std::size_t max_extension_records = 4096;

// The attribute of `type` and `id` in an extension record.
std::optional<attribute_view> find_attribute(kavo::binary_data rec, std::uint16_t first, std::uint32_t type,
                                             std::uint16_t id) {
    attribute_iterator it(rec, first);
    for (attribute_view a; it.next(a);)
        if (a.type == type && a.id == id) return a;
    return std::nullopt;
}

// The attributes of one base entry held in other records, each decoded once.
class list_resolver {
public:
    list_resolver(const entry_reader& reader, mft_entry_info& entry, std::uint64_t entry_number, bool keep_content)
        : reader_(reader), records_(reader.records()), entry_(entry), entry_number_(entry_number),
          keep_content_(keep_content) {}

    void walk(kavo::binary_data list);
    // For a list out of reach: every record whose base reference names this entry.
    void attach_by_base_reference();

private:
    // True the first time (record, type, id) is offered.
    bool first_time(std::uint64_t record, std::uint32_t type, std::uint16_t id) {
        return seen_.emplace(record, type, id).second;
    }
    void decode(const attribute_view& attr, std::uint64_t holder) {
        decode_attribute(entry_, attr, reader_.decode(), reader_.decode().file_by_holder ? holder : entry_number_,
                         keep_content_);
    }
    // Reads `target` into ext_ unless it is there already; false when it is no
    // record of this entry.
    bool load(std::uint64_t target, std::uint16_t listed_sequence);

    const entry_reader& reader_;
    mft_reader& records_;
    mft_entry_info& entry_;
    std::uint64_t entry_number_;
    bool keep_content_;
    std::set<std::tuple<std::uint64_t, std::uint32_t, std::uint16_t>> seen_;
    std::size_t taken_ = 0;
    std::vector<std::uint8_t> ext_;
    std::uint64_t ext_entry_ = ~0ull;
    std::uint16_t ext_listed_ = 0;
    bool ext_ok_ = false;
};

bool list_resolver::load(std::uint64_t target, std::uint16_t listed_sequence) {
    // Consecutive list entries usually name the same record: read it once.
    if (target == ext_entry_ && listed_sequence == ext_listed_) return ext_ok_;
    ext_entry_ = target;
    ext_listed_ = listed_sequence;
    ext_ok_ = false;
    if (records_.read_record(target, ext_) != record_status::ok) return false;
    const file_record_header h = read_record_header(kavo::binary_data(ext_));
    // A record freed and reused since the list was written belongs to another file now.
    if (!h.extends(entry_number_, entry_.header) || !h.listed_as(listed_sequence)) {
        records_.log().line("err: entry %llu: record %llu named by its attribute list belongs to entry %llu",
                            static_cast<ull>(entry_number_), static_cast<ull>(target),
                            static_cast<ull>(ref_entry(h.base_ref)));
        return false;
    }
    ext_ok_ = h.first_attribute != 0 && kavo::binary_data(ext_).u32(h.first_attribute + 4) < ext_.size();
    return ext_ok_;
}

void list_resolver::walk(kavo::binary_data list) {
    std::size_t pos = 0;
    while (list.has(pos, 0x1A) && taken_ < max_list_entries) {
        const std::uint32_t type = list.u32(pos);
        const std::uint16_t length = list.u16(pos + 0x04);
        if (length == 0) break;
        const std::uint64_t ref = list.u64(pos + 0x10);
        const std::uint16_t id = list.u16(pos + 0x18);
        pos += length;
        const std::uint64_t target = ref_entry(ref);
        if (target == entry_number_) continue;  // already decoded from the base record
        if (!first_time(target, type, id)) continue;
        ++taken_;
        records_.log().line("primary entry %llu pointing to ref entry %llu", static_cast<ull>(entry_number_),
                            static_cast<ull>(target));
        if (!load(target, ref_seq(ref))) continue;
        const kavo::binary_data rec(ext_);
        const auto found = find_attribute(rec, read_record_header(rec).first_attribute, type, id);
        if (found) decode(*found, target);
    }
}

void list_resolver::attach_by_base_reference() {
    const std::span<const std::uint64_t> extensions = records_.extension_records_of(entry_number_);
    if (extensions.empty()) return;
    // Decoded in the order an attribute list keeps: by type, name and starting VCN.
    struct piece {
        std::uint32_t type;
        std::u16string name;
        std::uint64_t vcn, record;
        std::uint16_t id;
        attribute_view view;
    };
    std::vector<std::vector<std::uint8_t>> held;
    std::vector<piece> pieces;
    for (const std::uint64_t record : extensions) {
        if (held.size() == max_extension_records) break;
        std::vector<std::uint8_t> bytes;
        if (records_.read_record(record, bytes) != record_status::ok) continue;
        if (!read_record_header(kavo::binary_data(bytes)).extends(entry_number_, entry_.header)) continue;
        held.push_back(std::move(bytes));  // its buffer, which the views point into, stays where it is
        const kavo::binary_data rec(held.back());
        attribute_iterator it(rec, read_record_header(rec).first_attribute);
        for (attribute_view a; it.next(a) && pieces.size() < max_list_entries;)
            pieces.push_back({a.type, a.name(), a.non_resident ? a.start_vcn : 0, record, a.id, a});
    }
    records_.log().line("inode 0x%08llx : attribute list out of reach: %zu extension records found by their base reference",
                        static_cast<ull>(entry_number_), held.size());
    std::sort(pieces.begin(), pieces.end(), [](const piece& a, const piece& b) {
        return std::tie(a.type, a.name, a.vcn, a.record, a.id) < std::tie(b.type, b.name, b.vcn, b.record, b.id);
    });
    for (const piece& p : pieces)
        if (p.type != at_attribute_list && first_time(p.record, p.type, p.id)) decode(p.view, p.record);
}

}  // namespace

void resolve_attribute_lists(const entry_reader& reader, mft_entry_info& entry, std::uint64_t entry_number,
                             std::span<const attribute_view> lists, bool keep_content) {
    list_resolver resolver(reader, entry, entry_number, keep_content);
    mft_reader& records = reader.records();
    for (const attribute_view& attr : lists) {
        entry.has_attribute_list = true;
        if (!attr.non_resident) {
            if (attr.value_length == 0 || attr.value_offset == 0) continue;
            records.log().line("inode 0x%08llx : attribute type 0x%04x : has resident attrib list.",
                               static_cast<ull>(entry_number), attr.type);
            resolver.walk(attr.value);
            continue;
        }
        records.log().line("inode 0x%08llx : attribute type 0x%04x : has non resident attrib list.",
                           static_cast<ull>(entry_number), attr.type);
        entry.attribute_list_non_resident = true;
        if (!records.source()) continue;
        std::vector<compact_run> runs;
        decode_compact_runs(attr.bytes, runs);
        std::vector<std::uint8_t> bytes;
        // An extracted $MFT holds no clusters: the extension records say themselves whose they are.
        if (records.is_extracted_file() || !records.source()->read_run_clusters(runs, max_list_bytes, bytes)) {
            resolver.attach_by_base_reference();
            continue;
        }
        // The clusters hold more than the list: only its real size counts.
        if (attr.data_size < bytes.size()) bytes.resize(static_cast<std::size_t>(attr.data_size));
        resolver.walk(kavo::binary_data(bytes));
    }
}

}  // namespace skelvar
