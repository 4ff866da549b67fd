// $FILE_NAME: one name of a file with its parent reference and its own four times.
#pragma once

#include <cstdint>
#include <string>

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

// False when the value is shorter than the fixed part (0x42 bytes). A time
// later than `reference_time` (0 = no check) is noted "future", a zero time "null".
bool read_file_name(kavo::binary_data value, std::uint64_t reference_time, file_name_info& out);

}  // namespace skelvar
