#include "ntfs/file_name_attribute.h"

#include <algorithm>

#include "ntfs/ntfs_types.h"

namespace skelvar {

namespace {

// Bytes of the value before the name.
constexpr std::size_t fixed_bytes = 0x42;

// Inlined over a view of exactly the fixed part, the field reads need no bounds checks at run time.
[[gnu::always_inline]] inline void read_fixed_fields(const kavo::binary_data& v, file_name_info& fn) {
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
}

}  // namespace

bool read_file_name(kavo::binary_data v, std::uint64_t reference_time, file_name_info& fn) {
    if (!v.has(0, fixed_bytes)) return false;
    read_fixed_fields(kavo::binary_data(v.span().first(fixed_bytes)), fn);
    v.utf16_into(fixed_bytes, fn.name_length, fn.name);  // empty when it would run past the value
    fn.is_dos = fn.name_space == ns_dos;
    // A zero time outweighs a future one.
    const bool null = !fn.created || !fn.modified || !fn.mft_changed || !fn.accessed;
    const std::uint64_t latest = std::max(std::max(fn.created, fn.modified), std::max(fn.mft_changed, fn.accessed));
    if (null) fn.note = "null";
    else if (reference_time != 0 && latest > reference_time) fn.note = "future";
    fn.anomaly = !fn.note.empty();
    return true;
}

}  // namespace skelvar
