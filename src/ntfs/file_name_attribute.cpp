#include "ntfs/file_name_attribute.h"

#include "ntfs/ntfs_types.h"

namespace skelvar {

bool read_file_name(kavo::binary_data v, std::uint64_t reference_time, file_name_info& fn) {
    if (!v.has(0, 0x42)) return false;
    fn.parent_ref = v.u64(0x00);
    fn.created = v.u64(0x08);
    fn.modified = v.u64(0x10);
    fn.mft_changed = v.u64(0x18);
    fn.accessed = v.u64(0x20);
    fn.allocated_size = v.u64(0x28);
    fn.real_size = v.u64(0x30);
    fn.flags = v.u32(0x38);
    fn.reparse_value = v.u32(0x3C);
    fn.name_length = v.u8(0x40);
    fn.name_space = v.u8(0x41);
    v.utf16_into(0x42, fn.name_length, fn.name);  // empty when it would run past the value
    fn.is_dos = fn.name_space == ns_dos;
    const std::uint64_t times[] = {fn.created, fn.modified, fn.mft_changed, fn.accessed};
    for (auto t : times)
        if (reference_time != 0 && t > reference_time) fn.note = "future";
    for (auto t : times)
        if (t == 0) fn.note = "null";
    fn.anomaly = !fn.note.empty();
    return true;
}

}  // namespace skelvar
