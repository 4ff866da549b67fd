// The shared security descriptors of $Secure:$SDS (entry 9), keyed by the
// security id that $STANDARD_INFORMATION carries.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "ntfs/data_runs.h"
#include "ntfs/security_descriptor.h"

namespace skelvar {

class entry_reader;
class ntfs_volume;

struct security_table {
    std::map<std::uint32_t, security_descriptor_info> entries;
    bool attempted = false;       // a load was tried (it is not tried again)
    std::uint64_t kept_bytes = 0; // estimate of the memory the entries hold

    const security_descriptor_info* find(std::uint32_t id) const {
        auto it = entries.find(id);
        return it == entries.end() ? nullptr : &it->second;
    }
};

// Walks $SDS bytes held in memory into the table; returns the entries added.
std::size_t load_sds_bytes(std::span<const std::uint8_t> sds, security_table& table);

// The same over a non-resident $SDS read through the volume, window by window.
std::size_t load_sds_stream(ntfs_volume& volume, const std::vector<compact_run>& runs, std::uint64_t data_size,
                            security_table& table);

// Reads entry 9 of the open source, finds its $SDS stream and loads it.
// True when at least one entry was loaded.
bool load_security_table(const entry_reader& entries, security_table& table);

}  // namespace skelvar
