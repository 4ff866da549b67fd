// LZNT1, the compression of NTFS compressed streams: expansion of one
// compression unit (its stored clusters) into the unit's plain bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace skelvar {

// Plain bytes one chunk expands to; chunk k of a unit lands at k * this.
inline constexpr std::size_t lznt1_chunk_bytes = 4096;

enum class lznt1_fault : std::uint8_t {
    none,
    bad_header,              // signature bits are not 3: the unit ends there
    chunk_past_input,        // the chunk's declared size runs past the stored bytes: decoded as far as they go
    truncated_token,         // a back-reference token cut by the chunk's end
    reference_before_start,  // a back-reference reaching before the chunk's first byte
    output_overrun,          // a chunk expanding past 4096 bytes, or more chunks than the unit holds
};

std::string_view lznt1_fault_text(lznt1_fault fault);

struct lznt1_result {
    std::size_t chunks = 0;       // chunk headers met (the end marker not counted)
    std::size_t bad_chunks = 0;   // chunks that ended in a fault
    lznt1_fault first_fault = lznt1_fault::none;
    std::size_t fault_offset = 0;  // input offset of the first faulty chunk's header
    bool ok() const { return bad_chunks == 0; }
};

// Expands `in` (a unit's stored bytes: chunk after chunk, ended by a zero
// header or the end of `in`) into `out` (the unit's plain size). `out` is
// always written whole: bytes that no chunk supplies are zero — after the last
// chunk, after a short chunk, and after the point where a chunk failed. A chunk
// that fails keeps the bytes it expanded before the fault; the next chunk is
// still expanded when the failed one's header located it (not after
// bad_header or chunk_past_input, where the unit's expansion stops). Reads and
// writes stay inside the two spans; nothing is allocated.
lznt1_result lznt1_decompress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

}  // namespace skelvar
