#include "ntfs/record_header.h"

namespace skelvar {

namespace {

record_signature signature_of(kavo::binary_data rec) {
    if (rec.starts_with("FILE", 4)) return record_signature::file;
    if (rec.starts_with("INDX", 4)) return record_signature::indx;
    if (rec.starts_with("BAAD", 4)) return record_signature::baad;
    return record_signature::other;
}

}  // namespace

namespace {

// Bytes of the header fields: inlined over a view of exactly this size, the field reads
// need no bounds checks at run time.
constexpr std::size_t header_bytes = 0x30;

[[gnu::always_inline]] inline file_record_header decode_header(const kavo::binary_data& rec) {
    file_record_header h;
    h.signature = signature_of(rec);
    h.usa_offset = rec.u16(0x04);
    h.usa_count = rec.u16(0x06);
    h.logfile_sequence = rec.u64(0x08);
    h.sequence = rec.u16(0x10);
    h.link_count = rec.u16(0x12);
    h.first_attribute = rec.u16(0x14);
    h.flags = rec.u16(0x16);
    h.bytes_used = rec.u32(0x18);
    h.bytes_allocated = rec.u32(0x1C);
    h.base_ref = rec.u64(0x20);
    h.next_attribute_id = rec.u16(0x28);
    // The record number sits between the attribute id and the update sequence array.
    h.has_record_number = h.usa_offset >= 0x30;
    if (h.has_record_number) h.record_number = rec.u32(0x2C);
    h.complete = !rec.truncated();
    return h;
}

}  // namespace

file_record_header read_record_header(kavo::binary_data record) {
    if (record.has(0, header_bytes)) return decode_header(kavo::binary_data(record.span().first(header_bytes)));
    return decode_header(kavo::binary_data(record.span()));  // a fresh truncation flag
}

bool file_record_header::extends(std::uint64_t base_entry, const file_record_header& base) const {
    if (base_ref == 0 || ref_entry(base_ref) != base_entry) return false;
    const std::uint16_t linked = ref_seq(base_ref);
    // Some writers leave sequence numbers at 0: nothing to compare then.
    if (linked == 0 || base.sequence == 0 || linked == base.sequence) return true;
    return !base.in_use() && !in_use() && next_sequence(linked) == base.sequence;
}

bool file_record_header::listed_as(std::uint16_t listed) const {
    if (listed == 0 || sequence == 0 || listed == sequence) return true;
    return !in_use() && next_sequence(listed) == sequence;
}

}  // namespace skelvar
