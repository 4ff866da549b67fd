#include <gtest/gtest.h>

#include <functional>

#include "common/mft_fixture.h"

using namespace skelvar;
using testing_support::make_fn;
using testing_support::make_si;
using testing_support::record_builder;

namespace {

constexpr std::uint64_t t = 132223104000000000ull;

std::vector<std::uint8_t> dir(const std::u16string& name, std::uint64_t parent, std::uint16_t seq = 1,
                              bool in_use = true, std::uint8_t name_space = 1) {
    return record_builder()
        .flags(in_use ? 3 : 2)
        .sequence(seq)
        .resident(0x10, 0, make_si(t))
        .resident(0x30, 1, make_fn(parent, name, name_space, t))
        .build();
}

std::vector<std::uint8_t> file(const std::u16string& name, std::uint64_t parent) {
    return record_builder().resident(0x10, 0, make_si(t)).resident(0x30, 1, make_fn(parent, name, 3, t)).build();
}

// Entries 0..`count`-1; entry 5 is the root; an entry not given is a zeroed record.
std::vector<std::vector<std::uint8_t>> volume(std::map<int, std::vector<std::uint8_t>> extra, int count = 24) {
    std::vector<std::vector<std::uint8_t>> recs(static_cast<std::size_t>(count));
    recs[5] = dir(u".", make_ref(5, 5), 5);
    for (auto& [i, r] : extra) recs[static_cast<std::size_t>(i)] = r;
    return recs;
}

std::u16string path_of(testing_support::mft_fixture& f, std::uint64_t parent) {
    return std::u16string(f.paths.resolve_parent(parent));
}

// Parents that cannot be climbed through, and files below each of them.
std::map<int, std::vector<std::uint8_t>> broken_parents() {
    return {
        {6, dir(u"reused", make_ref(5, 5), 4)},            // children still point at sequence 3
        {7, file(u"not-a-dir", make_ref(5, 5))},
        {8, dir(u"ping", make_ref(9, 1))},                  // 8 and 9 name each other
        {9, dir(u"pong", make_ref(8, 1))},
        {10, dir(u"deleted", make_ref(5, 5), 8, false)},    // deleted: children carry 7 (or 8)
        {11, dir(u"self", make_ref(11, 1))},
        // 12 is zeroed
        {13, dir(u"orphan", make_ref(12, 1))},
        {14, dir(u"DOSDIR~1", make_ref(5, 5), 1, true, 2)},  // a DOS name only: no way up
        {15, dir(u"sub", make_ref(14, 1))},
        {16, file(u"a.txt", make_ref(6, 3))},
        {17, file(u"b.txt", make_ref(13, 1))},
        {18, file(u"c.txt", make_ref(15, 1))},
        {19, file(u"d.txt", make_ref(12, 1))},
        {20, file(u"e.txt", make_ref(200, 1))},             // past the end of the $MFT
        {21, file(u"f.txt", make_ref(7, 1))},
        {22, file(u"g.txt", make_ref(10, 7))},
        // 3: a file whose parent (23) comes after it in the $MFT
        {3, file(u"early.txt", make_ref(23, 1))},
        {23, dir(u"late", make_ref(13, 1))},
    };
}

}  // namespace

TEST(PathResolution, BrokenChainsAreMarked) {
    testing_support::mft_fixture ctx(volume(broken_parents()));
    const std::u16string broken = u"[root]\\<path corrupted>\\";
    const std::pair<std::uint64_t, std::u16string> cases[] = {
        {make_ref(5, 5), u"[root]\\"},
        {make_ref(6, 3), broken},
        {make_ref(7, 1), broken},
        {make_ref(8, 1), broken + u"pong\\ping\\"},  // a loop shows each member once, the start last
        {make_ref(9, 1), broken + u"ping\\pong\\"},
        {make_ref(10, 7), u"[root]\\deleted\\"},
        {make_ref(10, 8), u"[root]\\deleted\\"},
        {make_ref(10, 6), broken},
        {make_ref(11, 1), broken + u"self\\"},
        {make_ref(12, 1), broken},
        {make_ref(13, 1), broken + u"orphan\\"},
        {make_ref(14, 1), broken + u"DOSDIR~1\\"},
        {make_ref(15, 1), broken + u"DOSDIR~1\\sub\\"},
        {make_ref(23, 1), broken + u"orphan\\late\\"},
        {make_ref(23, 0), broken + u"orphan\\late\\"},  // no sequence number: any will do
        {make_ref(200, 1), broken},
        {~0ull, broken},
    };
    // Twice: the memoised answers are the same as the first ones.
    for (int round = 0; round < 2; ++round)
        for (const auto& [ref, want] : cases)
            EXPECT_EQ(path_of(ctx, ref), want) << std::hex << ref << " round " << round;
    // A carved directory may claim a number far past the $MFT: it is kept all the same.
    mft_entry_info carved = ctx.parse(10);
    carved.entry_number = 1'000'000'000;
    carved.from_unallocated = true;
    ctx.paths.add_directory(carved);
    EXPECT_EQ(path_of(ctx, make_ref(1'000'000'000, 7)), u"[root]\\deleted\\");
}

// The rows of every file are the same whatever the walk met before it: the range walk,
// the entry list in reverse, and walks whose filters drop every directory or every file.
TEST(PathResolution, PathsDoNotDependOnWalkOrderOrFilters) {
    testing_support::mft_fixture ctx(volume(broken_parents()));
    using rows = std::map<std::uint64_t, std::u16string>;
    struct collect final : entry_visitor {
        testing_support::mft_fixture& f;
        std::function<bool(const mft_entry_info&)> keep;
        rows out;
        collect(testing_support::mft_fixture& fx, std::function<bool(const mft_entry_info&)> k)
            : f(fx), keep(std::move(k)) {}
        preselection preselect(std::uint64_t, bool, mft_entry_info& e) override {
            return keep(e) ? preselection::keep : preselection::drop;
        }
        bool select(mft_entry_info&, bool) override { return true; }
        void write(mft_entry_info& e) override {
            for (const auto& [key, fn] : e.file_names)
                if (!e.is_directory()) out[e.entry_number] = path_of(f, fn.parent_ref) + fn.name;
        }
    };
    walk_settings settings;
    settings.show_progress = false;
    auto run = [&](std::function<bool(const mft_entry_info&)> keep, const std::vector<std::uint64_t>* list) {
        collect visitor(ctx, std::move(keep));
        mft_walk walk(ctx.entries, ctx.paths, settings, visitor);
        EXPECT_TRUE(list ? walk.walk_list(*list) : walk.walk_range());
        return visitor.out;
    };
    const rows all = run([](const mft_entry_info&) { return true; }, nullptr);
    ASSERT_EQ(all.size(), 10u);
    EXPECT_EQ(all.at(19), u"[root]\\<path corrupted>\\d.txt");
    EXPECT_EQ(all.at(3), u"[root]\\<path corrupted>\\orphan\\late\\early.txt");
    const std::vector<std::uint64_t> reversed = {22, 21, 20, 19, 18, 17, 16, 7, 3, 0};
    EXPECT_EQ(run([](const mft_entry_info&) { return true; }, &reversed), all);
    // A filter that drops the directories before they are parsed (as -filter_deleted_files does).
    EXPECT_EQ(run([](const mft_entry_info& e) { return !e.is_directory(); }, nullptr), all);
    rows one = run([](const mft_entry_info& e) { return e.entry_number == 18; }, nullptr);
    EXPECT_EQ(one, (rows{{18, all.at(18)}}));
}
