// From a record (or an entry number) to a parsed entry: header, attributes and
// what the attribute lists pull in from extension records. No selection here.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ntfs/attribute_decoder.h"
#include "ntfs/mft_entry_info.h"
#include "ntfs/mft_reader.h"

namespace skelvar {

class entry_reader {
public:
    entry_reader(mft_reader& records, const decode_settings& decode) : records_(records), decode_(decode) {}

    mft_reader& records() const { return records_; }
    const decode_settings& decode() const { return decode_; }

    // Resets `entry` and fills its header fields; false when the record cannot hold attributes.
    bool parse_header(std::span<const std::uint8_t> record, std::uint64_t entry_number, mft_entry_info& entry) const;
    // The same with the record's header already read (by the record reader's checks).
    bool parse_header(std::span<const std::uint8_t> record, const file_record_header& header,
                      std::uint64_t entry_number, mft_entry_info& entry) const;
    // Decodes every attribute, then what the attribute lists name; false when none decoded.
    bool parse_attributes(std::span<const std::uint8_t> record, std::uint64_t entry_number, mft_entry_info& entry,
                          bool keep_content) const;
    bool parse(std::span<const std::uint8_t> record, std::uint64_t entry_number, mft_entry_info& entry,
               bool keep_content = false) const;

    // Reads and parses one entry (paths use it for parent directories).
    bool read_and_parse(std::uint64_t entry_number, mft_entry_info& entry, bool keep_content = false) const;
    // The same with the caller's record buffer, kept for the next read (many parents are read one by one).
    bool read_and_parse(std::uint64_t entry_number, mft_entry_info& entry, std::vector<std::uint8_t>& record,
                        bool keep_content = false) const;

private:
    mft_reader& records_;
    const decode_settings& decode_;
};

}  // namespace skelvar
