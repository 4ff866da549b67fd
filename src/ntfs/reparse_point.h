// $REPARSE_POINT: the tag and, for symbolic links and junctions, where they point.
#pragma once

#include <cstdint>
#include <string>

#include "support/binary_data.h"

namespace skelvar {

constexpr std::uint32_t reparse_tag_mount_point = 0xA0000003;
constexpr std::uint32_t reparse_tag_symlink = 0xA000000C;
constexpr std::uint32_t symlink_relative = 0x1;  // flags of a symbolic link: target relative to its folder

struct reparse_info {
    std::uint32_t tag = 0;
    std::u16string target;          // the print name, else the substitute name (leading NULs dropped)
    bool has_substitute = false;    // the substitute name is not empty
    std::uint32_t symlink_flags = 0;

    // A symbolic link or junction that sends a path elsewhere.
    bool redirects() const {
        return (tag == reparse_tag_symlink || tag == reparse_tag_mount_point) && has_substitute && !target.empty();
    }
    bool relative() const { return tag == reparse_tag_symlink && (symlink_flags & symlink_relative) != 0; }
};

// False when the value is too short or its name offsets point outside it.
bool read_reparse_point(kavo::binary_data value, reparse_info& out);

}  // namespace skelvar
