#include "ntfs/standard_information.h"

namespace skelvar {

standard_info read_standard_information(kavo::binary_data v) {
    standard_info si;
    si.created = v.u64(0x00);
    si.modified = v.u64(0x08);
    si.mft_changed = v.u64(0x10);
    si.accessed = v.u64(0x18);
    si.file_attributes = v.u32(0x20);
    si.max_versions = v.u32(0x24);
    si.version = v.u32(0x28);
    si.class_id = v.u32(0x2C);
    si.owner_id = v.u32(0x30);
    si.security_id = v.u32(0x34);
    si.quota_charged = v.u64(0x38);
    si.usn = v.u64(0x40);
    if (!si.created || !si.modified || !si.mft_changed || !si.accessed) {
        si.is_null = true;
        si.note = "null";
    }
    return si;
}

}  // namespace skelvar
