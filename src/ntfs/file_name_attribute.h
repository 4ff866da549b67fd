// $FILE_NAME: one name of a file with its parent reference and its own four times.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "ntfs/ntfs_types.h"
#include "support/binary_data.h"

namespace skelvar {

// The fields of a name that own no storage: a reused name takes them fresh in one assignment.
struct file_name_fields {
    std::uint64_t parent_ref = 0;
    std::uint64_t created = 0, modified = 0, mft_changed = 0, accessed = 0;
    std::uint64_t allocated_size = 0, real_size = 0;
    std::uint32_t flags = 0, reparse_value = 0;
    std::uint8_t name_length = 0;
    std::uint8_t name_space = 0;
    std::uint16_t attr_id = 0;
    bool is_dos = false;
    bool indexed = false;  // the resident attribute's indexed flag: the name is in its directory's index
    bool anomaly = false;
    std::uint64_t holder_entry = 0;  // record that held the attribute
};

struct file_name_info : file_name_fields {
    std::u16string name;
    std::string note;  // "future" or "null"
};

namespace file_name_detail {

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

}  // namespace file_name_detail

// False when the value is shorter than the fixed part (0x42 bytes). A time
// later than `reference_time` (0 = no check) is noted "future", a zero time "null".
// Inline: every record's names come through here.
[[gnu::always_inline]] inline bool read_file_name(kavo::binary_data v, std::uint64_t reference_time, file_name_info& fn) {
    using file_name_detail::fixed_bytes;
    if (!v.has(0, fixed_bytes)) return false;
    file_name_detail::read_fixed_fields(kavo::binary_data(v.span().first(fixed_bytes)), fn);
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
