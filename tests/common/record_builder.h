// Builds FILE records in memory for the corner cases real tools cannot make.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

inline void put_le(std::vector<std::uint8_t>& b, std::size_t off, std::uint64_t v, int width) {
    if (b.size() < off + width) b.resize(off + width);
    for (int i = 0; i < width; ++i) b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::vector<std::uint8_t> make_si(std::uint64_t time, std::size_t length = 72);
std::vector<std::uint8_t> make_fn(std::uint64_t parent_ref, const std::u16string& name, std::uint8_t name_space,
                                   std::uint64_t time);

class record_builder {
public:
    explicit record_builder(std::uint32_t size = 1024);

    record_builder& flags(std::uint16_t f);
    record_builder& sequence(std::uint16_t s);
    record_builder& base_ref(std::uint64_t r);
    // The layout before NTFS 3.1: update sequence array at 0x2A, no record number.
    record_builder& older_layout();

    record_builder& resident(std::uint32_t type, std::uint16_t id, const std::vector<std::uint8_t>& value,
                             const std::u16string& name = u"");
    record_builder& non_resident(std::uint32_t type, std::uint16_t id, const std::vector<std::uint8_t>& run_list,
                                 std::uint64_t data_size, const std::u16string& name = u"",
                                 std::uint64_t start_vcn = 0);
    // Raw attribute bytes appended as they are (for malformed attributes).
    record_builder& raw(const std::vector<std::uint8_t>& bytes);

    // Writes the end marker and the update sequence array (sector tails saved, USN written in).
    std::vector<std::uint8_t> build() const;

private:
    std::uint32_t size_;
    std::uint16_t flags_ = 1, seq_ = 1, links_ = 1;
    std::uint64_t base_ = 0;
    std::vector<std::uint8_t> attrs_;
    std::uint16_t next_id_ = 0;
    std::uint16_t usa_ = 0x30;
};

// An attribute-list entry naming the attribute `type`/`id` in record `ref`.
std::vector<std::uint8_t> attr_list_entry(std::uint32_t type, std::uint16_t id, std::uint64_t ref);

// Concatenates records into an extracted $MFT image; entry 0 gets an unnamed $DATA
// sized for all of them when `records[0]` is empty.
std::vector<std::uint8_t> mft_image(std::vector<std::vector<std::uint8_t>> records, std::uint32_t size = 1024);

}  // namespace testing_support
