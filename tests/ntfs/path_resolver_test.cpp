#include <gtest/gtest.h>

#include "common/mft_fixture.h"

using namespace skelvar;
using testing_support::make_fn;
using testing_support::record_builder;
using testing_support::make_si;

namespace {

constexpr std::uint64_t t = 132223104000000000ull;

std::vector<std::uint8_t> dir(const std::u16string& name, std::uint64_t parent, std::uint16_t seq = 1,
                              bool in_use = true) {
    return record_builder()
        .flags(in_use ? 3 : 2)
        .sequence(seq)
        .resident(0x10, 0, make_si(t))
        .resident(0x30, 1, make_fn(parent, name, 1, t))
        .build();
}

std::vector<std::uint8_t> file(const std::u16string& name, std::uint64_t parent) {
    return record_builder().resident(0x10, 0, make_si(t)).resident(0x30, 1, make_fn(parent, name, 3, t)).build();
}

// Entries 0..9; entry 5 is the root. Indices given in `extra` fill the rest.
std::vector<std::vector<std::uint8_t>> volume(std::map<int, std::vector<std::uint8_t>> extra) {
    std::vector<std::vector<std::uint8_t>> recs(12);
    recs[5] = dir(u".", make_ref(5, 5), 5);
    for (auto& [i, r] : extra) recs[i] = r;
    return recs;
}

std::u16string path_of(testing_support::mft_fixture& f, std::uint64_t parent) {
    return f.paths.resolve_parent(parent).path;
}

}  // namespace

TEST(PathResolution, BrokenChainsAreMarked) {
    testing_support::mft_fixture ctx(volume({
        {6, dir(u"reused", make_ref(5, 5), 4)},        // children still point at sequence 3
        {7, file(u"not-a-dir", make_ref(5, 5))},
        {8, dir(u"ping", make_ref(9, 1))},              // 8 and 9 name each other
        {9, dir(u"pong", make_ref(8, 1))},
        {10, dir(u"deleted", make_ref(5, 5), 8, false)},  // deleted: children carry 7
        {11, dir(u"self", make_ref(11, 1))},
    }));
    EXPECT_EQ(path_of(ctx, make_ref(6, 3)), u"[root]\\<path corrupted>\\");
    EXPECT_EQ(path_of(ctx, make_ref(7, 1)), u"[root]\\<path corrupted>\\");
    auto cycle = path_of(ctx, make_ref(8, 1));
    EXPECT_NE(cycle.find(u"<path corrupted>"), std::u16string::npos);
    EXPECT_EQ(cycle.rfind(u"[root]\\", 0), 0u);
    EXPECT_EQ(path_of(ctx, make_ref(10, 7)), u"[root]\\deleted\\");
    EXPECT_EQ(path_of(ctx, make_ref(10, 8)), u"[root]\\<path corrupted>\\");
    // The walk caches the deleted directory under its own sequence number too: both stay.
    mft_entry_info walked = ctx.parse(10);
    ctx.paths.add_directory(walked);
    EXPECT_TRUE(ctx.paths.cache().contains(make_ref(10, 7)));
    EXPECT_TRUE(ctx.paths.cache().contains(make_ref(10, 8)));
    EXPECT_EQ(path_of(ctx, make_ref(10, 8)), u"[root]\\deleted\\");
    EXPECT_EQ(path_of(ctx, make_ref(11, 1)), u"[root]\\<path corrupted>\\self\\");
    // An unreadable parent: the name gets no lines.
    EXPECT_FALSE(ctx.paths.resolve_parent(make_ref(500, 1)).ok);
    EXPECT_FALSE(ctx.paths.resolve_parent(~0ull).ok);
}

