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

TEST(EntryParsing, NamesStreamsAndHeader) {
    auto rec = record_builder()
                   .sequence(3)
                   .links(2)
                   .resident(0x10, 0, make_si(t2020, 48))  // older 48-byte form
                   .resident(0x30, 1, make_fn(root_ref, u"LONGFI~1.TXT", 2, t2020))
                   .resident(0x30, 2, make_fn(root_ref, u"long file name.txt", 1, t2020))
                   .resident(0x80, 3, {1, 2, 3})
                   .resident(0x80, 4, {'[', 'Z', ']'}, u"Zone.Identifier")
                   .non_resident(0x80, 5, {0x21, 0x18, 0x34, 0x56}, 0x18000, u"big")
                   .build();
    fixture f({{}, rec});
    auto e = f.parse(1);
    EXPECT_EQ(e.sequence_number, 3);
    ASSERT_EQ(e.path_names.size(), 1u);  // the DOS name is not used for paths
    EXPECT_EQ(e.path_names.begin()->second.name, u"long file name.txt");
    ASSERT_NE(e.standard(), nullptr);
    EXPECT_EQ(e.standard()->usn, 0u);
    EXPECT_TRUE(e.has_unnamed_data);
    std::multiset<std::string_view> labels;
    for (const auto& [k, row] : e.catalogue) {
        labels.insert(row.label);
        if (row.name == u"big") {
            ASSERT_EQ(row.runs.size(), 1u);
            EXPECT_EQ(row.runs[0].lcn, 0x5634u);
            EXPECT_EQ(row.stream_size(), 0x18000u);
        }
    }
    EXPECT_EQ(labels.count("ads"), 2u);
    EXPECT_EQ(labels.count("unnamed data"), 1u);
    EXPECT_TRUE(e.zone_texts.empty());  // only read when the zone action asks

    f.decode.keep_zone_identifier = true;
    auto z = f.parse(1);
    ASSERT_EQ(z.zone_texts.size(), 1u);
    EXPECT_EQ(z.zone_texts[0].size(), 3u);
}

TEST(EntryParsing, DamageKeepsWhatCameBefore) {
    // The second attribute claims to run past the record: decoding stops there.
    std::vector<std::uint8_t> overrun(0x20, 0);
    overrun[0] = 0x80;
    overrun[5] = 0x10;  // 4096 bytes
    fixture f({{}, record_builder().resident(0x10, 0, make_si(t2020)).raw(overrun).build()});
    auto e = f.parse(1);
    EXPECT_EQ(e.standard_infos.size(), 1u);
    EXPECT_TRUE(e.catalogue.empty());

    // Value offset past the attribute: nothing is taken.
    auto bad_value = record_builder().resident(0x10, 0, make_si(t2020)).build();
    bad_value[0x38 + 0x14] = 0xF0;
    fixture h({{}, bad_value});
    EXPECT_TRUE(h.parse(1).standard_infos.empty());

    // A record whose first attribute is the end marker is not reported.
    fixture k({{}, record_builder().build()});
    take_all visitor;
    walk_settings settings;
    mft_walk walk(k.entries, k.paths, settings, visitor);
    mft_entry_info e2;
    std::vector<std::uint8_t> bytes;
    ASSERT_EQ(k.records.read_record(1, bytes), record_status::ok);
    EXPECT_FALSE(walk.process(bytes, 1, e2));
}

TEST(AttributeLists, ExtensionRecordsMergeAndSelfReferencesAreSkipped) {
    const auto list = joined({attr_list_entry(0x10, 0, make_ref(1, 1)), attr_list_entry(0x30, 0, make_ref(2, 1)),
                              attr_list_entry(0x80, 2, make_ref(1, 1)), attr_list_entry(0x80, 1, make_ref(2, 1))});
    auto base = record_builder()
                    .resident(0x10, 0, make_si(t2020))
                    .resident(0x20, 1, list)
                    .non_resident(0x80, 2, {0x11, 0x10, 0x20}, 0x20000)
                    .build();
    auto ext = record_builder()
                   .base_ref(make_ref(1, 1))
                   .resident(0x30, 0, make_fn(root_ref, u"fragmented.bin", 1, t2020))
                   .non_resident(0x80, 1, {0x11, 0x10, 0x30}, 0x20000, u"", 0x10)
                   .build();
    fixture f({{}, base, ext});
    auto e = f.parse(1);
    EXPECT_TRUE(e.has_attribute_list);
    EXPECT_EQ(e.standard_infos.size(), 1u);  // not decoded a second time
    ASSERT_EQ(e.file_names.size(), 1u);
    EXPECT_EQ(e.file_names.begin()->second.name, u"fragmented.bin");
    // The unnamed stream continues in the extension record: one row, both runs in order.
    int rows = 0;
    for (const auto& [k, row] : e.catalogue) {
        if (row.label != "unnamed data") continue;
        ++rows;
        ASSERT_EQ(row.runs.size(), 2u);
        EXPECT_EQ(row.runs[0].lcn, 0x20u);
        EXPECT_EQ(row.runs[1].lcn, 0x30u);
        EXPECT_EQ(row.runs[1].vcn, 0x10u);
    }
    EXPECT_EQ(rows, 1);

    // The extension record is walked and reported too, without the "si absent" note.
    auto x = f.parse(2);
    EXPECT_TRUE(x.is_extension);
    check_times(x);
    EXPECT_EQ(x.time_note, "");

    // A list kept in clusters cannot be read from an extracted $MFT: it is only noted.
    fixture g({{}, record_builder()
                       .resident(0x10, 0, make_si(t2020))
                       .non_resident(0x20, 1, {0x11, 0x01, 0x40}, 0x200)
                       .resident(0x30, 2, make_fn(root_ref, u"a", 1, t2020))
                       .build()});
    auto n = g.parse(1);
    EXPECT_TRUE(n.attribute_list_non_resident);
    EXPECT_EQ(n.file_names.size(), 1u);
}

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

    visitor.written.clear();
    settings.start = 1000;
    settings.range = 0;
    EXPECT_TRUE(walk.walk_range());
    EXPECT_TRUE(visitor.written.empty());

    // Record 0 without a $DATA attribute gives no entry count: the walk says so.
    fixture g({record_builder().resident(0x10, 0, make_si(t2020)).build(), recs[1]});
    mft_walk none(g.entries, g.paths, settings, visitor);
    const status s = none.walk_range();
    EXPECT_FALSE(s);
    EXPECT_NE(s.reason().find("no unnamed $DATA"), std::string::npos);
}
