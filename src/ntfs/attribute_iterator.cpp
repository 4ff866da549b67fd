#include "ntfs/attribute_iterator.h"

#include "ntfs/ntfs_types.h"

namespace skelvar {

std::u16string attribute_view::read_name() const { return record.utf16(offset + name_offset, name_length); }

namespace {

// Header bytes of a resident attribute (up to its value offset) and of a non-resident one.
constexpr std::size_t resident_header_bytes = 0x16;
constexpr std::size_t nonresident_header_bytes = 0x40;

// Every scalar field of the view is set, those of the other kind to 0. Inlined over a view
// of a known size, the field reads need no bounds checks at run time.
[[gnu::always_inline]] inline void read_header_fields(const kavo::binary_data& attr, attribute_view& a) {
    a.non_resident = attr.u8(0x08);
    a.name_length = attr.u8(0x09);
    a.name_offset = attr.u16(0x0A);
    a.flags = attr.u16(0x0C);
    a.id = attr.u16(0x0E);
    if (!a.non_resident) {
        a.value_length = attr.u32(0x10);
        a.value_offset = attr.u16(0x14);
        a.start_vcn = a.last_vcn = 0;
        a.runlist_offset = a.compression_unit = 0;
        a.allocated_size = a.data_size = a.initialized_size = 0;
    } else {
        a.start_vcn = attr.u64(0x10);
        a.last_vcn = attr.u64(0x18);
        a.runlist_offset = attr.u16(0x20);
        a.compression_unit = attr.u16(0x22);
        a.allocated_size = attr.u64(0x28);
        a.data_size = attr.u64(0x30);
        a.initialized_size = attr.u64(0x38);
        a.value_length = 0;
        a.value_offset = 0;
    }
}

}  // namespace

bool attribute_iterator::next(attribute_view& a) {
    if (done_ || !record_.has(pos_, 8)) return false;
    const std::uint32_t type = record_.u32(pos_);
    const std::uint32_t length = record_.u32(pos_ + 4);
    if (type == at_end || length < 8 || !record_.has(pos_, length)) {
        done_ = true;
        return false;
    }
    a.record = record_;
    a.offset = pos_;
    a.type = type;
    a.length = length;
    a.bytes = record_.sub(pos_, length);
    const kavo::binary_data& attr = a.bytes;
    // Nearly every attribute holds its whole header, so no field can be cut short.
    if (length >= nonresident_header_bytes) {
        read_header_fields(kavo::binary_data(attr.span().first(nonresident_header_bytes)), a);
        a.header_truncated = false;
    } else if (length >= resident_header_bytes && attr.u8(0x08) == 0) {
        read_header_fields(kavo::binary_data(attr.span().first(resident_header_bytes)), a);
        a.header_truncated = false;
    } else {
        read_header_fields(attr, a);
        a.header_truncated = attr.truncated();
    }
    a.value = !a.non_resident && a.value_offset && a.value_length ? attr.sub(a.value_offset, a.value_length)
                                                                   : kavo::binary_data();
    pos_ += length;
    return true;
}

}  // namespace skelvar
