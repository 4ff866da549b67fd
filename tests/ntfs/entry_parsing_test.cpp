#include <gtest/gtest.h>

#include <chrono>
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

// An extension record counts only while its base reference (and the sequence
// number the list gives it) still names the base: a freed and reused record
// belongs to its new file. A file deleted with its extension records keeps them.
TEST(AttributeLists, ExtensionRecordsMustStillBelongToTheBase) {
    struct link_case {
        const char* what;
        std::uint16_t base_flags, base_seq;
        std::uint64_t ext_base;
        std::uint16_t ext_flags, ext_seq, listed_seq;
        bool kept;
    };
    for (const link_case& c : {
             link_case{"live link", 1, 1, make_ref(1, 1), 1, 1, 1, true},
             link_case{"deleted together", 0, 2, make_ref(1, 1), 0, 2, 1, true},
             link_case{"reused by another file", 0, 2, make_ref(3, 4), 1, 2, 1, false},
             link_case{"base entry reused since", 1, 3, make_ref(1, 1), 1, 1, 1, false},
             link_case{"relinked after the list was written", 1, 1, make_ref(1, 1), 1, 5, 1, false},
         }) {
        const auto list = attr_list_entry(0x30, 0, make_ref(2, c.listed_seq));
        fixture f({{},
                   record_builder().flags(c.base_flags).sequence(c.base_seq).resident(0x10, 0, make_si(t2020))
                       .resident(0x20, 1, list).build(),
                   record_builder().flags(c.ext_flags).sequence(c.ext_seq).base_ref(c.ext_base)
                       .resident(0x30, 0, make_fn(root_ref, u"extension name", 1, t2020)).build()});
        EXPECT_EQ(f.parse(1).file_names.size(), c.kept ? 1u : 0u) << c.what;
    }
}

// An extracted $MFT cannot read a list held in clusters: the records whose base
// reference names the entry bring its attributes, in list order (type, name, VCN).
TEST(AttributeLists, ListOutOfReachGivesWayToBaseReferences) {
    auto ext = [](std::uint64_t base, std::vector<std::u16string> names) {
        record_builder b;
        b.base_ref(base);
        for (std::size_t i = 0; i < names.size(); ++i)
            b.resident(0x30, static_cast<std::uint16_t>(i), make_fn(root_ref, names[i], 1, t2020));
        b.resident(0x80, 5, {1, 2, 3}, names.front());  // a stream named as the first name, same id in every record
        return b.build();
    };
    fixture f({{},
               record_builder().resident(0x10, 0, make_si(t2020)).resident(0x30, 2, make_fn(root_ref, u"base", 1, t2020))
                   .non_resident(0x20, 3, {0x11, 0x01, 0x30}, 0x100).build(),
               ext(make_ref(1, 1), {u"a", u"b"}), ext(make_ref(7, 1), {u"not ours"}), ext(make_ref(1, 1), {u"c"})});
    const auto e = f.parse(1);
    EXPECT_TRUE(e.attribute_list_non_resident);
    std::vector<std::pair<std::uint16_t, std::u16string>> got;
    for (const auto& [key, fn] : e.file_names) got.emplace_back(key_id(key), fn.name);
    // Ids repeat across records: record 2's take 0 and 1, record 4's id 0 moves to the next free one after 2.
    EXPECT_EQ(got, (std::vector<std::pair<std::uint16_t, std::u16string>>{{0, u"a"}, {1, u"b"}, {2, u"base"}, {3, u"c"}}));
    std::vector<std::u16string> streams;
    for (const auto& [key, row] : e.catalogue)
        if (row.is_ads) streams.push_back(row.name);
    EXPECT_EQ(streams, (std::vector<std::u16string>{u"a", u"c"}));
}

// A list naming thousands of names in hundreds of extension records: every name up
// to the cap is kept, and the next-free-key search stays linear.
TEST(AttributeLists, NamesAreCappedAndTheirKeysFoundQuickly) {
    std::vector<std::vector<std::uint8_t>> recs{{},
                                                record_builder().resident(0x10, 0, make_si(t2020))
                                                    .non_resident(0x20, 1, {0x11, 0x01, 0x30}, 0x100).build()};
    for (int r = 0; r < 470; ++r) {
        record_builder b;
        b.base_ref(make_ref(1, 1));
        for (std::uint16_t i = 0; i < 9; ++i) b.resident(0x30, i, make_fn(root_ref, u"n", 1, t2020));
        recs.push_back(b.build());
    }
    fixture f(recs);
    const auto start = std::chrono::steady_clock::now();
    const auto e = f.parse(1);
    EXPECT_EQ(e.file_names.size(), max_names_per_entry);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// Pieces of one attribute in several records make one run list in VCN order,
// whichever record holds the first piece; the first piece gives the sizes.
TEST(AttributeLists, SplitAttributeIsOneRowInVcnOrder) {
    for (const bool first_in_base : {true, false}) {
        auto piece = [](record_builder& b, bool first) -> record_builder& {
            return first ? b.non_resident(0xA0, 4, {0x11, 0x02, 0x0A}, 0x3000, u"$I30", 0)
                         : b.non_resident(0xA0, 0, {0x11, 0x03, 0x1E}, 0, u"$I30", 2);
        };
        const auto list = joined({attr_list_entry(0xA0, 4, make_ref(first_in_base ? 1 : 2, 1)),
                                  attr_list_entry(0xA0, 0, make_ref(first_in_base ? 2 : 1, 1))});
        record_builder base, ext;
        base.resident(0x10, 0, make_si(t2020)).resident(0x20, 1, list);
        piece(base, first_in_base);
        piece(ext.base_ref(make_ref(1, 1)), !first_in_base);
        fixture f({{}, base.build(), ext.build()});
        const auto e = f.parse(1, true);
        std::vector<const catalogue_row*> rows;
        for (const auto& [key, row] : e.catalogue)
            if (row.type == 0xA0) rows.push_back(&row);
        ASSERT_EQ(rows.size(), 1u) << first_in_base;
        EXPECT_EQ(rows[0]->allocated_size, 0x3000u);
        ASSERT_EQ(rows[0]->runs.size(), 2u);
        EXPECT_EQ(rows[0]->runs[0].lcn, 0x0Au);
        EXPECT_EQ(rows[0]->runs[1].vcn, 2u);
        EXPECT_EQ(rows[0]->runs[1].lcn, 0x1Eu);
    }
}
