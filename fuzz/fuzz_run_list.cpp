// libFuzzer harness for run lists: the detailed and the compact decoders must
// agree, VCN to LCN mapping stays inside the runs, and pieces of one attribute
// decoded into an entry merge into one row in VCN order.
//
// Input: a non-resident attribute record (its length field is set to the input
// size); the first 8 bytes after the header double as a second piece's start VCN.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ntfs/attribute_decoder.h"
#include "ntfs/attribute_iterator.h"
#include "ntfs/data_runs.h"
#include "ntfs/mft_entry_info.h"
#include "support/binary_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 0x40 || size > 0xFFFF) return 0;
    std::vector<std::uint8_t> attr(data, data + size);
    attr[0x04] = static_cast<std::uint8_t>(size);
    attr[0x05] = static_cast<std::uint8_t>(size >> 8);
    attr[0x06] = attr[0x07] = 0;
    attr[0x08] = 1;  // non-resident
    const kavo::binary_data bytes(attr);

    std::vector<skelvar::detailed_run> detailed;
    std::vector<skelvar::compact_run> compact;
    const bool a = skelvar::decode_run_list(bytes, detailed);
    const bool b = skelvar::decode_compact_runs(bytes, compact);
    if (a != b) __builtin_trap();
    const std::vector<skelvar::compact_run> converted = skelvar::compact_runs(detailed);
    if (converted.size() != compact.size()) __builtin_trap();
    for (std::size_t i = 0; i < compact.size(); ++i) {
        const auto& x = converted[i];
        const auto& y = compact[i];
        if (x.lcn != y.lcn || x.vcn != y.vcn || x.sparse != y.sparse || x.count != y.count) __builtin_trap();
        const skelvar::vcn_mapping m = skelvar::vcn_to_lcn(compact, y.vcn);
        if (y.count && (!m.found || m.run_index > i)) __builtin_trap();
    }

    // Two pieces of one attribute, the second from the record's own VCN field: one row.
    std::vector<std::uint8_t> record(0x400, 0);
    auto put = [&](const std::vector<std::uint8_t>& a_bytes, std::size_t at) {
        std::copy(a_bytes.begin(), a_bytes.end(), record.begin() + static_cast<std::ptrdiff_t>(at));
    };
    if (size > 0x200) return 0;
    std::vector<std::uint8_t> second = attr;
    second[0x0E] ^= 1;  // another attribute id
    put(attr, 0);
    put(second, size);
    skelvar::mft_entry_info entry;
    skelvar::decode_settings settings;
    skelvar::attribute_iterator it(kavo::binary_data(record), 0);
    for (skelvar::attribute_view v; it.next(v);) (void)skelvar::decode_attribute(entry, v, settings, 1, false);
    if (entry.runs_held > skelvar::max_runs_per_entry) __builtin_trap();
    std::size_t held = 0;
    for (const auto& [key, row] : entry.catalogue) held += row.runs.size();
    if (held != entry.runs_held) __builtin_trap();
    return 0;
}
