// libFuzzer harness for attribute lists and the extension records they name,
// over an extracted $MFT held in memory.
//
// Input: [0] bit 0: the list is non-resident (out of reach, so the records
// whose base reference names entry 1 are taken instead), bit 1: entry 1 is in
// use; [1..2] list length L (at most 800); then L bytes of list, then up to 12
// records of 1024 bytes served as entries 2, 3, ... Entry 0 is a $MFT record and
// entry 1 the base record holding the list, both made here.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "ntfs/entry_reader.h"
#include "ntfs/memory_mft_source.h"
#include "ntfs/mft_entry_info.h"
#include "ntfs/mft_reader.h"
#include "support/diag_log.h"

namespace {

constexpr std::size_t record_size = 1024;
constexpr std::size_t max_list = 800;
constexpr std::size_t max_records = 12;

void put(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t v, int width) {
    for (int i = 0; i < width; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A FILE record (update sequence at 0x30, first attribute at 0x38) holding `attrs`.
std::vector<std::uint8_t> file_record(std::uint16_t flags, const std::vector<std::uint8_t>& attrs) {
    std::vector<std::uint8_t> r(record_size, 0);
    std::memcpy(r.data(), "FILE", 4);
    put(r, 0x04, 0x30, 2);
    put(r, 0x06, 3, 2);
    put(r, 0x10, 1, 2);
    put(r, 0x14, 0x38, 2);
    put(r, 0x16, flags, 2);
    put(r, 0x1C, record_size, 4);
    std::copy(attrs.begin(), attrs.end(), r.begin() + 0x38);
    put(r, 0x38 + attrs.size(), 0xFFFFFFFF, 4);
    put(r, 0x18, 0x38 + attrs.size() + 8, 4);
    // Sector tails carry the update sequence number 1; the array keeps what was there.
    put(r, 0x30, 1, 2);
    for (int i = 1; i <= 2; ++i) {
        r[0x30 + 2 * i] = r[i * 512 - 2];
        r[0x31 + 2 * i] = r[i * 512 - 1];
        put(r, i * 512 - 2, 1, 2);
    }
    return r;
}

std::vector<std::uint8_t> resident(std::uint32_t type, std::uint16_t id, const std::uint8_t* value, std::size_t n) {
    std::vector<std::uint8_t> a(0x18 + ((n + 7) & ~std::size_t(7)), 0);
    put(a, 0x00, type, 4);
    put(a, 0x04, a.size(), 4);
    put(a, 0x0E, id, 2);
    put(a, 0x10, n, 4);
    put(a, 0x14, 0x18, 2);
    if (n) std::memcpy(a.data() + 0x18, value, n);
    return a;
}

std::vector<std::uint8_t> non_resident(std::uint32_t type, std::uint16_t id, std::uint64_t size) {
    std::vector<std::uint8_t> a(0x48, 0);
    put(a, 0x00, type, 4);
    put(a, 0x04, a.size(), 4);
    a[0x08] = 1;
    put(a, 0x0E, id, 2);
    put(a, 0x20, 0x40, 2);
    put(a, 0x28, (size + 4095) & ~std::uint64_t(4095), 8);
    put(a, 0x30, size, 8);
    put(a, 0x38, size, 8);
    a[0x40] = 0x11;  // one cluster at LCN 16
    a[0x41] = 0x01;
    a[0x42] = 0x10;
    return a;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const bool outside = data[0] & 1;
    const std::uint16_t flags = (data[0] & 2) ? 1 : 0;
    const std::size_t list_length = std::min<std::size_t>(data[1] | data[2] << 8, std::min(max_list, size - 3));
    const std::uint8_t* list = data + 3;
    const std::uint8_t* rest = list + list_length;
    const std::size_t rest_size = size - 3 - list_length;

    std::vector<std::uint8_t> image;
    const std::uint8_t si[72] = {};
    std::vector<std::uint8_t> mft_attrs = resident(0x10, 0, si, sizeof si);
    const auto mft_data = non_resident(0x80, 1, (2 + max_records) * record_size);
    mft_attrs.insert(mft_attrs.end(), mft_data.begin(), mft_data.end());
    const auto rec0 = file_record(1, mft_attrs);
    image.insert(image.end(), rec0.begin(), rec0.end());
    std::vector<std::uint8_t> base_attrs = resident(0x10, 0, si, sizeof si);
    const auto list_attr = outside ? non_resident(0x20, 1, list_length) : resident(0x20, 1, list, list_length);
    base_attrs.insert(base_attrs.end(), list_attr.begin(), list_attr.end());
    const auto rec1 = file_record(flags, base_attrs);
    image.insert(image.end(), rec1.begin(), rec1.end());
    const std::size_t records = std::min(max_records, (rest_size + record_size - 1) / record_size);
    image.resize(image.size() + records * record_size, 0);
    std::memcpy(image.data() + 2 * record_size, rest, std::min(rest_size, records * record_size));

    skelvar::diag_log log;
    skelvar::mft_reader reader(log);
    reader.attach(std::make_unique<skelvar::memory_mft_source>(std::move(image)));
    for (const bool by_holder : {false, true}) {
        skelvar::decode_settings decode;
        decode.file_by_holder = by_holder;
        skelvar::entry_reader entries(reader, decode);
        skelvar::mft_entry_info entry;
        if (!entries.read_and_parse(1, entry, by_holder)) __builtin_trap();  // entry 1 is made well-formed
        if (!entry.has_attribute_list || entry.attribute_list_non_resident != outside) __builtin_trap();
        if (entry.file_names.size() > skelvar::max_names_per_entry) __builtin_trap();
        if (entry.runs_held > skelvar::max_runs_per_entry) __builtin_trap();
        // Each extension record is parsed on its own too, as the walk does.
        for (std::uint64_t n = 2; n < 2 + records; ++n) (void)entries.read_and_parse(n, entry);
    }
    return 0;
}
