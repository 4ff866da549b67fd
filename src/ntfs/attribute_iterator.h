// The attributes of a fixed-up FILE record, one bounds-checked view each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

}  // namespace skelvar
