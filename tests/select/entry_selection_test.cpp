#include "select/entry_selection.h"

#include <gtest/gtest.h>

#include <limits>

#include "app/mft_entries_ctx.h"
#include "common/record_builder.h"
#include "ntfs/memory_mft_source.h"
#include "ntfs/mft_walk.h"
#include "select/filter_building.h"
#include "select/signature_tests.h"

using namespace skelvar;
using namespace testing_support;

namespace {

constexpr std::uint64_t t0 = 132223104000000000ull;  // 2020-01-01
constexpr std::uint64_t day = 864000000000ull;

mft_entry_info parsed(mft_entries_ctx& ctx, const std::vector<std::uint8_t>& record, std::uint64_t n = 40) {
    mft_entry_info e;
    EXPECT_TRUE(parse_entry(ctx, record, n, e, false));
    return e;
}

std::vector<std::uint8_t> file(const std::u16string& name, std::uint64_t parent = make_ref(5, 5),
                               std::size_t data = 10) {
    return record_builder()
        .resident(0x10, 0, make_si(t0))
        .resident(0x30, 1, make_fn(parent, name, 1, t0))
        .resident(0x80, 2, std::vector<std::uint8_t>(data, 'x'))
        .build();
}

// Runs the OR test on `record` with the options `set` chooses, collections built from them.
template <class Set>
bool or_match(Set set, const std::vector<std::uint8_t>& record, std::vector<std::string>* texts = nullptr) {
    mft_entries_ctx ctx;
    set(ctx);
    mft_entry_info e = parsed(ctx, record);
    build_filters(ctx);
    const bool ok = or_test(ctx, e);
    if (texts) *texts = e.marks.matched;
    return ok;
}

}  // namespace

TEST(Combination, TableOfOutcomes) {
    // One row per way through the combination.
    struct row {
        bool or_ok, any_filter, and_logic, preselected, sigs, sig_passes, reported;
    };
    const row rows[] = {
        // no signature list: the OR test decides, a preselected entry passes without AND logic
        {true, true, false, false, false, true, true},
        {false, true, false, false, false, true, false},
        {false, true, false, true, false, true, true},
        {false, true, true, true, false, true, false},
        // with signatures: an OR match is enough without AND logic, with it the signature must pass too
        {true, true, false, false, true, false, true},
        {true, true, true, false, true, false, false},
        {true, true, true, false, true, true, true},
        // no OR filter at all: only the signature or a preselection selects
        {true, false, false, false, true, false, false},
        {true, false, false, true, true, false, true},
        // OR failed: the signature alone selects, unless AND logic is on
        {false, true, false, false, true, true, true},
        {false, true, false, false, true, false, false},
        {false, true, true, false, true, true, false},
    };
    for (const row& r : rows) {
        const selection_results in{true, r.or_ok, r.any_filter, r.and_logic, r.preselected, r.sigs};
        const bool sig = r.sigs ? r.sig_passes : true;
        EXPECT_EQ(combine_selection(in, [&] { return sig; }), r.reported)
            << "or " << r.or_ok << " any " << r.any_filter << " and " << r.and_logic << " pre " << r.preselected
            << " sigs " << r.sigs << " sig " << r.sig_passes;
    }
    // Outside the time window nothing else is asked.
    selection_results late;
    late.time_ok = false;
    int asked = 0;
    EXPECT_FALSE(combine_selection(late, [&] { return ++asked, true; }));
    EXPECT_EQ(asked, 0);
}

TEST(Preselection, DeletedOnlyEntryNumbersAndAndLogic) {
    mft_entry_info e;
    mft_entries_ctx none;
    build_filters(none);
    EXPECT_EQ(preselect(none, 7, true, e), preselection::keep);

    mft_entries_ctx deleted;
    deleted.deleted_only = deleted.and_logic = true;
    build_filters(deleted);
    EXPECT_EQ(preselect(deleted, 7, false, e), preselection::preselected);
    EXPECT_TRUE(e.marks.deleted);
    EXPECT_EQ(preselect(deleted, 8, true, e), preselection::drop);

    mft_entries_ctx listed;
    listed.filter_inodes = {7};
    build_filters(listed);
    mft_entry_info l;
    EXPECT_EQ(preselect(listed, 7, true, l), preselection::preselected);
    EXPECT_TRUE(l.marks.listed);
    EXPECT_EQ(preselect(listed, 8, true, l), preselection::keep);  // other filters may still take it
    listed.and_logic = true;
    EXPECT_EQ(preselect(listed, 8, true, l), preselection::drop);

    // Only signatures: every entry goes on to the signature test.
    mft_entries_ctx sig;
    sig.deleted_only = true;
    sig.filter_sig_types = {30};
    build_filters(sig);
    EXPECT_EQ(preselect(sig, 8, true, l), preselection::keep);
}

TEST(OrTest, ExtensionsAndNames) {
    using ctx = mft_entries_ctx;
    std::vector<std::string> texts;
    auto txt = [](ctx& c) { c.filter_exts = {".TXT"}; };
    EXPECT_TRUE(or_match(txt, file(u"Notes.txt"), &texts));
    EXPECT_EQ(texts, (std::vector<std::string>{"ext(txt)"}));
    EXPECT_FALSE(or_match(txt, file(u"notes.txt.bak")));
    EXPECT_FALSE(or_match(txt, file(u"txt")));

    // The first dotted name in attribute order is the DOS one: only its extension counts.
    const auto two_names = record_builder()
                               .resident(0x30, 1, make_fn(make_ref(5, 5), u"REPORT~1.DOC", 2, t0))
                               .resident(0x30, 2, make_fn(make_ref(5, 5), u"report.docx", 1, t0))
                               .build();
    EXPECT_FALSE(or_match([](ctx& c) { c.filter_exts = {"docx"}; }, two_names));
    EXPECT_TRUE(or_match([](ctx& c) { c.filter_exts = {"doc"}; }, two_names));

    EXPECT_TRUE(or_match([](ctx& c) { c.filter_names = {"VOICE"}; }, file(u"Invoice.pdf"), &texts));
    EXPECT_EQ(texts, (std::vector<std::string>{"name(voice)"}));
    auto full = [](ctx& c) { c.filter_fullnames = {"voice", "invoice.PDF"}; };
    EXPECT_FALSE(or_match(full, file(u"Invoice 2.pdf")));
    EXPECT_TRUE(or_match(full, file(u"Invoice.pdf")));
    EXPECT_TRUE(or_match([](ctx& c) { c.filter_fullnames = {"Users\\bob\\Invoice.pdf"}; }, file(u"INVOICE.PDF")));

    auto wild = [](ctx& c) { c.filter_wildcards = {"rep?rt*.t?t"}; };
    EXPECT_TRUE(or_match(wild, file(u"Report 2019.txt"), &texts));
    EXPECT_EQ(texts, (std::vector<std::string>{"pattern(Report 2019.txt)"}));
    EXPECT_FALSE(or_match(wild, file(u"Report 2019.pdf")));
}

TEST(OrTest, SizesOfUnnamedAndNamedStreams) {
    const auto dir = record_builder().flags(3).resident(0x30, 1, make_fn(make_ref(5, 5), u"d", 1, t0)).build();
    const auto small = file(u"small.bin", make_ref(5, 5), 50);
    const auto big = record_builder()
                         .resident(0x30, 1, make_fn(make_ref(5, 5), u"big.bin", 1, t0))
                         .non_resident(0x80, 2, {0x11, 0x01, 0x20}, 100)  // 100 bytes in a 4096-byte cluster
                         .build();
    auto run = [&](std::uint64_t max, std::uint64_t min, const std::vector<std::uint8_t>& rec) {
        return or_match([&](mft_entries_ctx& c) { c.filter_max_size = max, c.filter_min_size = min; }, rec);
    };
    EXPECT_TRUE(run(100, 0, dir));  // no unnamed data: passes a maximum ...
    EXPECT_FALSE(run(0, 1, dir));   // ... never a minimum
    EXPECT_FALSE(run(0, 60, small));
    EXPECT_TRUE(run(60, 40, small));
    EXPECT_FALSE(run(1000, 0, big));  // the allocated size counts when larger
    EXPECT_TRUE(run(4096, 0, big));

    const auto with_ads = record_builder()
                              .resident(0x30, 1, make_fn(make_ref(5, 5), u"host.txt", 1, t0))
                              .resident(0x80, 2, std::vector<std::uint8_t>(5, 'x'))
                              .resident(0x80, 3, std::vector<std::uint8_t>(30, 'y'), u"Secret")
                              .build();
    auto ads = [](std::uint64_t min) { return [=](mft_entries_ctx& c) { c.filter_min_ads_size = min; }; };
    EXPECT_TRUE(or_match(ads(20), with_ads));
    EXPECT_FALSE(or_match(ads(20), small));
    EXPECT_FALSE(or_match(ads(31), with_ads));
}

TEST(TimeTest, WindowOverEveryTimeOfBothAttributes) {
    mft_entries_ctx ctx;
    auto e = parsed(ctx, file(u"a.txt"));
    EXPECT_TRUE(time_test(ctx, e));  // no window
    EXPECT_FALSE(e.marks.in_time_range);
    ctx.filter_start_time = t0 - day;
    ctx.filter_stop_time = std::numeric_limits<std::uint64_t>::max();  // as -filter_start_time alone leaves it
    EXPECT_TRUE(time_test(ctx, e));
    EXPECT_TRUE(e.marks.in_time_range);
    ctx.filter_start_time = t0 + 1;
    EXPECT_FALSE(time_test(ctx, e));
    ctx.filter_start_time = ctx.filter_stop_time = t0;  // both ends included
    EXPECT_TRUE(time_test(ctx, e));
    // Only the $FILE_NAME time falls in the window.
    const auto mixed = record_builder()
                           .resident(0x10, 0, make_si(t0 + 10 * day))
                           .resident(0x30, 1, make_fn(make_ref(5, 5), u"m", 1, t0))
                           .build();
    e = parsed(ctx, mixed);
    EXPECT_TRUE(time_test(ctx, e));
}

TEST(SignatureTest, ExtractedMftHasNoDataSoEverySignaturePasses) {
    mft_entries_ctx ctx;
    ctx.source = std::make_unique<memory_mft_source>(mft_image({{}, file(u"a.exe")}));
    ctx.filter_sig_types = {30, 35};
    build_filters(ctx);
    EXPECT_TRUE(ctx.header_bytes_wanted);
    EXPECT_EQ(ctx.header_length, 0x40u);
    auto e = parsed(ctx, file(u"a.exe"));
    EXPECT_TRUE(signature_test(ctx, e));
    EXPECT_TRUE(select_entry(ctx, e, false));

    mft_entries_ctx none;
    build_filters(none);
    EXPECT_TRUE(signature_test(none, e));  // an empty list passes

    // Tests with their own function: the first pass (OR) or the first failure (AND) decides.
    mft_entries_ctx own;
    build_filters(own);
    own.filters.signatures = {{1, [](const mft_entry_info&, const mft_entries_ctx&) { return false; }},
                              {2, [](const mft_entry_info&, const mft_entries_ctx&) { return true; }}};
    EXPECT_TRUE(signature_test(own, e));
    own.and_logic = true;
    EXPECT_FALSE(signature_test(own, e));
}

TEST(SignatureTest, HeaderOfTheLastDataStreamCutAtItsSize) {
    mft_entries_ctx ctx;
    std::vector<std::uint8_t> mz(40, 0);
    mz[0] = 'M';
    mz[1] = 'Z';
    const auto rec = record_builder()
                         .resident(0x30, 1, make_fn(make_ref(5, 5), u"tiny.exe", 1, t0))
                         .resident(0x80, 2, std::vector<std::uint8_t>(100, 'x'))
                         .resident(0x80, 3, mz, u"payload")
                         .build();
    auto e = parsed(ctx, rec);
    const catalogue_row* stream = signature_stream(e);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->name, u"payload");
    std::vector<std::uint8_t> header;
    ASSERT_TRUE(read_stream_header(ctx, *stream, 0, 0x40, header));
    EXPECT_EQ(header.size(), 40u);  // a 40-byte file gives 40 bytes ...
    EXPECT_FALSE(is_mz(header));    // ... too few for "mz"
    EXPECT_TRUE(read_stream_header(ctx, *stream, 38, 0x40, header));
    EXPECT_EQ(header.size(), 2u);
    EXPECT_FALSE(read_stream_header(ctx, *stream, 40, 0x40, header));
}
