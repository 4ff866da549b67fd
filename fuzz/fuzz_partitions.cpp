// libFuzzer harness for partition tables: an MBR with its chain of extended
// boot records, or a GPT behind a protective MBR, read from a disk held in
// memory (reads past its end fail), with and without the guess for a disk
// whose first sector is no table. Each partition's first sector is recognised.
#include <cstddef>
#include <cstdint>
#include <span>

#include "volume/partition_info.h"
#include "volume/partition_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> disk(data, size);
    for (const bool guess : {false, true}) {
        skelvar::partition_list records;
        const bool found = skelvar::list_partitions(disk, records, guess);
        if (found == records.empty()) __builtin_trap();
        if (records.size() > skelvar::max_partition_records) __builtin_trap();
        for (const skelvar::partition_info& p : records)
            if (p.byte_end() < p.byte_start()) __builtin_trap();
    }
    return 0;
}
