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
// The same into `out`, every field set, its note's storage reused.
void read_standard_information(kavo::binary_data value, standard_info& out);

}  // namespace skelvar
