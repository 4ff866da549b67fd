#include "ntfs/mft_entry_info.h"

namespace skelvar {

namespace {

// Buffers kept for reuse up to this many bytes: a hostile entry's huge run
// list or text is not carried on through the walk.
constexpr std::size_t max_kept_bytes = 64 * 1024;

// Empties a buffer, keeping its storage when it is worth keeping.
template <class Buffer>
void clear_keeping(Buffer& buffer) {
    if (buffer.capacity() * sizeof(typename Buffer::value_type) > max_kept_bytes) Buffer().swap(buffer);
    else buffer.clear();
}

}  // namespace

void reset_for_reuse(catalogue_row& row) {
    static_cast<catalogue_fields&>(row) = catalogue_fields{};
    clear_keeping(row.name);
    clear_keeping(row.text);
    clear_keeping(row.record_copy);
    clear_keeping(row.value);
    clear_keeping(row.runs);
    clear_keeping(row.header_sample);
}

void reset_for_reuse(file_name_info& name) {
    static_cast<file_name_fields&>(name) = file_name_fields{};
    clear_keeping(name.name);
    clear_keeping(name.note);
}

void mft_entry_info::clear() {
    source_name.clear();
    has_attribute_list = attribute_list_non_resident = time_anomaly = false;
    time_note.clear();
    time_flags = 0;
    entry_number = 0;
    sequence_number = 0;
    header = file_record_header{};
    record_bytes.clear();
    is_extension = false;
    base_ref = 0;
    standard_infos.clear();
    file_names.clear();
    object_ids.clear();
    volume_names.clear();
    volume_infos.clear();
    reparse_points.clear();
    index_roots.clear();
    catalogue.clear();
    attribute_count = 0;
    has_unnamed_data = false;
    zone_texts.clear();
    path_names.clear();
    static_cast<selection_flags&>(marks) = selection_flags{};
    marks.signature_label.clear();
    clear_keeping(marks.matched);
    actions_done = false;
    owner_sid.clear();
    copies.clear();
    extracted_path.clear();
    md5.clear();
    sha1.clear();
    sha256.clear();
    from_unallocated = false;
    source_offset = 0;
    runs_held = 0;
    partial_rows = false;
    row_search_from = row_search_found = 0;
}

}  // namespace skelvar
