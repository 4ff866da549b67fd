#include "ntfs/file_record.h"

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
    const std::size_t strides = record.size() / stride;
    const std::uint16_t usn = rec.u16(usa);
    std::uint32_t torn = 0;
    for (std::size_t i = 1; i < h.usa_count && i < strides + 1; ++i) {
        const std::size_t slot = usa + 2 * i;
        const std::size_t tail = i * stride - 2;
        if (!rec.has(slot, 2) || !rec.has(tail, 2)) break;
        if (rec.u16(tail) != usn) ++torn;
        const std::uint8_t lo = record[slot], hi = record[slot + 1];
        record[tail] = lo;
        record[tail + 1] = hi;
    }
    if (torn_sectors) *torn_sectors = torn;
    if (is_baad) return record_status::bad;
    return h.signature == record_signature::indx ? record_status::index_block : record_status::ok;
}

}  // namespace skelvar
