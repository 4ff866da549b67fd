#include "ntfs/lznt1.h"

#include <algorithm>
#include <cstring>

#include "support/binary_data.h"

namespace skelvar {

namespace {

constexpr std::uint16_t compressed_flag = 0x8000;
constexpr std::uint16_t signature_mask = 0x7000, signature = 0x3000;

// Bits of a token's length field when `written` bytes of the chunk precede it:
// the offset field grows (from 4 bits) just enough to reach the chunk's start.
unsigned length_bits(std::size_t written) {
    unsigned offset_bits = 4;
    while ((std::size_t{1} << offset_bits) < written) ++offset_bits;
    return 16 - offset_bits;
}

// Expands one compressed chunk's body into `slot` (at most 4096 bytes).
// Returns the fault that ended it, none when the body was used up cleanly.
lznt1_fault expand_chunk(kavo::binary_data body, std::span<std::uint8_t> slot) {
    std::size_t in = 0, out = 0;
    while (in < body.size()) {
        const std::uint8_t flags = body.u8(in++);
        for (unsigned bit = 0; bit < 8 && in < body.size(); ++bit) {
            if (!(flags & (1u << bit))) {
                if (out >= slot.size()) return lznt1_fault::output_overrun;
                slot[out++] = body.u8(in++);
                continue;
            }
            if (!body.has(in, 2)) return lznt1_fault::truncated_token;
            const std::uint16_t token = body.u16(in);
            in += 2;
            const unsigned lbits = length_bits(out);
            const std::size_t length = (token & ((1u << lbits) - 1)) + 3;
            const std::size_t offset = (std::size_t{token} >> lbits) + 1;
            if (offset > out) return lznt1_fault::reference_before_start;
            if (length > slot.size() - out) return lznt1_fault::output_overrun;
            if (offset >= length) {
                std::memcpy(slot.data() + out, slot.data() + out - offset, length);
            } else {
                // Overlapping: the copy repeats the bytes it has just written.
                for (std::size_t i = 0; i < length; ++i) slot[out + i] = slot[out + i - offset];
            }
            out += length;
        }
    }
    return lznt1_fault::none;
}

}  // namespace

std::string_view lznt1_fault_text(lznt1_fault fault) {
    switch (fault) {
        case lznt1_fault::none: return "no fault";
        case lznt1_fault::bad_header: return "chunk header without the LZNT1 signature";
        case lznt1_fault::chunk_past_input: return "chunk longer than the stored data";
        case lznt1_fault::truncated_token: return "back-reference cut by the chunk end";
        case lznt1_fault::reference_before_start: return "back-reference before the chunk start";
        case lznt1_fault::output_overrun: return "chunk expands past its 4096 bytes";
    }
    return "unknown fault";
}

lznt1_result lznt1_decompress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    lznt1_result result;
    const kavo::binary_data data(in);
    const auto fail = [&](lznt1_fault fault, std::size_t at) {
        if (result.bad_chunks++ == 0) {
            result.first_fault = fault;
            result.fault_offset = at;
        }
    };

    std::size_t pos = 0, slot_start = 0;
    while (data.has(pos, 2)) {
        const std::uint16_t header = data.u16(pos);
        if (header == 0) break;
        ++result.chunks;
        if ((header & signature_mask) != signature) {
            fail(lznt1_fault::bad_header, pos);
            break;
        }
        if (slot_start >= out.size()) {
            fail(lznt1_fault::output_overrun, pos);
            break;
        }
        const std::span<std::uint8_t> slot =
            out.subspan(slot_start, std::min(lznt1_chunk_bytes, out.size() - slot_start));
        const std::size_t declared = (header & 0x0FFFu) + 1;
        const kavo::binary_data body = data.sub(pos + 2, std::min(declared, data.size() - pos - 2));
        const bool cut = body.size() < declared;

        lznt1_fault fault = lznt1_fault::none;
        if (header & compressed_flag) {
            fault = expand_chunk(body, slot);
        } else {
            const std::size_t n = std::min(body.size(), slot.size());
            std::memcpy(slot.data(), body.span().data(), n);
            if (n < body.size()) fault = lznt1_fault::output_overrun;
        }
        if (fault != lznt1_fault::none) {
            // A partly expanded chunk keeps its good bytes; the rest of its slot stays zero.
            fail(fault, pos);
        }
        if (cut) {
            if (fault == lznt1_fault::none) fail(lznt1_fault::chunk_past_input, pos);
            break;
        }
        pos += 2 + declared;
        slot_start += lznt1_chunk_bytes;
    }
    return result;
}

}  // namespace skelvar
