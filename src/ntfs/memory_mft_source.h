// A $MFT held in memory: whole (records built by tests), or only the records a
// -regen_mft scan found, each under its entry number.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ntfs/mft_source.h"

namespace skelvar {

class memory_mft_source final : public mft_source {
public:
    explicit memory_mft_source(std::vector<std::uint8_t> bytes, std::uint32_t record_size = 0,
                               bool extracted_file = true)
        : bytes_(std::move(bytes)), record_size_(record_size), extracted_(extracted_file) {}
    // Record i of `records` is entry `entries[i]` (ascending); the entries between
    // read as zero bytes.
    memory_mft_source(std::vector<std::uint8_t> records, std::vector<std::uint64_t> entries,
                      std::uint32_t record_size)
        : bytes_(std::move(records)), entries_(std::move(entries)), record_size_(record_size), extracted_(false) {}

    bool ready() const override { return true; }
    bool read_at(std::uint64_t offset, std::uint32_t length, std::uint8_t* out) override;
    std::uint64_t size_bytes() const override;
    bool is_extracted_file() const override { return extracted_; }
    std::uint32_t known_record_size() const override { return record_size_; }

private:
    bool sparse() const { return !entries_.empty() && record_size_ != 0; }

    std::vector<std::uint8_t> bytes_;
    std::vector<std::uint64_t> entries_;
    std::uint32_t record_size_;
    bool extracted_;
};

}  // namespace skelvar
