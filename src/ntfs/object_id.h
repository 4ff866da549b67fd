// $OBJECT_ID: the object id and the three optional birth GUIDs.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "support/binary_data.h"

namespace skelvar {

struct object_id_info {
    std::array<std::uint8_t, 16> object_id{}, birth_volume_id{}, birth_object_id{}, domain_id{};
    std::string text;  // the object id as "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx"
};

// GUIDs missing from a short value stay zero.
object_id_info read_object_id(kavo::binary_data value);

}  // namespace skelvar
