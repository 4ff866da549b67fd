#include "ntfs/memory_mft_source.h"

#include <algorithm>
#include <cstring>

namespace skelvar {

std::uint64_t memory_mft_source::size_bytes() const {
    return sparse() ? (entries_.back() + 1) * record_size_ : bytes_.size();
}

bool memory_mft_source::read_at(std::uint64_t offset, std::uint32_t length, std::uint8_t* out) {
    const std::uint64_t size = size_bytes();
    if (offset > size || length > size - offset) return false;
    if (!sparse()) {
        std::memcpy(out, bytes_.data() + offset, length);
        return true;
    }
    // Record by record: a found one is copied, a missing one is zeros.
    auto it = std::lower_bound(entries_.begin(), entries_.end(), offset / record_size_);
    for (std::uint64_t done = 0; done < length;) {
        const std::uint64_t pos = offset + done, entry = pos / record_size_, within = pos % record_size_;
        const std::uint64_t n = std::min<std::uint64_t>(record_size_ - within, length - done);
        while (it != entries_.end() && *it < entry) ++it;
        if (it != entries_.end() && *it == entry)
            std::memcpy(out + done, bytes_.data() + (it - entries_.begin()) * record_size_ + within, n);
        else
            std::memset(out + done, 0, n);
        done += n;
    }
    return true;
}

}  // namespace skelvar
