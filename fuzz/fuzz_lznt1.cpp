// libFuzzer harness for the LZNT1 expansion of one compression unit. The
// first two bytes choose the unit's plain size (512-byte steps up to 64 KiB,
// so short and odd units are met too); the rest are the stored bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ntfs/lznt1.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t out_size = 512 * (1 + (data[0] | data[1] << 8) % 128);
    std::vector<std::uint8_t> out(out_size, 0xAA);
    const skelvar::lznt1_result r = skelvar::lznt1_decompress(std::span(data + 2, size - 2), out);
    if (r.bad_chunks > r.chunks || r.ok() != (r.first_fault == skelvar::lznt1_fault::none)) __builtin_trap();
    // Every byte of the unit is written: no chunk supplies the filler value past the input's reach.
    if (r.chunks == 0)
        for (std::uint8_t b : out)
            if (b != 0) __builtin_trap();
    return 0;
}
