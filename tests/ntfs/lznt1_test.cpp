#include "ntfs/lznt1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace skelvar;
using bytes = std::vector<std::uint8_t>;

namespace {

// A chunk: header (compressed flag, signature 3, body size - 1) and body.
bytes chunk(bool compressed, const bytes& body) {
    const unsigned h = (compressed ? 0xB000u : 0x3000u) | static_cast<unsigned>(body.size() - 1);
    bytes c{static_cast<std::uint8_t>(h), static_cast<std::uint8_t>(h >> 8)};
    c.insert(c.end(), body.begin(), body.end());
    return c;
}

bytes cat(std::initializer_list<bytes> parts) {
    bytes all;
    for (const bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::string head(const bytes& out, std::size_t from, std::size_t n) {
    return std::string(out.begin() + static_cast<std::ptrdiff_t>(from),
                       out.begin() + static_cast<std::ptrdiff_t>(from + n));
}

bool zeros(const bytes& out, std::size_t from, std::size_t to) {
    return std::all_of(out.begin() + static_cast<std::ptrdiff_t>(from), out.begin() + static_cast<std::ptrdiff_t>(to),
                       [](std::uint8_t b) { return b == 0; });
}

}  // namespace

// Real chunks (text, a unit stored as is, a short tail) are decoded in ExtractOracle against icat; these
// pin the chunk layout and the faults real volumes do not hold.
TEST(Lznt1, ChunksLandAt4096ByteSteps) {
    // A plain chunk, a short compressed one, then one after the unit's end marker is ignored.
    const bytes in = cat({chunk(false, bytes(4096, 'U')), chunk(true, {0x00, 'x', 'y'}), chunk(true, {0x00, 'z'}),
                          {0x00, 0x00}, chunk(true, {0x00, 'q'})});
    bytes out(4 * 4096, 0xEE);
    const lznt1_result r = lznt1_decompress(in, out);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.chunks, 3u);
    EXPECT_EQ(out[4095], 'U');
    EXPECT_EQ(head(out, 4096, 2), "xy");
    EXPECT_TRUE(zeros(out, 4098, 8192));
    EXPECT_EQ(out[8192], 'z');
    EXPECT_TRUE(zeros(out, 8193, out.size()));
}

TEST(Lznt1, MalformedChunksFailWithoutLeavingTheirBounds) {
    const bytes good = chunk(true, {0x00, 'o', 'k'});
    struct fault_case {
        const char* what;
        bytes in;
        std::size_t out_size;
        lznt1_fault fault;
        std::string kept;       // bytes the faulty chunk keeps
        bool next_expanded;     // the good chunk after it still lands at 4096
    };
    const std::vector<fault_case> cases = {
        {"reference at the chunk start", cat({chunk(true, {0x01, 0x00, 0x00}), good}), 8192,
         lznt1_fault::reference_before_start, "", true},
        {"reference before the start", cat({chunk(true, {0x04, 'a', 'b', 0x00, 0x20}), good}), 8192,
         lznt1_fault::reference_before_start, "ab", true},
        {"length past 4096", cat({chunk(true, {0x02, 'a', 0xFF, 0x0F}), good}), 8192, lznt1_fault::output_overrun,
         "a", true},
        {"token cut by the chunk end", cat({chunk(true, {0x02, 'a', 0x00}), good}), 8192,
         lznt1_fault::truncated_token, "a", true},
        {"no signature", cat({{0x02, 0x80, 0x00, 's', 't'}, good}), 8192, lznt1_fault::bad_header, "", false},
        {"chunk past the stored bytes", {0x10, 0xB0, 0x00, 'c', 'u'}, 8192, lznt1_fault::chunk_past_input, "cu",
         false},
        {"more chunks than the unit holds", cat({good, good}), 4096, lznt1_fault::output_overrun, "ok", false},
    };
    for (const auto& c : cases) {
        // Exact-size copies, so a sanitizer run catches any read or write past them.
        const std::unique_ptr<std::uint8_t[]> in(new std::uint8_t[c.in.size()]);
        std::copy(c.in.begin(), c.in.end(), in.get());
        bytes out(c.out_size, 0xEE);
        const lznt1_result r = lznt1_decompress(std::span(in.get(), c.in.size()), out);
        EXPECT_EQ(r.first_fault, c.fault) << c.what;
        EXPECT_EQ(r.bad_chunks, 1u) << c.what;
        EXPECT_EQ(head(out, 0, c.kept.size()), c.kept) << c.what;
        const std::size_t slot_end = std::min<std::size_t>(4096, out.size());
        EXPECT_TRUE(zeros(out, c.kept.size(), slot_end)) << c.what;
        if (out.size() > 4096) {
            EXPECT_EQ(head(out, 4096, 2) == "ok", c.next_expanded) << c.what;
        }
    }
}
