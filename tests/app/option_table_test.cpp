// Effects of the options of every table on the run context.
#include "app/option_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <limits>

#include "app/mft_entries_ctx.h"
#include "app/option_driver.h"
#include "app/option_values.h"
#include "app/parse_driver.h"
#include "common/test_support.h"

namespace skelvar {
namespace {

namespace fs = std::filesystem;


TEST(HashOptions, HashfileMd5GivesThePipeLayoutWithMd5Only) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-hashfile", "md5"}).rc, options_ok);
    EXPECT_TRUE(ctx.hash_layout);
    EXPECT_TRUE(ctx.md5);
    EXPECT_FALSE(ctx.sha1);
    EXPECT_FALSE(ctx.sha256);
    EXPECT_EQ(ctx.separator, "|");
    EXPECT_EQ(ctx.sep_char, '|');
    EXPECT_EQ(ctx.sub_char, ';');
}

TEST(HashOptions, ListElementsAreExactLowerCaseNames) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-hashfile", "SHA1 | sha256, crc32"}).rc, options_ok);
    EXPECT_FALSE(ctx.sha1);
    EXPECT_TRUE(ctx.sha256);
    EXPECT_EQ(ctx.separator, "|");

    mft_entries_ctx none;
    ASSERT_EQ(parse(none, {"-hashfile", "crc32"}).rc, options_ok);
    EXPECT_FALSE(none.hash_layout);
    EXPECT_EQ(none.separator, "|");

    mft_entries_ctx flags;
    ASSERT_EQ(parse(flags, {"-md5", "-sha256"}).rc, options_ok);
    EXPECT_TRUE(flags.md5 && flags.sha256 && !flags.sha1);
    EXPECT_FALSE(flags.hash_layout);
}

TEST(LayoutOptions, Log2timelineAndBodyFile) {
    mft_entries_ctx l2t;
    ASSERT_EQ(parse(l2t, {"-csvl2t"}).rc, options_ok);
    EXPECT_TRUE(l2t.csvl2t && l2t.l2t_extended && l2t.no_padding && !l2t.space_before_time);
    EXPECT_EQ(l2t.separator, ",");
    EXPECT_EQ(l2t.sub_char, ' ');

    mft_entries_ctx body;
    ASSERT_EQ(parse(body, {"-bodyfile"}).rc, options_ok);
    EXPECT_TRUE(body.bodyfile && body.no_padding && !body.space_before_time);
    EXPECT_EQ(body.separator, "|");
    EXPECT_EQ(body.sub_char, ';');
}

TEST(LayoutOptions, PerPathPathOnlyAndDefaultSwitchOtherLayoutsOff) {
    mft_entries_ctx per_path;
    ASSERT_EQ(parse(per_path, {"-csv", "-bodyfile", "-csvperpath"}).rc, options_ok);
    EXPECT_TRUE(per_path.csvperpath);
    EXPECT_FALSE(per_path.csv || per_path.bodyfile || per_path.csvl2t);
    EXPECT_EQ(per_path.separator, "|");

    mft_entries_ctx path_only;
    ASSERT_EQ(parse(path_only, {"-csv", "-filepath_only"}).rc, options_ok);
    EXPECT_TRUE(path_only.filepath_only);
    EXPECT_FALSE(path_only.csv);
    EXPECT_TRUE(path_only.separator.empty());
    EXPECT_EQ(path_only.sep_char, 0);

    mft_entries_ctx def;
    ASSERT_EQ(parse(def, {"-csvl2t", "-default_output"}).rc, options_ok);
    EXPECT_TRUE(def.default_output);
    EXPECT_FALSE(def.csvl2t);
    EXPECT_EQ(def.separator, "|");
}

class CopyAction : public testing::Test {
protected:
    void SetUp() override { dir_ = testing_support::scratch_dir("copy"); }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(CopyAction, SetsThePerPathLayoutWithCommaAndCreatesTheFolder) {
    mft_entries_ctx ctx;
    fs::path target = dir_ / "out" / "files";
    ASSERT_EQ(parse(ctx, {"-csv", "-action_copy_files", target.string(), "-raw", "-named_data"}).rc, options_ok);
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_TRUE(ctx.csvperpath && ctx.files_copied && !ctx.csv);
    EXPECT_EQ(ctx.separator, ",");
    EXPECT_EQ(ctx.sep_char, ',');
    EXPECT_EQ(ctx.sub_char, ' ');
    EXPECT_TRUE(ctx.copy_raw && ctx.skip_sparse && ctx.copy_named_streams && !ctx.copy_all_streams);
    EXPECT_EQ(ctx.copy_dir, target.string());
}

TEST_F(CopyAction, PerPathAlreadyOnKeepsItsSeparatorButNotWithPathOnly) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-csvperpath", "-action_copy_files", dir_.string()}).rc, options_ok);
    EXPECT_EQ(ctx.separator, "|");

    mft_entries_ctx both;
    auto p = parse(both, {"-csvperpath", "-filepath_only", "-action_copy_files", dir_.string()});
    EXPECT_EQ(p.rc, options_stop);
    EXPECT_TRUE(p.err.empty()) << p.err;
}

TEST_F(CopyAction, UncreatableFolderStopsTheRun) {
    fs::path file = dir_ / "plain";
    { std::FILE* f = std::fopen(file.c_str(), "w"); std::fclose(f); }
    mft_entries_ctx ctx;
    auto p = parse(ctx, {"-action_copy_files", (file / "sub").string()});
    EXPECT_EQ(p.rc, options_stop);
    EXPECT_EQ(p.err, "prob creating results directory, " + (file / "sub").string() + "\n");
}

TEST(FilterValues, ListsAreSplitAndKeptAsTyped) {
    mft_entries_ctx ctx;
    auto p = parse(ctx, {"-filter_ext", "exe | dll;sys,com", "-filter_name", "Foo", "-filter_fullname", "a.txt;b",
                         "-filter_dir", "\\Windows", "-filter_dir_recurse", "\\Users", "-filter_wildcard", "x?y",
                         "-filter_file", "\\a\\b.txt", "-filter_file", "\\c.txt", "-vmdk", "base.vmdk | child.vmdk"});
    ASSERT_EQ(p.rc, options_ok) << p.err;
    EXPECT_EQ(ctx.filter_exts, (std::vector<std::string>{"exe", "dll", "sys", "com"}));
    EXPECT_EQ(ctx.filter_names, std::vector<std::string>{"Foo"});
    EXPECT_EQ(ctx.filter_fullnames, (std::vector<std::string>{"a.txt", "b"}));
    EXPECT_EQ(ctx.filter_dirs, std::vector<std::string>{"\\Windows"});
    EXPECT_EQ(ctx.filter_dir_trees, std::vector<std::string>{"\\Users"});
    EXPECT_EQ(ctx.filter_wildcards, std::vector<std::string>{"x?y"});
    EXPECT_EQ(ctx.filter_files, (std::vector<std::string>{"\\a\\b.txt", "\\c.txt"}));
    EXPECT_EQ(ctx.vmdk_paths, (std::vector<std::string>{"base.vmdk", "child.vmdk"}));
}

TEST(FilterValues, EntryNumbersSkipWhatDoesNotParse) {
    mft_entries_ctx ctx;
    auto p = parse(ctx, {"-filter_inode", "5 | 0x10, junk; 0x0001000000000020", "-filter_dir_inode", "0x5"});
    ASSERT_EQ(p.rc, options_ok);
    EXPECT_EQ(ctx.filter_inodes, (std::set<std::uint64_t>{5, 16, 32}));
    EXPECT_EQ(ctx.filter_dir_inodes, std::set<std::uint64_t>{5});
    EXPECT_NE(p.err.find("junk"), std::string::npos);
}

TEST(FilterValues, SizesAndScanWindow) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-filter_max_size", "0x100", "-filter_min_size", "10", "-filter_min_ads_size", "1",
                          "-scanstart", "0x1000", "-scansize", "4096"})
                  .rc,
              options_ok);
    EXPECT_EQ(ctx.filter_max_size, 256u);
    EXPECT_EQ(ctx.filter_min_size, 10u);
    EXPECT_EQ(ctx.filter_min_ads_size, 1u);
    EXPECT_EQ(ctx.scan_start, 4096u);
    EXPECT_EQ(ctx.scan_size, 4096u);
}

TEST(FilterValues, SignaturesRaiseTheHeaderRequest) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-filter_sig", "hive | MZ"}).rc, options_ok);
    EXPECT_EQ(ctx.filter_sig_types, (std::vector<std::uint32_t>{35, 30}));
    EXPECT_TRUE(ctx.header_bytes_wanted);
    EXPECT_EQ(ctx.header_length, 0x40u);
    EXPECT_EQ(ctx.header_offset, 0u);

    mft_entries_ctx bad;
    auto p = parse(bad, {"-filter_sig", "mz | jpeg"});
    EXPECT_EQ(p.rc, options_stop);
    EXPECT_EQ(p.err, "Error: -filter_sig option specified invalid option, aborting\n");
}

TEST(FilterValues, FlagsOfTheDeletedAndUnallocatedModes) {
    mft_entries_ctx deleted;
    ASSERT_EQ(parse(deleted, {"-filter_deleted_files"}).rc, options_ok);
    EXPECT_TRUE(deleted.deleted_only && deleted.and_logic);

    mft_entries_ctx unalloc;
    ASSERT_EQ(parse(unalloc, {"-filter_unalloc_clusters", "-filter_all_clusters", "-filter_deleted_files_all"}).rc,
              options_ok);
    EXPECT_TRUE(unalloc.unalloc_scan && unalloc.and_logic && unalloc.all_clusters && unalloc.deleted_all);

    mft_entries_ctx and_logic;
    ASSERT_EQ(parse(and_logic, {"-FILTER_and_LOGIC"}).rc, options_ok);
    EXPECT_TRUE(and_logic.and_logic);
}

TEST(FilterValues, BadPatternStopsTheRun) {
    mft_entries_ctx ctx;
    auto p = parse(ctx, {"-filter_pattern", " | "});
    EXPECT_EQ(p.rc, options_stop);
    EXPECT_EQ(p.err, "Error: -filter_pattern option specified invalid argument, aborting\n");
}

TEST(DateValues, StartTimeOpensTheWindowUpwards) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-filter_start_time", "01/01/2000 00:00:00"}).rc, options_ok);
    EXPECT_EQ(ctx.filter_start_time, 125911584000000000ull);
    EXPECT_EQ(ctx.filter_stop_time, std::numeric_limits<std::uint64_t>::max());
}

TEST(DateValues, StopTimeWithoutTimeIsTheEndOfTheDay) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-filter_stop_time", "01/01/2000", "-filter_start_time", "12/31/1999"}).rc, options_ok);
    EXPECT_EQ(ctx.filter_start_time, 125911584000000000ull - 86400ull * 10000000ull);
    EXPECT_EQ(ctx.filter_stop_time, 125911584000000000ull + 86399ull * 10000000ull);
}

TEST(DateValues, BadStartDefaultsToZeroBadStopIsIgnored) {
    mft_entries_ctx ctx;
    auto p = parse(ctx, {"-filter_start_time", "yesterday", "-filter_stop_time", "13/45/2000"});
    ASSERT_EQ(p.rc, options_ok);
    EXPECT_EQ(p.err, "Error: invalid filter start time, defaulting to 0\n");
    EXPECT_EQ(ctx.filter_start_time, 0u);
    EXPECT_EQ(ctx.filter_stop_time, std::numeric_limits<std::uint64_t>::max());
}

TEST(DumpAndLookup, FindMftDumpsOneRecordWithItsHeader) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-mftstart", "7", "-find_mft", "0x20", "-hexdump"}).rc, options_ok);
    EXPECT_TRUE(ctx.record_dump && ctx.hexdump);
    EXPECT_EQ(ctx.mft_start, 32u);
    EXPECT_EQ(ctx.mft_range, 1u);
    EXPECT_EQ(ctx.header_length, 0x800u);
}

TEST(DumpAndLookup, HeaderActionsTakeTheLargestSample) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-action_include_header", "-action_find_strings_in_hdr"}).rc, options_ok);
    EXPECT_TRUE(ctx.include_header && ctx.find_strings);
    EXPECT_EQ(ctx.header_length, 0x100u);

    mft_entries_ctx ex;
    ASSERT_EQ(parse(ex, {"-action_include_header_ex", "0x400"}).rc, options_ok);
    EXPECT_EQ(ex.header_length, 0x400u);
    mft_entries_ctx huge;
    EXPECT_EQ(parse(huge, {"-action_include_header_ex", "0xffffffffff"}).rc, options_stop);
}

TEST(DumpAndLookup, ObjectIdInStoredByteOrder) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-find_objid", "{00112233-4455-6677-8899-aabbccddeeff}"}).rc, options_ok);
    const std::uint8_t want[16] = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                                   0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
    EXPECT_TRUE(ctx.find_objid_given);
    EXPECT_EQ(std::memcmp(ctx.find_objid, want, 16), 0);

    mft_entries_ctx bad;
    auto p = parse(bad, {"-find_objid", "0011-2233"});
    EXPECT_EQ(p.rc, options_stop);
    EXPECT_EQ(p.err, "prob parsing 0011-2233 as ObjID, aborting\n");
}

TEST(Sources, EachSourceOptionSatisfiesTheCheck) {
    fs::path dir = testing_support::scratch_dir("sources");
    const fs::path data = testing_support::source_dir() / "tests" / "fixtures" / "data";
    fs::path volume = testing_support::gunzip_to(data / "basic.img.gz", dir);
    fs::path disk = testing_support::gunzip_to(data / "disk_mbr.img.gz", dir);
    const std::vector<std::vector<std::string>> lines = {
        {"-image", volume.string()}, {"-image", disk.string(), "-offset", "0x6500000"}, {"-vmdk", "a.vmdk"},
        {"-indxfile", "i.bin"}, {"-mounted_vmdk", "\\\\.\\vstor2-x"}};
    for (const auto& l : lines) {
        mft_entries_ctx ctx;
        EXPECT_EQ(parse(ctx, l, false).rc, options_ok) << l[0];
    }
    // A partitioned disk without -offset: the volumes are listed and the last one suggested.
    mft_entries_ctx unchosen;
    auto listing = parse(unchosen, {"-image", disk.string()}, false);
    EXPECT_EQ(listing.rc, options_stop);
    EXPECT_NE(listing.err.find("use option [-offset 0x6500000]"), std::string::npos) << listing.err;

    mft_entries_ctx missing;
    auto p = parse(missing, {"-image", (dir / "none.dd").string()}, false);
    EXPECT_EQ(p.rc, options_stop);
    EXPECT_EQ(p.err, "prob reading: " + (dir / "none.dd").string() + ", aborting\n,");
    fs::remove_all(dir);
}

TEST(Sources, LiveSourceValues) {
    mft_entries_ctx part;
    ASSERT_EQ(parse(part, {"-partition", "C:\\"}, false).rc, options_ok);
    EXPECT_EQ(part.volume_path, "C:");

    mft_entries_ctx vss;
    ASSERT_EQ(parse(vss, {"-vss", "3"}, false).rc, options_ok);
    EXPECT_EQ(vss.volume_path, "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy3");

    // Drive 25 and above is never opened: the drive check fails and says so.
    mft_entries_ctx drive;
    auto d = parse(drive, {"-drivenum", "25"}, false);
    EXPECT_EQ(d.rc, options_stop);
    EXPECT_EQ(drive.drive_number, 25);
    EXPECT_NE(d.err.find("problems accessing physical disk #25"), std::string::npos) << d.err;

    mft_entries_ctx bad;
    auto p = parse(bad, {"-partition", "cd:"}, false);
    EXPECT_EQ(p.rc, options_stop);
    EXPECT_EQ(p.err, "prob validating volume cd: as a NTFS partition, aborting...\n");
}

TEST(GenericOptions, AcceptedWithoutEffectLeaveNothingOver) {
    mft_entries_ctx ctx;
    auto p = parse(ctx, {"-xml", "-alias", "a", "-threads", "4", "-l2", "-filter", "x", "-cmd_start_time",
                         "01/01/2000", "-zlibex", "-fragment_files", "-append", "-v", "-verbose"});
    ASSERT_EQ(p.rc, options_ok);
    EXPECT_TRUE(p.left.empty());
    EXPECT_TRUE(ctx.separate_files && ctx.append && ctx.verbose);
}

TEST(GenericOptions, HostUserCpuAndTempdir) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-hostname", "ws01", "-username", "bob", "-cpu", "4", "-tempdir", "/tmp/x", "-cpuinst",
                          "2", "-pipe"})
                  .rc,
              options_ok);
    EXPECT_EQ(ctx.hostname, "ws01");
    EXPECT_EQ(ctx.username, "bob");
    EXPECT_EQ(ctx.instances, 4u);
    EXPECT_EQ(ctx.tempdir, "/tmp/x");
    EXPECT_EQ(ctx.instance_index, 2);
    EXPECT_TRUE(ctx.pipe);
}

TEST(GenericOptions, SqliteIsRefused) {
    for (const char* opt : {"-sqlite", "-SQLITE_LOG"}) {
        mft_entries_ctx ctx;
        auto p = parse(ctx, {opt});
        EXPECT_EQ(p.rc, options_invalid);
        EXPECT_EQ(p.err, "This option is not offered in this build\n");
    }
}

TEST(OptionTables, NamesAreUniqueAndDescribed) {
    std::set<std::string> all;
    int repeated = 0;
    for (auto table : {driver_options(), generic_options(), main_options()}) {
        std::set<std::string> here;
        for (const option_desc& row : table) {
            EXPECT_TRUE(here.insert(std::string(row.name)).second) << row.name;
            EXPECT_FALSE(row.meaning.empty()) << row.name;
            EXPECT_EQ(row.name.front(), '-');
            if (!all.insert(std::string(row.name)).second) ++repeated;
        }
    }
    // "-verbose" belongs to both the generic handler and the main parser.
    EXPECT_EQ(repeated, 1);
}

}  // namespace
}  // namespace skelvar
