#include <gtest/gtest.h>

#include <set>

#include "common/mft_fixture.h"
#include "ntfs/attribute_decoder.h"
#include "ntfs/mft_walk.h"

using namespace skelvar;
using testing_support::attr_list_entry;
using testing_support::make_fn;
using testing_support::make_si;
using testing_support::record_builder;

namespace {

constexpr std::uint64_t t2020 = 132223104000000000ull;  // 2020-01-01
const std::uint64_t root_ref = make_ref(5, 5);

struct fixture : testing_support::mft_fixture {
    explicit fixture(std::vector<std::vector<std::uint8_t>> recs) : mft_fixture(std::move(recs)) {
        decode.reference_time = t2020 + 400 * one_day_ticks;
    }
};

// Takes every entry, remembers the numbers written.
struct take_all final : entry_visitor {
    std::vector<std::uint64_t> written;
    preselection preselect(std::uint64_t, bool, mft_entry_info&) override { return preselection::keep; }
    bool select(mft_entry_info&, bool) override { return true; }
    void write(mft_entry_info& e) override { written.push_back(e.entry_number); }
};

// A record with a $STANDARD_INFORMATION at `si` and one name per $FILE_NAME given.
std::vector<std::uint8_t> si_and_names(std::uint64_t si, const std::vector<std::vector<std::uint8_t>>& names) {
    record_builder b;
    b.resident(0x10, 0, make_si(si));
    for (std::size_t i = 0; i < names.size(); ++i) b.resident(0x30, static_cast<std::uint16_t>(i + 1), names[i]);
    return b.build();
}

std::vector<std::uint8_t> joined(const std::vector<std::vector<std::uint8_t>>& parts) {
    std::vector<std::uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace

TEST(AttributeLists, NamesWithTheSameIdInDifferentExtensionRecordsAreAllKept) {
    // Hard links spill into two extension records whose name attributes both carry id 0.
    const auto list = joined({attr_list_entry(0x30, 0, make_ref(2, 1)), attr_list_entry(0x30, 0, make_ref(3, 1))});
    auto ext = [](const std::u16string& name) {
        return record_builder().base_ref(make_ref(1, 1)).resident(0x30, 0, make_fn(root_ref, name, 1, t2020)).build();
    };
    fixture f({{}, record_builder().resident(0x10, 0, make_si(t2020)).resident(0x20, 1, list).build(),
               ext(u"first link"), ext(u"second link")});
    auto e = f.parse(1);
    EXPECT_EQ(e.path_names.size(), 2u);
    std::set<std::u16string> names;
    for (const auto& [k, fn] : e.file_names) names.insert(fn.name);
    EXPECT_EQ(names, (std::set<std::u16string>{u"first link", u"second link"}));
}

TEST(TimeChecks, NotesInOrder) {
    auto note_of = [](std::vector<std::uint8_t> rec) {
        fixture f({{}, std::move(rec)});
        f.decode.reference_time = t2020 + one_hour_ticks;
        auto e = f.parse(1);
        check_times(e);
        return e.time_note;
    };
    auto fn = [](std::uint64_t t) { return make_fn(root_ref, u"a", 1, t); };
    EXPECT_EQ(note_of(record_builder().resident(0x30, 0, fn(t2020)).build()), "si:time absent");
    EXPECT_EQ(note_of(si_and_names(t2020, {})), "fn:time absent");
    EXPECT_EQ(note_of(si_and_names(0, {fn(t2020)})), "si:time null");
    EXPECT_EQ(note_of(si_and_names(t2020, {fn(t2020 + 2 * one_hour_ticks)})), "fn:time future");
    // A time with its top bit set lies far beyond any reference time.
    EXPECT_EQ(note_of(si_and_names(t2020, {fn(0x8000000000000000ull)})), "fn:time future");
    EXPECT_EQ(note_of(si_and_names(t2020, {fn(0)})), "fn:time null");
    auto dos = make_fn(root_ref, u"A~1", 2, t2020);
    dos[0x20] = 1;  // a different access time on the DOS name
    EXPECT_EQ(note_of(si_and_names(t2020, {dos, make_fn(root_ref, u"a long name", 1, t2020)})), "fnSL:time diff");
    EXPECT_EQ(note_of(si_and_names(t2020 - 2 * one_day_ticks, {fn(t2020)})), "**:time warning");
    EXPECT_EQ(note_of(si_and_names(t2020, {fn(t2020)})), "");
}

TEST(RangeWalk, StartRangeAndTheRecordZeroFailure) {
    std::vector<std::vector<std::uint8_t>> recs{{}};
    for (int i = 1; i < 20; ++i) recs.push_back(si_and_names(t2020, {make_fn(root_ref, u"f", 1, t2020)}));
    fixture f(recs);
    take_all visitor;
    walk_settings settings;
    settings.show_progress = false;
    mft_walk walk(f.entries, f.paths, settings, visitor);
    settings.start = 10;
    settings.range = 5;
    EXPECT_TRUE(walk.walk_range());
    EXPECT_EQ(visitor.written, (std::vector<std::uint64_t>{10, 11, 12, 13, 14}));
    EXPECT_EQ(walk.entry_count(), 20u);

    // Record 0 without a $DATA attribute gives no entry count: the walk says so.
    fixture g({record_builder().resident(0x10, 0, make_si(t2020)).build(), recs[1]});
    mft_walk none(g.entries, g.paths, settings, visitor);
    const status s = none.walk_range();
    EXPECT_FALSE(s);
    EXPECT_NE(s.reason().find("no unnamed $DATA"), std::string::npos);
}
