// Keeps recently read blocks of a container whose reads are costly per call
// (an E01 inflates a whole chunk to hand back one record). Small scattered
// reads - the directory records a path needs, ahead of the walk - land in the
// cache; long streaming reads use what it holds and go past it otherwise.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

#include "volume/virtual_disk.h"

namespace skelvar {

class cached_disk final : public virtual_disk {
public:
    cached_disk(std::unique_ptr<virtual_disk> inner, std::uint32_t block_bytes, std::size_t max_blocks);

    std::uint64_t size() const override { return inner_->size(); }
    std::uint32_t sector_size() const override { return inner_->sector_size(); }
    bool read(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) override;

private:
    // The cached bytes of block `index` (its whole length, shorter at the end of the disk); null on a failed read.
    const std::vector<std::uint8_t>* block(std::uint64_t index);

    std::unique_ptr<virtual_disk> inner_;
    std::uint32_t block_bytes_;
    std::size_t max_blocks_;
    std::list<std::pair<std::uint64_t, std::vector<std::uint8_t>>> lru_;  // most recent first
    std::unordered_map<std::uint64_t, decltype(lru_)::iterator> where_;
};

}  // namespace skelvar
