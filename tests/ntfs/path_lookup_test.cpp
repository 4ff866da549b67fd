#include "ntfs/path_lookup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/mft_fixture.h"
#include "common/index_builder.h"
#include "common/record_builder.h"
#include "common/test_support.h"
#include "ntfs/memory_mft_source.h"
#include "ntfs/name_case.h"
#include "ntfs/ntfs_types.h"
#include "support/utf8.h"

using namespace skelvar;
using namespace testing_support;

namespace {

constexpr std::uint64_t t0 = 132223104000000000ull;
constexpr std::uint32_t tag_symlink = 0xA000000C;
constexpr std::uint32_t tag_junction = 0xA0000003;

std::vector<std::uint8_t> reparse_value(std::uint32_t tag, const std::u16string& substitute,
                                        const std::u16string& print, bool relative = false) {
    const std::size_t head = tag == tag_symlink ? 0x14 : 0x10;
    std::vector<std::uint8_t> v(head, 0);
    for (char16_t c : substitute) put_index(v, v.size(), c, 2);
    for (char16_t c : print) put_index(v, v.size(), c, 2);
    put_index(v, 0x00, tag, 4);
    put_index(v, 0x04, v.size() - 8, 2);
    put_index(v, 0x08, 0, 2);
    put_index(v, 0x0A, 2 * substitute.size(), 2);
    put_index(v, 0x0C, 2 * substitute.size(), 2);
    put_index(v, 0x0E, 2 * print.size(), 2);
    if (tag == tag_symlink) put_index(v, 0x10, relative ? 1 : 0, 4);
    return v;
}

std::vector<std::uint8_t> names_index(const std::vector<std::pair<std::uint64_t, std::u16string>>& kids,
                                      std::uint64_t dir) {
    std::vector<std::vector<std::uint8_t>> entries;
    for (const auto& [n, name] : kids) entries.push_back(index_entry(make_ref(n, 1), name, dir));
    entries.push_back(last_index_entry());
    return index_root_value(index_node(entries));
}

std::vector<std::uint8_t> directory(std::uint64_t parent, const std::u16string& name,
                                    const std::vector<std::pair<std::uint64_t, std::u16string>>& kids,
                                    std::uint64_t self) {
    return record_builder()
        .flags(3)
        .resident(0x10, 0, make_si(t0))
        .resident(0x30, 1, make_fn(make_ref(parent, 1), name, 1, t0))
        .resident(0x90, 2, names_index(kids, self), u"$I30")
        .build();
}

std::vector<std::uint8_t> link(std::uint64_t parent, const std::u16string& name, std::vector<std::uint8_t> reparse,
                               bool is_dir) {
    return record_builder()
        .flags(is_dir ? 3 : 1)
        .resident(0x10, 0, make_si(t0))
        .resident(0x30, 1, make_fn(make_ref(parent, 1), name, 1, t0))
        .resident(0xC0, 2, reparse)
        .build();
}

// [root]: Windows\System32\Kernel32.dll (DOS name KERNEL~1.DLL), ReadMe.TXT,
// docs -> junction to \??\C:\Windows, rel -> relative symlink to Windows\System32,
// up -> relative symlink ..\Windows inside Übergröße, Übergröße\café.txt,
// and a file hard-linked as a.txt (root) and b.txt (Windows).
std::vector<std::uint8_t> sample_mft() {
    std::vector<std::vector<std::uint8_t>> recs(24);
    recs[5] = directory(5, u".",
                        {{5, u"."}, {6, u"Windows"}, {7, u"ReadMe.TXT"}, {8, u"docs"}, {11, u"rel"},
                         {12, u"Übergröße"}, {14, u"a.txt"}},
                        5);
    recs[6] = directory(5, u"Windows", {{9, u"System32"}, {14, u"b.txt"}}, 6);
    recs[7] = record_builder().resident(0x30, 1, make_fn(make_ref(5, 1), u"ReadMe.TXT", 1, t0)).build();
    recs[8] = link(5, u"docs", reparse_value(tag_junction, u"\\??\\C:\\Windows", u"C:\\Windows"), true);
    recs[9] = directory(6, u"System32", {{10, u"Kernel32.dll"}, {10, u"KERNEL~1.DLL"}}, 9);
    recs[10] = record_builder()
                   .resident(0x30, 1, make_fn(make_ref(9, 1), u"Kernel32.dll", 1, t0))
                   .resident(0x30, 2, make_fn(make_ref(9, 1), u"KERNEL~1.DLL", 2, t0))
                   .build();
    recs[11] = link(5, u"rel", reparse_value(tag_symlink, u"Windows\\System32", u"Windows\\System32", true), true);
    recs[12] = directory(5, u"Übergröße", {{13, u"café.txt"}, {15, u"up"}}, 12);
    recs[13] = record_builder().resident(0x30, 1, make_fn(make_ref(12, 1), u"café.txt", 1, t0)).build();
    recs[14] = record_builder()
                   .resident(0x30, 1, make_fn(make_ref(5, 1), u"a.txt", 1, t0))
                   .resident(0x30, 2, make_fn(make_ref(6, 1), u"b.txt", 1, t0))
                   .build();
    recs[15] = link(12, u"up", reparse_value(tag_symlink, u"..\\Windows", u"..\\Windows", true), true);
    return mft_image(recs);
}

struct fixture {
    testing_support::mft_fixture ctx;
    path_lookup lookup{ctx.entries};
    fixture() { ctx.records.attach(std::make_unique<memory_mft_source>(sample_mft())); }
    std::optional<std::uint64_t> find(const std::u16string& p, bool follow = false) {
        return lookup.lookup_path(p, follow);
    }
};

}  // namespace

TEST(PathLookup, SameEntryWhateverTheSpelling) {
    fixture f;
    for (const std::u16string p : {u"Windows/System32/KERNEL32.DLL", u"C:/windows/system32/kernel32.dll",
                                   u"[root]\\Windows\\System32\\Kernel32.dll", u"\\\\?\\C:\\WINDOWS\\system32\\kernel~1.dll",
                                   u"Windows\\ System32 \\Kernel32.dll:Zone.Identifier",
                                   u"Windows\\.\\System32\\..\\System32\\Kernel32.dll"})
        EXPECT_EQ(f.find(p), std::optional<std::uint64_t>(10)) << uni::to_utf8(p);
    EXPECT_EQ(f.find(u"übergröSSe"), std::nullopt);  // no multi-letter folds
    EXPECT_EQ(f.find(u"ÜBERGRÖSSE"), std::nullopt);
    EXPECT_EQ(f.find(u"\\ÜBERGRÖßE\\CAFÉ.TXT"), std::optional<std::uint64_t>(13));
    EXPECT_EQ(f.find(u"c:\\"), std::optional<std::uint64_t>(5));
    EXPECT_EQ(f.find(u"c:ReadMe.txt"), std::optional<std::uint64_t>(7));
    EXPECT_EQ(f.find(u"[root]"), std::optional<std::uint64_t>(5));
}

TEST(PathLookup, MissingSegmentsAndHardLinks) {
    fixture f;
    EXPECT_EQ(f.find(u""), std::nullopt);
    EXPECT_EQ(f.find(u"\\Windows\\nothing.txt"), std::nullopt);
    EXPECT_EQ(f.find(u"\\ReadMe.TXT\\below"), std::nullopt);  // a file has no children
    EXPECT_EQ(f.find(u"\\a.txt"), std::optional<std::uint64_t>(14));
    EXPECT_EQ(f.find(u"\\Windows\\b.txt"), std::optional<std::uint64_t>(14));
    // A hard link answers only to the name it has in that directory.
    EXPECT_EQ(f.find(u"\\Windows\\a.txt"), std::nullopt);
}

TEST(PathLookup, LinksOnTheWayAreFollowed) {
    fixture f;
    EXPECT_EQ(f.find(u"\\docs\\System32\\Kernel32.dll"), std::optional<std::uint64_t>(10));  // junction, absolute
    EXPECT_EQ(f.find(u"\\rel\\Kernel32.dll"), std::optional<std::uint64_t>(10));              // relative symlink
    EXPECT_EQ(f.find(u"\\Übergröße\\up\\System32"), std::optional<std::uint64_t>(9));       // ..\ from its folder
    // The link itself, unless asked to follow a final link (directory filters do).
    EXPECT_EQ(f.find(u"\\docs"), std::optional<std::uint64_t>(8));
    EXPECT_EQ(f.find(u"\\docs", true), std::optional<std::uint64_t>(6));
}

TEST(PathLookup, LinkLoopsEnd) {
    std::vector<std::vector<std::uint8_t>> recs(12);
    recs[5] = directory(5, u".", {{6, u"loop"}}, 5);
    recs[6] = link(5, u"loop", reparse_value(tag_symlink, u"\\loop\\x", u"\\loop\\x"), true);
    testing_support::mft_fixture ctx(recs);
    path_lookup lookup(ctx.entries);
    EXPECT_EQ(lookup.lookup_path(u"\\loop\\y"), std::nullopt);
}

TEST(PathLookup, DirectoriesBelowAndDiagnostics) {
    fixture f;
    auto scratch = scratch_dir("path_lookup");
    ASSERT_TRUE(f.ctx.log.open((scratch / "diags.txt").string(), "test"));
    auto below = f.lookup.directories_below(5, u"[root]");
    std::map<std::uint64_t, std::u16string> got(below.begin(), below.end());
    // Links are not descended into; the root's "." entry is itself.
    EXPECT_EQ(got, (std::map<std::uint64_t, std::u16string>{
                       {6, u"[root]\\Windows"}, {9, u"[root]\\Windows\\System32"}, {12, u"[root]\\Übergröße"}}));
    EXPECT_EQ(f.find(u"c:\\Windows\\Nope"), std::nullopt);
    f.ctx.log.close();
    const std::string log = read_file(scratch / "diags.txt");
    for (const char* line : {"->anal: c:\\Windows\\Nope\n", "->seg: WINDOWS\n",
                             "->info: inode found for seg: WINDOWS : 0x6\n", "->err: no child nodes\n",
                             "->inode not found for c:\\Windows\\Nope\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

TEST(PathLookup, ExtractedMftListsLargeDirectoriesFromParentReferences) {
    // "big" keeps one name in its root node; the rest sit in INDX blocks that an
    // extracted $MFT cannot reach. Entry 9 is deleted and must not be found.
    std::vector<std::vector<std::uint8_t>> recs(12);
    recs[5] = directory(5, u".", {{6, u"big"}}, 5);
    recs[6] = record_builder()
                  .flags(3)
                  .resident(0x30, 1, make_fn(make_ref(5, 1), u"big", 1, t0))
                  .resident(0x90, 2, index_root_value(index_node({index_entry(make_ref(7, 1), u"m", 6, 1),
                                                                  last_index_entry()})),
                            u"$I30")
                  .non_resident(0xA0, 3, {0x11, 0x02, 0x10}, 8192, u"$I30")
                  .build();
    recs[7] = record_builder().resident(0x30, 1, make_fn(make_ref(6, 1), u"m", 1, t0)).build();
    recs[8] = record_builder().resident(0x30, 1, make_fn(make_ref(6, 1), u"in a block.txt", 1, t0)).build();
    recs[9] = record_builder().flags(0).resident(0x30, 1, make_fn(make_ref(6, 1), u"deleted.txt", 1, t0)).build();
    testing_support::mft_fixture ctx(recs);
    path_lookup lookup(ctx.entries);
    EXPECT_EQ(lookup.lookup_path(u"\\big\\IN A BLOCK.TXT"), std::optional<std::uint64_t>(8));
    EXPECT_EQ(lookup.lookup_path(u"\\big\\m"), std::optional<std::uint64_t>(7));
    EXPECT_EQ(lookup.lookup_path(u"\\big\\deleted.txt"), std::nullopt);
}
