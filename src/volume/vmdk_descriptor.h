// The text descriptor embedded in a sparse VMDK: which disk this is (CID),
// which it was forked from (parentCID, parentFileNameHint), and how names are
// encoded.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace skelvar {

struct vmdk_descriptor {
    std::vector<std::string> lines;  // every line as read, without its line break
    // Values without surrounding blanks and double quotes. CIDs are lower-cased
    // so that they compare as the hexadecimal text they are.
    std::string cid;
    std::string parent_cid;
    std::string encoding;
    std::string parent_hint;
    std::string create_type;

    // parentCID "ffffffff" (or none at all): nothing below this disk.
    bool is_base() const { return parent_cid.empty() || parent_cid == "ffffffff"; }
};

// The text runs up to its first zero byte; lines end at "\n" (a "\r" before it is dropped).
vmdk_descriptor parse_vmdk_descriptor(std::span<const std::uint8_t> text);

}  // namespace skelvar
