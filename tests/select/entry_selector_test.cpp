#include "select/entry_selector.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "common/mft_fixture.h"
#include "select/filter_building.h"
#include "select/signature_tests.h"

using namespace skelvar;
using namespace testing_support;

namespace {

constexpr std::uint64_t t0 = 132223104000000000ull;  // 2020-01-01

std::vector<std::uint8_t> file(const std::u16string& name, std::uint64_t parent = make_ref(5, 5),
                               std::size_t data = 10) {
    return record_builder()
        .resident(0x10, 0, make_si(t0))
        .resident(0x30, 1, make_fn(parent, name, 1, t0))
        .resident(0x80, 2, std::vector<std::uint8_t>(data, 'x'))
        .build();
}

// Settings as the options left them, collections built from them, the entry parsed.
struct selection {
    selection_settings settings;
    header_request header;
    filter_collections filters;
    mft_fixture mft;

    explicit selection(const std::function<void(selection_settings&)>& set = {}) {
        if (set) set(settings);
        filters = build_filters(settings, true);
    }
    entry_selector selector() { return entry_selector(settings, filters, header, nullptr, true); }
    mft_entry_info parse(const std::vector<std::uint8_t>& record) {
        mft_entry_info e;
        EXPECT_TRUE(mft.entries.parse(record, 40, e));
        return e;
    }
};

bool or_match(const std::function<void(selection_settings&)>& set, const std::vector<std::uint8_t>& record,
              std::vector<std::string>* texts = nullptr) {
    selection s(set);
    mft_entry_info e = s.parse(record);
    const bool ok = s.selector().or_test(e);
    if (texts) *texts = e.marks.matched;
    return ok;
}

}  // namespace

TEST(Preselection, DeletedOnlyEntryNumbersAndAndLogic) {
    mft_entry_info e;
    selection none;
    EXPECT_EQ(none.selector().preselect(7, true, e), preselection::keep);

    selection deleted([](selection_settings& s) { s.deleted_only = s.and_logic = true; });
    EXPECT_EQ(deleted.selector().preselect(7, false, e), preselection::preselected);
    EXPECT_TRUE(e.marks.deleted);
    EXPECT_EQ(deleted.selector().preselect(8, true, e), preselection::drop);

    selection listed([](selection_settings& s) { s.inodes = {7}; });
    mft_entry_info l;
    EXPECT_EQ(listed.selector().preselect(7, true, l), preselection::preselected);
    EXPECT_TRUE(l.marks.listed);
    EXPECT_EQ(listed.selector().preselect(8, true, l), preselection::keep);  // other filters may still take it
    listed.settings.and_logic = true;
    EXPECT_EQ(listed.selector().preselect(8, true, l), preselection::drop);
}

TEST(OrTest, ExtensionsNamesAndWildcards) {
    using S = selection_settings;
    std::vector<std::string> texts;
    auto txt = [](S& s) { s.exts = {".TXT"}; };
    EXPECT_TRUE(or_match(txt, file(u"Notes.txt"), &texts));
    EXPECT_EQ(texts, (std::vector<std::string>{"ext(txt)"}));
    EXPECT_FALSE(or_match(txt, file(u"notes.txt.bak")));

    // The first dotted name in attribute order is the DOS one: only its extension counts.
    const auto two_names = record_builder()
                               .resident(0x30, 1, make_fn(make_ref(5, 5), u"REPORT~1.DOC", 2, t0))
                               .resident(0x30, 2, make_fn(make_ref(5, 5), u"report.docx", 1, t0))
                               .build();
    EXPECT_FALSE(or_match([](S& s) { s.exts = {"docx"}; }, two_names));
    EXPECT_TRUE(or_match([](S& s) { s.exts = {"doc"}; }, two_names));

    EXPECT_TRUE(or_match([](S& s) { s.names = {"VOICE"}; }, file(u"Invoice.pdf"), &texts));
    EXPECT_EQ(texts, (std::vector<std::string>{"name(voice)"}));
    EXPECT_FALSE(or_match([](S& s) { s.fullnames = {"voice"}; }, file(u"Invoice.pdf")));
    EXPECT_TRUE(or_match([](S& s) { s.fullnames = {"Users\\bob\\Invoice.pdf"}; }, file(u"INVOICE.PDF")));
    EXPECT_TRUE(or_match([](S& s) { s.wildcards = {"rep?rt*.t?t"}; }, file(u"Report 2019.txt"), &texts));
    EXPECT_EQ(texts, (std::vector<std::string>{"pattern(Report 2019.txt)"}));
}

TEST(OrTest, SizesOfUnnamedAndNamedStreams) {
    const auto dir = record_builder().flags(3).resident(0x30, 1, make_fn(make_ref(5, 5), u"d", 1, t0)).build();
    const auto small = file(u"small.bin", make_ref(5, 5), 50);
    const auto big = record_builder()
                         .resident(0x30, 1, make_fn(make_ref(5, 5), u"big.bin", 1, t0))
                         .non_resident(0x80, 2, {0x11, 0x01, 0x20}, 100)  // 100 bytes in a 4096-byte cluster
                         .build();
    const auto with_ads = record_builder()
                              .resident(0x30, 1, make_fn(make_ref(5, 5), u"host.txt", 1, t0))
                              .resident(0x80, 2, std::vector<std::uint8_t>(5, 'x'))
                              .resident(0x80, 3, std::vector<std::uint8_t>(30, 'y'), u"Secret")
                              .build();
    struct size_case {
        std::uint64_t max, min, min_ads;
        const std::vector<std::uint8_t>& record;
        bool matches;
    };
    for (const size_case& c : {size_case{100, 0, 0, dir, true},  // no unnamed data: passes a maximum ...
                               size_case{0, 1, 0, dir, false},   // ... never a minimum
                               size_case{0, 60, 0, small, false}, size_case{60, 40, 0, small, true},
                               size_case{1000, 0, 0, big, false},  // the allocated size counts when larger
                               size_case{4096, 0, 0, big, true}, size_case{0, 0, 20, with_ads, true},
                               size_case{0, 0, 20, small, false}, size_case{0, 0, 31, with_ads, false}}) {
        EXPECT_EQ(or_match([&](selection_settings& s) { s.max_size = c.max, s.min_size = c.min,
                                                        s.min_ads_size = c.min_ads; },
                           c.record),
                  c.matches)
            << c.max << " " << c.min << " " << c.min_ads;
    }
}
