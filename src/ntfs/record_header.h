// The header of an MFT file record, decoded once. Every reader of records
// (the walk, the volume bootstrap, the inode store, attribute lists, path
// lookup) asks this one struct instead of reading offsets itself.
#pragma once

#include <cstdint>

#include "ntfs/ntfs_types.h"
#include "support/binary_data.h"

namespace skelvar {

// Where the update sequence array starts: 0x30 since NTFS 3.1, which put the
// record number at 0x2C; 0x2A before, with no record number.
constexpr std::uint16_t usa_offset_with_record_number = 0x30;
constexpr std::uint16_t usa_offset_without_record_number = 0x2A;
// The record header fields end here at most; a larger first-attribute offset is not a FILE record.
constexpr std::uint16_t max_first_attribute = 0x48;
// An update sequence count above this would describe records larger than 4 KiB.
constexpr std::uint16_t max_usa_count = 9;

enum class record_signature : std::uint8_t { other, file, indx, baad };

struct file_record_header {
    record_signature signature = record_signature::other;
    std::uint16_t usa_offset = 0;
    std::uint16_t usa_count = 0;  // u16 words of the update sequence array, its number included
    std::uint64_t logfile_sequence = 0;
    std::uint16_t sequence = 0;
    std::uint16_t link_count = 0;
    std::uint16_t first_attribute = 0;
    std::uint16_t flags = 0;
    std::uint32_t bytes_used = 0;
    std::uint32_t bytes_allocated = 0;
    std::uint64_t base_ref = 0;  // 0 for a base record
    std::uint16_t next_attribute_id = 0;
    std::uint32_t record_number = 0;  // valid when `has_record_number`
    bool has_record_number = false;
    bool complete = false;  // the bytes held every field above

    bool in_use() const { return (flags & record_in_use) != 0; }
    bool is_directory() const { return (flags & record_is_directory) != 0; }
    bool is_extension() const { return base_ref != 0; }

    // A FILE record header the record reader accepts, in either layout.
    bool valid_file() const {
        return signature == record_signature::file && complete &&
               (usa_offset == usa_offset_with_record_number || usa_offset == usa_offset_without_record_number) &&
               usa_count <= max_usa_count && first_attribute <= max_first_attribute;
    }
    // Record size the update sequence count describes: one sector of 512 bytes per
    // word after the sequence number; 0 when it describes none.
    std::uint32_t size_from_usa_count() const { return usa_count >= 2 ? (usa_count - 1u) * 512u : 0; }
    // The entry number the record names itself; `position` (entry number by place) otherwise.
    std::uint64_t entry_number_or(std::uint64_t position) const {
        return has_record_number ? record_number : position;
    }
    // This (extension) record belongs to `base`, entry `base_entry`: its base
    // reference names that entry and the sequence number the base had when the
    // two were linked. Freeing a record moves its sequence number on by one, so
    // a deleted base and its freed extension records differ by exactly one.
    bool extends(std::uint64_t base_entry, const file_record_header& base) const;
    // The sequence number `listed` (an attribute list's reference to this record)
    // names this record, or the record as it was before it was freed.
    bool listed_as(std::uint16_t listed) const;
};

// The sequence number a record takes when it is freed (0 is never used).
constexpr std::uint16_t next_sequence(std::uint16_t s) { return s == 0xFFFF ? 1 : static_cast<std::uint16_t>(s + 1); }

namespace record_header_detail {

// The four signature bytes as one little-endian word.
constexpr std::uint32_t signature_word(const char (&s)[5]) {
    return static_cast<std::uint8_t>(s[0]) | static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[3])) << 24;
}

inline record_signature signature_of(const kavo::binary_data& rec) {
    if (!rec.has(0, 4)) return record_signature::other;
    switch (rec.u32(0)) {
        case signature_word("FILE"): return record_signature::file;
        case signature_word("INDX"): return record_signature::indx;
        case signature_word("BAAD"): return record_signature::baad;
        default: return record_signature::other;
    }
}

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

}  // namespace record_header_detail

// Inline: the walk reads one header per record.
[[gnu::always_inline]] inline file_record_header read_record_header(kavo::binary_data record) {
    using record_header_detail::decode_header, record_header_detail::header_bytes;
    if (record.has(0, header_bytes)) return decode_header(kavo::binary_data(record.span().first(header_bytes)));
    return decode_header(kavo::binary_data(record.span()));  // a fresh truncation flag
}

}  // namespace skelvar
