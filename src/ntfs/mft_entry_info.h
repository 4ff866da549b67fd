// One parsed MFT file record: what every later stage (selection, paths,
// writers) reads. A walk reuses one for every record, cleared in between.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ntfs/attr_table.h"
#include "ntfs/data_runs.h"
#include "ntfs/file_name_attribute.h"
#include "ntfs/ntfs_types.h"
#include "ntfs/object_id.h"
#include "ntfs/record_header.h"
#include "ntfs/reparse_point.h"
#include "ntfs/standard_information.h"
#include "ntfs/volume_attributes.h"
#include "support/binary_data.h"

namespace skelvar {

// Bounds on what one entry gathers from its records, so that a hostile
// attribute list cannot grow it without end: NTFS allows 1024 hard links (and
// a DOS name beside one of them), no real file has thousands of streams or a
// million fragments.
constexpr std::size_t max_names_per_entry = 4096;
constexpr std::size_t max_rows_per_entry = 4096;
constexpr std::size_t max_runs_per_entry = 1u << 20;

struct index_root_info {
    std::uint32_t indexed_type = 0, collation_rule = 0, index_record_size = 0;
    std::uint8_t clusters_per_index_record = 0;
};

// The fields of a catalogue row that own no storage: a reused row takes them
// fresh in one assignment.
struct catalogue_fields {
    std::string_view label;  // static text: "unnamed data", "ads", ...
    bool is_ads = false;
    bool is_data = false;
    // header fields
    std::uint32_t type = 0, record_length = 0;
    std::uint8_t non_resident = 0, name_length = 0;
    std::uint16_t name_offset = 0, flags = 0, attr_id = 0;
    std::uint32_t value_length = 0;
    std::uint16_t value_offset = 0;
    std::uint64_t start_vcn = 0, last_vcn = 0;
    std::uint16_t runlist_offset = 0, compression_unit = 0;
    std::uint64_t allocated_size = 0, data_size = 0, initialized_size = 0;
    std::uint64_t holder_entry = 0;  // record that held the attribute
    bool header_sampled = false;     // header_sample was read
};

// One attribute met in the record (or in its extension records).
struct catalogue_row : catalogue_fields {
    std::u16string name;
    std::string text;                       // rendered value where a type has one (vol name, version, obj id, descriptor)
    std::vector<std::uint8_t> record_copy;  // the attribute record as found
    std::vector<std::uint8_t> value;        // resident value when kept
    std::vector<compact_run> runs;          // non-resident only; continuations appended
    // Leading bytes of a data stream, read once by the header action or a signature filter.
    std::vector<std::uint8_t> header_sample;

    // Stream size as the writers report it: data size, or the resident value length.
    std::uint64_t stream_size() const { return non_resident ? data_size : value_length; }
    // The resident value: the kept copy, else its place in the attribute record (none without an offset).
    std::span<const std::uint8_t> resident_bytes() const {
        if (!value.empty() || value_offset == 0 || value_length == 0) return value;
        return kavo::binary_data(record_copy).sub(value_offset, value_length).span();
    }
};

// What paths read of a name: its way up. Names are copied here record after record,
// so it holds nothing else.
struct path_name {
    std::uint64_t parent_ref = 0;

    path_name() = default;
    path_name(const file_name_info& fn) : parent_ref(fn.parent_ref) {}  // implicit: a name gives its way up
};

// Fresh values for the tables' reuse that keep their buffers (oversized ones excepted).
void reset_for_reuse(catalogue_row& row);
void reset_for_reuse(file_name_info& name);

// Selection marks set by the filters.
struct selection_flags {
    bool listed = false;
    bool deleted = false;
    bool in_time_range = false;
    bool preselected = false;
    bool ads_size = false;
    bool size_min = false, size_max = false;
    bool wildcard = false;
    bool name = false;
    bool directory = false;
    bool extension = false;
    bool signature = false;
};

// The marks and the matched-filter texts.
struct selection_marks : selection_flags {
    std::string signature_label;       // "MZ", "RegistryHive", ...
    std::vector<std::string> matched;  // "ext(exe)", "name(foo)", ...
};

// A data stream the copy action took up: its name (empty for the unnamed one)
// and the host path of its copy (empty when the copy failed).
struct stream_copy {
    std::u16string stream_name;
    std::string path;
};

struct mft_entry_info {
    std::u16string source_name;
    bool has_attribute_list = false;
    bool attribute_list_non_resident = false;
    bool time_anomaly = false;
    std::string time_note;
    std::uint8_t time_flags = 0;  // time_flag bits
    std::uint64_t entry_number = 0;
    std::uint16_t sequence_number = 0;
    file_record_header header;
    std::vector<std::uint8_t> record_bytes;
    bool is_extension = false;
    std::uint64_t base_ref = 0;

    attr_table<standard_info> standard_infos;
    attr_table<file_name_info> file_names;
    attr_table<object_id_info> object_ids;
    attr_table<std::u16string> volume_names;
    attr_table<volume_info> volume_infos;
    attr_table<reparse_info> reparse_points;
    attr_table<index_root_info> index_roots;
    attr_table<catalogue_row> catalogue;
    std::uint64_t attribute_count = 0;
    bool has_unnamed_data = false;
    std::vector<std::vector<std::uint8_t>> zone_texts;
    attr_table<path_name> path_names;  // the POSIX and Win32 names, by the keys of `file_names`

    selection_marks marks;
    // Results of the per-entry actions, filled just before the entry is written.
    bool actions_done = false;
    std::string owner_sid;  // "S-1-5-32-544"; empty when not asked for or not found
    std::vector<stream_copy> copies;  // in attribute order
    std::string extracted_path;       // the copy the lines being written report; empty for none
    std::string md5, sha1, sha256;    // digests of the unnamed data stream; empty when not computed
    bool from_unallocated = false;
    std::uint64_t source_offset = 0;

    // Decoding bookkeeping: runs held by all rows, and whether a row was begun by
    // a piece that does not start its attribute (its first piece may come later).
    std::size_t runs_held = 0;
    bool partial_rows = false;
    // The last search for a free row key: every key from `row_search_from` on up to
    // `row_search_found` is taken (rows are only added while an entry is decoded).
    attr_key row_search_from = 0, row_search_found = 0;

    std::uint16_t flags() const { return header.flags; }
    bool in_use() const { return header.in_use(); }
    bool is_directory() const { return header.is_directory(); }
    std::uint16_t link_count() const { return header.link_count; }
    std::uint64_t logfile_seqnum() const { return header.logfile_sequence; }

    // First standard information, or null.
    const standard_info* standard() const {
        return standard_infos.empty() ? nullptr : &standard_infos.begin()->second;
    }

    void clear();  // back to the freshly constructed state, keeping allocations
};

}  // namespace skelvar
