#include "ntfs/mft_entry_info.h"

namespace skelvar {

namespace {

// Buffers kept for reuse up to this many bytes: a hostile entry's huge run
// list or text is not carried on through the walk.
constexpr std::size_t max_kept_bytes = 64 * 1024;

// Takes the storage of `from` (emptied) when it is worth keeping.
template <class Buffer>
void keep_storage(Buffer& into, Buffer& from) {
    from.clear();
    if (from.capacity() * sizeof(typename Buffer::value_type) <= max_kept_bytes) into.swap(from);
}

}  // namespace

void reset_for_reuse(catalogue_row& row) {
    catalogue_row fresh;
    keep_storage(fresh.name, row.name);
    keep_storage(fresh.text, row.text);
    keep_storage(fresh.record_copy, row.record_copy);
    keep_storage(fresh.value, row.value);
    keep_storage(fresh.runs, row.runs);
    keep_storage(fresh.header_sample, row.header_sample);
    row = std::move(fresh);
}

void reset_for_reuse(file_name_info& name) {
    file_name_info fresh;
    keep_storage(fresh.name, name.name);
    keep_storage(fresh.note, name.note);
    name = std::move(fresh);
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
    marks = selection_marks{};
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
}

}  // namespace skelvar
