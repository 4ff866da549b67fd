#include "ntfs/standard_information.h"

namespace skelvar {

namespace {

// The value's size since NTFS 3.0; older volumes carry 48 bytes.
constexpr std::size_t full_value_bytes = 0x48;

// Inlined over a view of a known size, the field reads need no bounds checks at run time.
[[gnu::always_inline]] inline void read_fields(const kavo::binary_data& v, standard_info& si) {
    si.created = v.u64(0x00);
    si.modified = v.u64(0x08);
    si.mft_changed = v.u64(0x10);
    si.accessed = v.u64(0x18);
    si.file_attributes = v.u32(0x20);
    si.max_versions = v.u32(0x24);
    si.version = v.u32(0x28);
    si.class_id = v.u32(0x2C);
    si.owner_id = v.u32(0x30);
    si.security_id = v.u32(0x34);
    si.quota_charged = v.u64(0x38);
    si.usn = v.u64(0x40);
}

}  // namespace

void read_standard_information(kavo::binary_data v, standard_info& si) {
    if (v.has(0, full_value_bytes)) read_fields(kavo::binary_data(v.span().first(full_value_bytes)), si);
    else read_fields(v, si);
    si.is_null = !si.created || !si.modified || !si.mft_changed || !si.accessed;
    if (si.is_null) si.note = "null";
    else si.note.clear();
}

standard_info read_standard_information(kavo::binary_data v) {
    standard_info si;
    read_standard_information(v, si);
    return si;
}

}  // namespace skelvar
