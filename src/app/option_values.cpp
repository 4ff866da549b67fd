#include "app/option_values.h"

#include "app/arg_list.h"
#include "select/signature_tests.h"

namespace skelvar {

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

std::optional<std::string> drive_letter_path(std::string_view value) {
    value = trim(value);
    if (value.empty() || value.size() > 3 || !is_letter(value[0])) return std::nullopt;
    if (value.size() >= 2 && value[1] != ':') return std::nullopt;
    if (value.size() == 3 && value[2] != '\\' && value[2] != '/') return std::nullopt;
    return std::string(1, value[0]) + ":";
}

std::string shadow_copy_path(std::uint64_t number) {
    return "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy" + std::to_string(number);
}

const signature_info* find_signature(std::string_view name) {
    for (const signature_info& s : signature_table())
        if (option_matches(name, s.name)) return &s;
    return nullptr;
}

bool parse_object_id(std::string_view text, std::uint8_t (&out)[16]) {
    text = trim(text);
    if (text.size() >= 2 && text.front() == '{' && text.back() == '}') text = text.substr(1, text.size() - 2);
    // Groups of 8, 4, 4, 4 and 12 hexadecimal digits.
    static constexpr std::size_t group_sizes[] = {8, 4, 4, 4, 12};
    if (text.size() != 36) return false;
    std::uint8_t bytes[16];
    std::size_t pos = 0, b = 0;
    for (std::size_t g = 0; g < 5; ++g) {
        if (g > 0 && text[pos++] != '-') return false;
        for (std::size_t i = 0; i < group_sizes[g]; i += 2, pos += 2) {
            int hi = hex_value(text[pos]), lo = hex_value(text[pos + 1]);
            if (hi < 0 || lo < 0) return false;
            bytes[b++] = static_cast<std::uint8_t>(hi << 4 | lo);
        }
    }
    // Text order to stored order: reverse the u32 and the two u16 fields.
    const std::uint8_t order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (std::size_t i = 0; i < 16; ++i) out[i] = bytes[order[i]];
    return true;
}

}  // namespace skelvar
