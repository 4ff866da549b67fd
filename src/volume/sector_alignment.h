// Device reads must start and end on sector boundaries; this turns an arbitrary
// byte range into the covering sector-aligned range.
#pragma once

#include <cstdint>

namespace skelvar {

struct sector_span {
    std::uint64_t start = 0;   // first byte actually read, a multiple of the sector size
    std::uint32_t lead = 0;    // bytes between start and the caller's offset
    std::uint64_t length = 0;  // bytes actually read, a multiple of the sector size

    bool aligned(std::uint32_t count) const { return lead == 0 && length == count; }
};

// The smallest sector-aligned range covering [offset, offset + count).
// A sector size of 0 is treated as 512.
inline sector_span align_to_sectors(std::uint64_t offset, std::uint32_t count, std::uint32_t sector_size) {
    const std::uint64_t s = sector_size ? sector_size : 512;
    sector_span span;
    span.lead = static_cast<std::uint32_t>(offset % s);
    span.start = offset - span.lead;
    const std::uint64_t wanted = std::uint64_t{count} + span.lead;
    span.length = (wanted + s - 1) / s * s;
    return span;
}

}  // namespace skelvar
