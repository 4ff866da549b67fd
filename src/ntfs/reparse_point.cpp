#include "ntfs/reparse_point.h"

namespace skelvar {

bool read_reparse_point(kavo::binary_data v, reparse_info& rp) {
    if (v.size() < 17) return false;
    rp.tag = v.u32(0x00);
    const std::uint16_t data_length = v.u16(0x04);
    if (data_length == 0 || !v.has(0x08, data_length)) return false;
    kavo::binary_data data = v.sub(0x08, data_length);
    // Symbolic links carry a flags word before their path buffer.
    const std::size_t buffer = rp.tag == reparse_tag_symlink ? 0x0C : 0x08;
    if (rp.tag == reparse_tag_symlink) rp.symlink_flags = data.u32(0x08);
    std::size_t sub_off = data.u16(0x00), sub_len = data.u16(0x02);
    std::size_t print_off = data.u16(0x04), print_len = data.u16(0x06);
    rp.has_substitute = sub_len != 0;
    if (!data.has(buffer + sub_off, sub_len) || !data.has(buffer + print_off, print_len)) return false;
    std::u16string sub = data.utf16(buffer + sub_off, sub_len / 2);
    std::size_t skipped = 0;
    while (skipped < sub.size() && sub[skipped] == 0) ++skipped;
    sub.erase(0, skipped);
    if (print_len != 0) {
        print_off += skipped * 2;
        print_len = print_len >= skipped * 2 ? print_len - skipped * 2 : 0;
        rp.target = data.utf16(buffer + print_off, print_len / 2);
        if (!rp.target.empty()) return true;
    }
    rp.target = sub;
    return true;
}

}  // namespace skelvar
