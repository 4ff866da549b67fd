// libFuzzer harness for security descriptors and the $SDS stream that holds them.
//
// The input is read three ways: as $SDS bytes (entries of a 0x14-byte header and
// a self-relative descriptor, 16-aligned, every 256 KiB mirrored), as one
// descriptor parsed and rendered, and as a SID.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "ntfs/secure_table.h"
#include "ntfs/security_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);

    skelvar::security_table table;
    const std::size_t added = skelvar::load_sds_bytes(bytes, table);
    if (added > size / 0x14 + 1 || table.entries.size() > added) __builtin_trap();
    for (const auto& [id, info] : table.entries) (void)skelvar::render_descriptor(info);

    skelvar::security_descriptor_info info;
    const bool parsed = skelvar::parse_descriptor(bytes, info);
    const std::string text = skelvar::render_descriptor(bytes);
    if (parsed == text.empty()) __builtin_trap();  // a descriptor that parses renders
    const std::string owner = skelvar::owner_sid_of(bytes);
    if (parsed && owner != info.owner_sid) __builtin_trap();

    const std::string sid = skelvar::sid_to_text(bytes);
    if (!sid.empty() && sid.rfind("S-", 0) != 0) __builtin_trap();
    (void)skelvar::sid_name(bytes);
    if (size >= 4) (void)skelvar::access_mask_text(static_cast<std::uint32_t>(data[0] | data[1] << 8 | data[2] << 16) |
                                                   static_cast<std::uint32_t>(data[3]) << 24);
    return 0;
}
