#include "report/digests.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace skelvar;

namespace {

std::span<const std::uint8_t> as_bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

}  // namespace

// "abc" in two pieces (the published test vector), and the empty input.
TEST(Digests, KnownVectorsPieceByPiece) {
    digest_set d({.md5 = true, .sha1 = true, .sha256 = true});
    ASSERT_TRUE(d.ok());
    d.update(as_bytes("a"));
    d.update(as_bytes("bc"));
    const digest_texts t = d.finish();
    EXPECT_EQ(t.md5, "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(t.sha1, "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(t.sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    digest_set only_sha1({.sha1 = true});
    const digest_texts empty = only_sha1.finish();
    EXPECT_EQ(empty.md5, "");
    EXPECT_EQ(empty.sha1, "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(empty.sha256, "");
}
