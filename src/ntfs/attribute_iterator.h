// The attributes of a fixed-up FILE record, one bounds-checked view each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "ntfs/ntfs_types.h"
#include "support/binary_data.h"

namespace skelvar {

// One attribute record as it lies in its FILE record.
struct attribute_view {
    std::size_t offset = 0;  // of the attribute in the record
    std::uint32_t type = 0;
    std::uint32_t length = 0;
    std::uint8_t non_resident = 0;
    std::uint8_t name_length = 0;  // UTF-16 units
    std::uint16_t name_offset = 0;
    std::uint16_t flags = 0;
    std::uint16_t id = 0;
    kavo::binary_data bytes;  // the whole attribute record

    // resident
    std::uint32_t value_length = 0;
    std::uint16_t value_offset = 0;
    kavo::binary_data value;  // empty when absent or not inside the attribute

    // non-resident
    std::uint64_t start_vcn = 0, last_vcn = 0;
    std::uint16_t runlist_offset = 0, compression_unit = 0;
    std::uint64_t allocated_size = 0, data_size = 0, initialized_size = 0;

    // The header fields its kind needs ran past the attribute's own length.
    bool header_truncated = false;

    // The attribute name; it is read from the record, where a damaged name offset may point.
    std::u16string name() const {
        if (name_offset == 0 || name_length == 0) return {};  // most attributes: no call
        return read_name();
    }

    kavo::binary_data record;  // the whole record, for the name

private:
    std::u16string read_name() const;
};

// Steps through the attributes from the first-attribute offset. It stops at
// the end marker, at an attribute shorter than its type and length fields, and
// at one that does not fit in the record.
class attribute_iterator {
public:
    attribute_iterator(kavo::binary_data record, std::size_t first_attribute)
        : record_(record.span()), pos_(first_attribute) {}

    // Fills `out` with the next attribute; false at the end of the list.
    bool next(attribute_view& out);

private:
    kavo::binary_data record_;
    std::size_t pos_;
    bool done_ = false;
};

namespace attribute_header {

// Header bytes of a resident attribute (up to its value offset) and of a non-resident one.
constexpr std::size_t resident_bytes = 0x16;
constexpr std::size_t nonresident_bytes = 0x40;

// Every scalar field of the view is set, those of the other kind to 0. Inlined over a view
// of a known size, the field reads need no bounds checks at run time.
[[gnu::always_inline]] inline void read_fields(const kavo::binary_data& attr, attribute_view& a) {
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

}  // namespace attribute_header

// Inline: the attribute loops of every record call it a few times.
inline bool attribute_iterator::next(attribute_view& a) {
    if (done_ || !record_.has(pos_, 8)) return false;
    // Views of checked ranges: the reads through them need no checks of their own.
    const std::span<const std::uint8_t> bytes = record_.span();
    const kavo::binary_data head(bytes.subspan(pos_, 8));
    const std::uint32_t type = head.u32(0);
    const std::uint32_t length = head.u32(4);
    if (type == at_end || length < 8 || !record_.has(pos_, length)) {
        done_ = true;
        return false;
    }
    a.record = record_;
    a.offset = pos_;
    a.type = type;
    a.length = length;
    a.bytes = kavo::binary_data(bytes.subspan(pos_, length));
    const kavo::binary_data& attr = a.bytes;
    // Nearly every attribute holds its whole header, so no field can be cut short.
    if (length >= attribute_header::nonresident_bytes) {
        attribute_header::read_fields(kavo::binary_data(attr.span().first(attribute_header::nonresident_bytes)), a);
        a.header_truncated = false;
    } else if (length >= attribute_header::resident_bytes && attr.u8(0x08) == 0) {
        attribute_header::read_fields(kavo::binary_data(attr.span().first(attribute_header::resident_bytes)), a);
        a.header_truncated = false;
    } else {
        attribute_header::read_fields(attr, a);
        a.header_truncated = attr.truncated();
    }
    a.value = !a.non_resident && a.value_offset && a.value_length ? attr.sub(a.value_offset, a.value_length)
                                                                   : kavo::binary_data();
    pos_ += length;
    return true;
}

}  // namespace skelvar
