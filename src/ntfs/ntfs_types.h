// Small NTFS vocabulary shared by the parsers and the writers.
#pragma once

#include <cstdint>

namespace skelvar {

// Attribute key: type in the low 48 bits, attribute id in the high 16 bits.
using attr_key = std::uint64_t;
constexpr std::uint64_t type_mask_48 = 0x0000FFFFFFFFFFFFull;
constexpr attr_key make_attr_key(std::uint32_t type, std::uint16_t id) {
    return (static_cast<std::uint64_t>(id) << 48) | (static_cast<std::uint64_t>(type) & type_mask_48);
}
constexpr std::uint64_t key_type(attr_key k) { return k & type_mask_48; }
constexpr std::uint16_t key_id(attr_key k) { return static_cast<std::uint16_t>(k >> 48); }
// Types without a decoder are catalogued under the all-ones type.
constexpr std::uint64_t unknown_attr_type = type_mask_48;

// File reference: 48-bit entry number, 16-bit sequence number on top.
constexpr std::uint64_t ref_entry(std::uint64_t ref) { return ref & type_mask_48; }
constexpr std::uint16_t ref_seq(std::uint64_t ref) { return static_cast<std::uint16_t>(ref >> 48); }
constexpr std::uint64_t make_ref(std::uint64_t entry, std::uint16_t seq) {
    return (entry & type_mask_48) | (static_cast<std::uint64_t>(seq) << 48);
}

enum attr_type : std::uint32_t {
    at_standard_information = 0x10,
    at_attribute_list = 0x20,
    at_file_name = 0x30,
    at_object_id = 0x40,
    at_security_descriptor = 0x50,
    at_volume_name = 0x60,
    at_volume_information = 0x70,
    at_data = 0x80,
    at_index_root = 0x90,
    at_index_allocation = 0xA0,
    at_bitmap = 0xB0,
    at_reparse_point = 0xC0,
    at_ea_information = 0xD0,
    at_ea = 0xE0,
    at_property_set = 0xF0,
    at_logged_utility_stream = 0x100,
    at_end = 0xFFFFFFFF,
};

constexpr std::uint16_t record_in_use = 0x0001;
constexpr std::uint16_t record_is_directory = 0x0002;

enum file_name_space : std::uint8_t { ns_posix = 0, ns_win32 = 1, ns_dos = 2, ns_win32_dos = 3 };

constexpr std::uint64_t root_entry = 5;
constexpr std::uint64_t one_day_ticks = 864000000000ull;
constexpr std::uint64_t one_hour_ticks = 36000000000ull;

}  // namespace skelvar
