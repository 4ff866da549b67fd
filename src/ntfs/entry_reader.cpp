#include "ntfs/entry_reader.h"

#include <vector>

#include "ntfs/attribute_iterator.h"
#include "ntfs/attribute_list.h"
#include "ntfs/record_header.h"
#include "support/binary_data.h"

namespace skelvar {

bool entry_reader::parse_header(std::span<const std::uint8_t> record, std::uint64_t entry_number,
                                mft_entry_info& entry) const {
    return parse_header(record, read_record_header(kavo::binary_data(record)), entry_number, entry);
}

bool entry_reader::parse_header(std::span<const std::uint8_t> record, const file_record_header& header,
                                std::uint64_t entry_number, mft_entry_info& entry) const {
    entry.clear();
    entry.header = header;
    entry.entry_number = entry_number;
    entry.sequence_number = entry.header.sequence;
    entry.base_ref = entry.header.base_ref;
    entry.is_extension = entry.base_ref != 0;
    return !record.empty() && entry.header.first_attribute <= record.size();
}

bool entry_reader::parse_attributes(std::span<const std::uint8_t> record, std::uint64_t entry_number,
                                    mft_entry_info& entry, bool keep_content) const {
    const kavo::binary_data rec(record);
    const std::size_t size = record.size();
    const std::size_t first = entry.header.first_attribute;
    // A bound that starts at twice the first-attribute offset and grows by each
    // following attribute's length: attributes reaching past it are not read.
    std::size_t bound = first;
    // Where the attribute lists lie; their views are made again only when there are any,
    // as most records hold none.
    std::size_t list_offsets[16];
    std::size_t list_count = 0;
    bool decoded_any = false;
    attribute_iterator it(rec, first);
    for (attribute_view a; it.next(a);) {
        bound += decoded_any ? a.length : first;
        if (bound > size) break;
        const decode_result r = decode_attribute(entry, a, decode_, entry_number, keep_content);
        if (!r.ok) break;
        decoded_any = true;
        if (r.is_attribute_list && list_count < std::size(list_offsets)) list_offsets[list_count++] = a.offset;
    }
    if (list_count) {
        attribute_view lists[std::size(list_offsets)];
        for (std::size_t i = 0; i < list_count; ++i) attribute_iterator(rec, list_offsets[i]).next(lists[i]);
        resolve_attribute_lists(*this, entry, entry_number, std::span(lists, list_count), keep_content);
    }
    return decoded_any;
}

bool entry_reader::parse(std::span<const std::uint8_t> record, std::uint64_t entry_number, mft_entry_info& entry,
                         bool keep_content) const {
    return parse_header(record, entry_number, entry) && parse_attributes(record, entry_number, entry, keep_content);
}

bool entry_reader::read_and_parse(std::uint64_t entry_number, mft_entry_info& entry, bool keep_content) const {
    std::vector<std::uint8_t> record;
    return read_and_parse(entry_number, entry, record, keep_content);
}

bool entry_reader::read_and_parse(std::uint64_t entry_number, mft_entry_info& entry, std::vector<std::uint8_t>& record,
                                  bool keep_content) const {
    if (records_.read_record(entry_number, record) == record_status::unreadable) return false;
    return parse(record, entry_number, entry, keep_content);
}

}  // namespace skelvar
