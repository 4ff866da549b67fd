// Directory indexes, path lookup and the filters on real volumes, compared with
// The Sleuth Kit's view of the same images (tests/fixtures/data/*.fls.txt,
// basic.ils_unalloc.txt; recorded by tests/fixtures/record_filter_views.sh and
// make_basic_volume.sh).
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/mft_entries_ctx.h"
#include "app/walk_choice.h"
#include "ntfs/directory_index.h"
#include "ntfs/mft_walk.h"
#include "ntfs/path_lookup.h"
#include "ntfs/source_opening.h"
#include "select/entry_selector.h"
#include "select/filter_building.h"
#include "support/utf8.h"
#include "oracle_text.h"

namespace fs = std::filesystem;
using namespace skelvar;
using namespace testing_support;
using namespace oracle_text;

namespace {

// The names fls -r -p lists, without TSK's virtual entries.
std::vector<fls_name> read_fls(const fs::path& file) {
    auto names = parse_fls(read_file(file));
    std::erase_if(names, [](const fls_name& n) { return n.is_virtual; });
    return names;
}

std::set<std::uint64_t> entries_where(const std::vector<fls_name>& names, auto pred) {
    std::set<std::uint64_t> out;
    for (const fls_name& n : names)
        if (pred(n)) out.insert(n.entry);
    return out;
}

// A volume image opened as the run driver opens it.
struct opened_volume {
    mft_entries_ctx ctx;
    explicit opened_volume(const std::string& image) {
        static std::map<std::string, fs::path> unpacked;
        auto& path = unpacked[image];
        if (path.empty()) path = gunzip_to(fixture(image + ".img.gz"), scratch_dir("filter_oracle_" + image));
        ctx.source.image_path = path.string();
        ctx.walk.show_progress = false;
        open_source(ctx.source, false, ctx.records);
    }
};

// Selection as the run driver wires it; the entries written are collected.
struct collecting_visitor final : entry_visitor {
    entry_selector& selector;
    std::set<std::uint64_t> out;
    explicit collecting_visitor(entry_selector& s) : selector(s) {}
    preselection preselect(std::uint64_t n, bool in_use, mft_entry_info& e) override {
        return selector.preselect(n, in_use, e);
    }
    bool select(mft_entry_info& e, bool pre) override { return selector.select(e, pre); }
    // Extension records count as their base entry.
    void write(mft_entry_info& e) override { out.insert(e.is_extension ? ref_entry(e.base_ref) : e.entry_number); }
};

// The entries a run with `setup` reports.
std::set<std::uint64_t> selected(const std::string& image, const auto& setup) {
    opened_volume v(image);
    mft_entries_ctx& ctx = v.ctx;
    setup(ctx.selection);
    ctx.filters = build_filters(ctx.selection, true);
    complete_filters(ctx.filters, ctx.entries, ctx.paths, true);
    entry_selector selector(ctx.selection, ctx.filters, ctx.header, ctx.records.volume(), true);
    collecting_visitor visitor(selector);
    mft_walk walk(ctx.entries, ctx.paths, ctx.walk, visitor);
    if (choose_walk(ctx) == walk_plan::entry_list) {
        std::vector<std::uint64_t> listed;
        for (const auto& [n, item] : ctx.filters.entries) listed.push_back(n);
        walk.walk_list(listed);
    } else {
        walk.walk_range();
    }
    return visitor.out;
}

}  // namespace

TEST(DirectoryIndexOracle, ChildrenOfEveryDirectoryEqualFls) {
    for (const std::string image : {"basic", "ntfsvol_4kn", "ntfsvol_frag"}) {
        SCOPED_TRACE(image);
        const auto names = read_fls(fixture(image + ".fls.txt"));
        ASSERT_GT(names.size(), 50u);
        opened_volume v(image);
        ASSERT_TRUE(v.ctx.records.ready());
        std::map<std::string, std::uint64_t> dirs{{"", 5}};
        for (const fls_name& n : names)
            if (n.directory && !n.deleted) dirs[n.path] = n.entry;
        int with_blocks = 0;
        for (const auto& [dir_path, dir] : dirs) {
            SCOPED_TRACE(dir_path);
            const std::string& parent = dir_path;  // a structured binding is not captured by every compiler
            const auto expected =
                entries_where(names, [&](const fls_name& n) { return !n.deleted && n.parent() == parent; });
            children_set got;
            index_read_status status;
            EXPECT_TRUE(read_children(v.ctx.entries, dir, got, false, &status));
            got.erase(dir);
            EXPECT_EQ(got, expected);
            if (status.allocation_read) ++with_blocks;
        }
        EXPECT_GT(with_blocks, 0) << "no directory with INDX records";
    }
}

TEST(PathLookupOracle, EveryListedNameResolvesToItsEntry) {
    for (const std::string image : {"basic", "ntfsvol_frag"}) {
        SCOPED_TRACE(image);
        opened_volume v(image);
        path_lookup lookup(v.ctx.entries);
        int checked = 0;
        for (const fls_name& n : read_fls(fixture(image + ".fls.txt"))) {
            if (n.deleted) continue;
            // Upper case and backslashes, as an examiner may type it.
            std::u16string p = u"C:\\" + uni::to_utf16(n.path);
            for (auto& c : p)
                if (c == u'/') c = u'\\';
            auto got = lookup.lookup_path(p);
            EXPECT_EQ(got, std::optional<std::uint64_t>(n.entry)) << n.path;
            ++checked;
        }
        EXPECT_GT(checked, 100);
    }
    opened_volume v("basic");
    path_lookup lookup(v.ctx.entries);
    // The Windows symbolic link (relative, to dir1\dir2\level2.txt) is followed when asked.
    EXPECT_EQ(lookup.lookup_path(u"\\winlink_to_level2"), std::optional<std::uint64_t>(80));
    EXPECT_EQ(lookup.lookup_path(u"\\winlink_to_level2", true), std::optional<std::uint64_t>(69));
    EXPECT_EQ(lookup.lookup_path(u"\\deleted_dir\\child.txt"), std::nullopt);
}

TEST(FilterOracle, DirectoryFiltersSelectWhatFlsListsThere) {
    const auto names = read_fls(fixture("basic.fls.txt"));
    auto under = [&](const std::string& dir) {
        return entries_where(names, [&](const fls_name& n) { return n.parent() == dir; });
    };
    EXPECT_EQ(selected("basic", [](selection_settings& c) { c.dirs = {"bigdir"}; }), under("bigdir"));
    EXPECT_EQ(selected("basic", [](selection_settings& c) { c.dirs = {"\\DIR1\\dir2"}; }), under("dir1/dir2"));
    // The root directory names itself as its parent.
    auto root = under("");
    root.insert(5);
    EXPECT_EQ(selected("basic", [](selection_settings& c) { c.dirs = {"[root]"}; }), root);

    const auto tree = entries_where(names, [](const fls_name& n) { return n.path.rfind("dir1/", 0) == 0; });
    EXPECT_EQ(selected("basic", [](selection_settings& c) { c.dir_trees = {"c:/dir1"}; }), tree);
    // Deleted subdirectories are descended into too (deleted_dir/child.txt).
    auto everything = entries_where(names, [](const fls_name&) { return true; });
    everything.insert(5);
    EXPECT_EQ(selected("basic", [](selection_settings& c) { c.dir_trees = {"[root]"}; }), everything);
    // Two directories, one given by number.
    auto both = under("bigdir");
    for (auto n : under("unicode")) both.insert(n);
    EXPECT_EQ(selected("basic",
                       [](selection_settings& c) {
                           c.dirs = {"unicode"};
                           c.dir_inodes = {83};
                       }),
              both);

    // The frag volume: its "many" directory spans several INDX blocks.
    const auto frag = read_fls(fixture("ntfsvol_frag.fls.txt"));
    const auto many = entries_where(frag, [](const fls_name& n) { return n.parent() == "many"; });
    EXPECT_EQ(many.size(), 600u);
    EXPECT_EQ(selected("ntfsvol_frag", [](selection_settings& c) { c.dirs = {"many"}; }), many);
}

// fill/ and many/ keep their $INDEX_ALLOCATION in two records (the second piece from VCN 1112 and 720):
// the children whose names sit in either piece are found by the index and by every path filter.
TEST(FilterOracle, SplitIndexResolvesEveryChild) {
    const fs::path dir = scratch_dir("splitidx-fls");
    const auto names = read_fls(gunzip_to(fixture("splitidx.fls.txt.gz"), dir));
    fs::remove_all(dir);
    opened_volume v("splitidx");
    for (const std::string folder : {"fill", "many"}) {
        SCOPED_TRACE(folder);
        const auto children = entries_where(names, [&](const fls_name& n) { return !n.deleted && n.parent() == folder; });
        const auto self = entries_where(names, [&](const fls_name& n) { return n.path == folder; });
        ASSERT_GT(children.size(), 2000u);
        ASSERT_EQ(self.size(), 1u);
        children_set got;
        EXPECT_TRUE(read_children(v.ctx.entries, *self.begin(), got));
        EXPECT_EQ(got, children);
        // The directory filters also take records no longer in use whose name names the folder (fls lists none).
        const auto allocated = entries_where(names, [](const fls_name& n) { return !n.deleted; });
        for (const bool recurse : {false, true}) {
            const std::string path = "\\" + folder;
            const auto picked = selected("splitidx", [&](selection_settings& c) {
                if (recurse)
                    c.dir_trees = {path};
                else
                    c.dirs = {path};
            });
            EXPECT_TRUE(std::includes(picked.begin(), picked.end(), children.begin(), children.end())) << recurse;
            for (const std::uint64_t n : picked) EXPECT_TRUE(children.count(n) || !allocated.count(n)) << n;
        }
        // Every 20th name by path, which the lookup finds in whichever block holds it.
        std::vector<std::string> files;
        std::set<std::uint64_t> want;
        int i = 0;
        for (const fls_name& n : names) {
            if (n.deleted || n.parent() != folder || i++ % 20) continue;
            files.push_back(n.path);
            want.insert(n.entry);
        }
        EXPECT_EQ(selected("splitidx", [&](selection_settings& c) { c.files = files; }), want);
    }
}

TEST(FilterOracle, DeletedFilesAreTheRecordsNotInUse) {
    // The entries ils -A lists: those whose in-use flag is clear.
    std::set<std::uint64_t> unallocated;
    for (const auto& line : lines_of(read_file(fixture("basic.ils_unalloc.txt"))))
        if (std::isdigit(static_cast<unsigned char>(line[0])) && line.find("|f|") != std::string::npos)
            unallocated.insert(std::stoull(line));
    ASSERT_GE(unallocated.size(), 4u);
    EXPECT_EQ(selected("basic",
                       [](selection_settings& c) {
                           c.deleted_only = true;
                           c.and_logic = true;
                       }),
              unallocated);
}

TEST(FilterOracle, SignaturesReadTheStreamThroughTheVolume) {
    // tool.exe starts with "MZ binary": an MZ header (30) but no PE image (34) behind it.
    struct sig_case {
        std::uint32_t sig;
        const char* ext;
        bool and_logic;
        std::set<std::uint64_t> want;
    };
    for (const sig_case& c : {sig_case{30, "", false, {72}}, sig_case{34, "", false, {}},
                              sig_case{30, "dat", true, {}}, sig_case{30, "exe", true, {72}}}) {
        const auto got = selected("ntfsvol_4kn", [&](selection_settings& ctx) {
            ctx.sig_types = {c.sig};
            if (*c.ext) ctx.exts = {c.ext};
            ctx.and_logic = c.and_logic;
        });
        EXPECT_EQ(got, c.want) << c.sig << " " << c.ext << " and=" << c.and_logic;
    }
}

namespace {

// Entry numbers of the rows of a default-layout results file.
std::multiset<std::uint64_t> reported_entries(const fs::path& results, std::string* text = nullptr) {
    std::multiset<std::uint64_t> out;
    const std::string all = read_file(results);
    if (text) *text = all;
    for (const auto& line : lines_of(all))
        if (line.starts_with("0x")) out.insert(std::stoull(line.substr(0, line.find(' ')), nullptr, 16));
    return out;
}

}  // namespace

TEST(FilterCommandLine, FileFiltersOnAnExtractedMft) {
    const auto dir = scratch_dir("filter_cli");
    const auto mft = gunzip_to(fixture("basic.mft.gz"), dir);
    const auto out = dir / "out.txt";
    auto r = run_skelvar({"-mftfile", mft.string(), "-quiet", "-out", out.string(), "-filter_file",
                          "bigdir\\file_050.txt | \\dir1\\dir2\\level2.txt", "-filter_file", "ads_host.txt:secret"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    std::string text;
    const auto rows = reported_entries(out, &text);
    EXPECT_EQ(std::set<std::uint64_t>(rows.begin(), rows.end()), (std::set<std::uint64_t>{133, 69, 76}));
    EXPECT_NE(text.find("inode(0x4c\\secret)"), std::string::npos);
    EXPECT_NE(text.find("inode(0x85)"), std::string::npos);
    // Only paths, none of which resolves: nothing is reported, rather than everything.
    ASSERT_EQ(run_skelvar({"-mftfile", mft.string(), "-quiet", "-out", out.string(), "-filter_file", "missing.txt"})
                  .exit_code, 0);
    EXPECT_TRUE(reported_entries(out).empty());

    // A signature list on an extracted $MFT lets every entry through.
    const auto all_out = dir / "all.txt", sig_out = dir / "sig.txt";
    ASSERT_EQ(run_skelvar({"-mftfile", mft.string(), "-quiet", "-out", all_out.string()}).exit_code, 0);
    ASSERT_EQ(run_skelvar({"-mftfile", mft.string(), "-quiet", "-out", sig_out.string(), "-filter_sig", "mz"}).exit_code,
              0);
    EXPECT_EQ(reported_entries(sig_out), reported_entries(all_out));
}
