#include "ntfs/volume_attributes.h"

namespace skelvar {

std::optional<volume_info> read_volume_information(kavo::binary_data v) {
    volume_info vi;
    vi.major = v.u8(0x08);
    vi.minor = v.u8(0x09);
    vi.flags = v.u16(0x0A);
    if (v.truncated()) return std::nullopt;
    vi.text = "ver: " + std::to_string(vi.major) + "." + std::to_string(vi.minor);
    if (vi.major == 1 && vi.minor == 2) vi.text += " (WinNT)";
    else if (vi.major == 3 && vi.minor == 0) vi.text += " (Win2k)";
    else if (vi.major == 3 && vi.minor == 1) vi.text += " (WinXP)";
    else if (vi.major == 3 && vi.minor > 1) vi.text += " (Windows)";
    else vi.text += "(Unk version)";
    return vi;
}

std::u16string read_volume_name(kavo::binary_data v) { return v.utf16(0, v.size() / 2); }

}  // namespace skelvar
