// $VOLUME_NAME and $VOLUME_INFORMATION of the $Volume record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "support/binary_data.h"

namespace skelvar {

struct volume_info {
    std::uint8_t major = 0, minor = 0;
    std::uint16_t flags = 0;
    std::string text;  // "ver: 3.1 (WinXP)"
};

// Empty when the value is too short to hold the version and flags.
std::optional<volume_info> read_volume_information(kavo::binary_data value);

// The label as stored: UTF-16 without a terminator.
std::u16string read_volume_name(kavo::binary_data value);

}  // namespace skelvar
