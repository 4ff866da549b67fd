// $STANDARD_INFORMATION: the four times the system keeps, attributes, security id, USN.
#pragma once

#include <cstdint>
#include <string>

#include "support/binary_data.h"

namespace skelvar {

// The fields that own no storage: a reused value takes them fresh in one assignment.
struct standard_info_fields {
    std::uint64_t created = 0, modified = 0, mft_changed = 0, accessed = 0;
    std::uint32_t file_attributes = 0, max_versions = 0, version = 0, class_id = 0;
    std::uint32_t owner_id = 0, security_id = 0;
    std::uint64_t quota_charged = 0, usn = 0;
    bool is_null = false;
};

struct standard_info : standard_info_fields {
    std::string note;  // "null" when any of the four times is 0
};

// A fresh value that keeps the note's storage (an entry's tables are reused record after record).
inline void reset_for_reuse(standard_info& si) {
    static_cast<standard_info_fields&>(si) = standard_info_fields{};
    si.note.clear();
}

// Volumes before NTFS 3.0 carry a 48-byte value: the fields after the
// version numbers (owner and security ids, quota, USN) then read as 0.
standard_info read_standard_information(kavo::binary_data value);

namespace standard_info_detail {

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

}  // namespace standard_info_detail

// The same into `si`, every field set, its note's storage reused. Inline: one per record.
[[gnu::always_inline]] inline void read_standard_information(kavo::binary_data v, standard_info& si) {
    using standard_info_detail::full_value_bytes, standard_info_detail::read_fields;
    if (v.has(0, full_value_bytes)) read_fields(kavo::binary_data(v.span().first(full_value_bytes)), si);
    else read_fields(v, si);
    si.is_null = !si.created || !si.modified || !si.mft_changed || !si.accessed;
    if (si.is_null) si.note = "null";
    else si.note.clear();
}

}  // namespace skelvar
