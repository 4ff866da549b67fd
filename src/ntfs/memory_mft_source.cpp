#include "ntfs/memory_mft_source.h"

#include <cstring>

namespace skelvar {

bool memory_mft_source::read_at(std::uint64_t offset, std::uint32_t length, std::uint8_t* out) {
    if (offset > bytes_.size() || length > bytes_.size() - offset) return false;
    std::memcpy(out, bytes_.data() + offset, length);
    return true;
}

}  // namespace skelvar
