#include "ntfs/file_record.h"

#include <algorithm>

#include "ntfs/record_header.h"
#include "support/binary_data.h"

namespace skelvar {

record_status validate_and_fixup(std::span<std::uint8_t> record, std::uint32_t* torn_sectors, baad_records baad,
                                 file_record_header* header) {
    file_record_header h = read_record_header(kavo::binary_data(record));
    if (header) *header = h;
    const bool is_baad = h.signature == record_signature::baad;
    if (is_baad) {
        if (baad == baad_records::as_found) return record_status::bad;
        h.signature = record_signature::file;  // the layout rules of the record it was
    }
    if (h.signature == record_signature::file ? !h.valid_file() : h.signature != record_signature::indx)
        return record_status::unreadable;
    constexpr std::size_t stride = fixup_stride;
    kavo::binary_data rec(record);
    const std::size_t usa = h.usa_offset;
    const std::uint16_t usn = rec.u16(usa);
    // Sectors fixed up: one per array slot after the sequence number, as far as both the
    // slots and the sector tails lie inside the record. Every access below is within it.
    std::size_t fixups = h.usa_count ? h.usa_count - 1u : 0;
    fixups = std::min(fixups, record.size() / stride);
    fixups = std::min(fixups, rec.has(usa, 2) ? (record.size() - usa - 2) / 2 : 0);
    std::uint32_t torn = 0;
    for (std::size_t i = 1; i <= fixups; ++i) {
        const std::size_t slot = usa + 2 * i;
        const std::size_t tail = i * stride - 2;
        if (record[tail] != static_cast<std::uint8_t>(usn) || record[tail + 1] != usn >> 8) ++torn;
        record[tail] = record[slot];
        record[tail + 1] = record[slot + 1];
    }
    if (torn_sectors) *torn_sectors = torn;
    if (is_baad) return record_status::bad;
    return h.signature == record_signature::indx ? record_status::index_block : record_status::ok;
}

}  // namespace skelvar
