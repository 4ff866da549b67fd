#include "ntfs/object_id.h"

#include <cstdio>

namespace skelvar {

object_id_info read_object_id(kavo::binary_data v) {
    object_id_info o;
    std::array<std::uint8_t, 16>* guids[] = {&o.object_id, &o.birth_volume_id, &o.birth_object_id, &o.domain_id};
    for (std::size_t g = 0; g < 4; ++g) {
        auto bytes = v.sub(g * 16, 16);
        if (bytes.empty()) break;
        for (std::size_t i = 0; i < 16; ++i) (*guids[g])[i] = bytes.u8(i);
    }
    kavo::binary_data id({o.object_id.data(), o.object_id.size()});
    char text[40];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", id.u32(0), id.u16(4),
                  id.u16(6), id.u8(8), id.u8(9), id.u8(10), id.u8(11), id.u8(12), id.u8(13), id.u8(14), id.u8(15));
    o.text = text;
    return o;
}

}  // namespace skelvar
