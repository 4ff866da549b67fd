// The $MFT of an opened ntfs_volume as an mft_source: records are read through
// the $MFT's runs (or the rebuilt copy in memory), sequential reads through a
// large read-ahead window so the range walk costs one read per window, not per record.
#pragma once

#include <memory>

#include "ntfs/mft_source.h"
#include "ntfs/ntfs_volume.h"

namespace skelvar {

class volume_mft_source final : public mft_source {
public:
    explicit volume_mft_source(std::unique_ptr<ntfs_volume> volume);
    ~volume_mft_source() override;

    bool ready() const override;
    bool read_at(std::uint64_t offset, std::uint32_t length, std::uint8_t* out) override;
    bool read_direct(std::uint64_t offset, std::uint32_t length, std::uint8_t* out) override;
    std::uint64_t size_bytes() const override;
    bool is_extracted_file() const override { return false; }
    std::uint32_t known_record_size() const override;
    std::uint64_t entry_count() const override;
    bool read_run_clusters(const std::vector<compact_run>& runs, std::uint64_t max_bytes,
                           std::vector<std::uint8_t>& out) override;

    ntfs_volume* volume() override { return volume_.get(); }

    static constexpr std::size_t window_size = 1 << 20;

private:
    bool fill_window(std::uint64_t offset);

    std::unique_ptr<ntfs_volume> volume_;
    std::vector<std::uint8_t> window_;
    std::uint64_t win_start_ = 0, win_len_ = 0;
    std::uint64_t last_miss_end_ = ~0ull;
};

}  // namespace skelvar
