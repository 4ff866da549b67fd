// A $MFT held whole in memory (a rebuilt $MFT, or records built by tests).
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

    bool ready() const override { return true; }
    bool read_at(std::uint64_t offset, std::uint32_t length, std::uint8_t* out) override;
    std::uint64_t size_bytes() const override { return bytes_.size(); }
    bool is_extracted_file() const override { return extracted_; }
    std::uint32_t known_record_size() const override { return record_size_; }

    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint32_t record_size_;
    bool extracted_;
};

}  // namespace skelvar
