// Decoding one attribute record into the parsed entry, and the time checks.
#pragma once

#include <cstdint>

#include "ntfs/attribute_iterator.h"
#include "ntfs/mft_entry_info.h"

namespace skelvar {

// What decoding needs to know beyond the record.
struct decode_settings {
    std::uint64_t reference_time = 0;   // a $FILE_NAME time later than this is "future"; 0 = no check
    bool keep_zone_identifier = false;  // keep resident Zone.Identifier values for the zone action
    bool render_descriptors = false;    // the record dump shows each $SECURITY_DESCRIPTOR as text
    bool file_by_holder = false;        // attributes from extension records filed under the extension's number
};

struct decode_result {
    bool ok = false;                 // false: the caller stops its attribute loop
    bool is_attribute_list = false;
};

// Decodes `attr` (an attribute of record `holder`) into `entry`. An attribute
// whose header is cut short is refused. With `keep_content` resident values
// are kept in their catalogue rows.
decode_result decode_attribute(mft_entry_info& entry, const attribute_view& attr, const decode_settings& settings,
                               std::uint64_t holder, bool keep_content);

// Writes the first failing time note into the entry; true when none fails.
bool check_times(mft_entry_info& entry);

}  // namespace skelvar
