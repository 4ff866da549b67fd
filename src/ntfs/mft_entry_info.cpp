#include "ntfs/mft_entry_info.h"

namespace skelvar {

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
