#include "volume/cached_disk.h"

#include <algorithm>
#include <cstring>

namespace skelvar {

cached_disk::cached_disk(std::unique_ptr<virtual_disk> inner, std::uint32_t block_bytes, std::size_t max_blocks)
    : inner_(std::move(inner)), block_bytes_(block_bytes ? block_bytes : 65536), max_blocks_(max_blocks) {}

const std::vector<std::uint8_t>* cached_disk::block(std::uint64_t index) {
    if (const auto found = where_.find(index); found != where_.end()) {
        lru_.splice(lru_.begin(), lru_, found->second);
        return &found->second->second;
    }
    const std::uint64_t at = index * block_bytes_;
    const std::uint64_t length = std::min<std::uint64_t>(block_bytes_, size() - at);
    std::vector<std::uint8_t> bytes;
    if (lru_.size() >= max_blocks_ && !lru_.empty()) {
        bytes = std::move(lru_.back().second);  // the oldest block's buffer is reused
        where_.erase(lru_.back().first);
        lru_.pop_back();
    }
    bytes.resize(static_cast<std::size_t>(length));
    if (!inner_->read(at, bytes.data(), static_cast<std::uint32_t>(length))) return nullptr;
    lru_.emplace_front(index, std::move(bytes));
    where_[index] = lru_.begin();
    return &lru_.front().second;
}

bool cached_disk::read(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) {
    const bool streaming = count >= block_bytes_;
    while (count > 0) {
        const std::uint64_t index = offset / block_bytes_;
        const std::uint32_t within = static_cast<std::uint32_t>(offset % block_bytes_);
        const std::uint32_t n = std::min<std::uint32_t>(count, block_bytes_ - within);
        const auto found = where_.find(index);
        if (streaming && found == where_.end()) {
            // Straight through, up to the next block the cache holds.
            std::uint32_t run = n;
            while (run < count && !where_.count((offset + run) / block_bytes_))
                run += std::min<std::uint32_t>(count - run, block_bytes_);
            if (!inner_->read(offset, out, run)) return false;
            offset += run;
            out += run;
            count -= run;
            continue;
        }
        const std::vector<std::uint8_t>* bytes = block(index);
        if (!bytes || within + n > bytes->size()) return false;
        std::memcpy(out, bytes->data() + within, n);
        offset += n;
        out += n;
        count -= n;
    }
    return true;
}

}  // namespace skelvar
