// Effects of the options of every table on the run context.
#include "app/option_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <limits>

#include "app/mft_entries_ctx.h"
#include "app/option_driver.h"
#include "app/option_values.h"
#include "app/parse_driver.h"
#include "common/test_support.h"

namespace skelvar {
namespace {

namespace fs = std::filesystem;

TEST(HashOptions, HashfileListPicksThePipeLayoutOnlyForAKnownHash) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-hashfile", "SHA1 | md5, crc32"}).rc, options_ok);
    EXPECT_TRUE(ctx.hash_layout && ctx.md5);
    EXPECT_FALSE(ctx.sha1 || ctx.sha256);  // names are exact lower case
    EXPECT_EQ(ctx.separator, "|");
    EXPECT_EQ(ctx.sub_char, ';');

    mft_entries_ctx none;
    ASSERT_EQ(parse(none, {"-hashfile", "crc32"}).rc, options_ok);
    EXPECT_FALSE(none.hash_layout);

    mft_entries_ctx flags;
    ASSERT_EQ(parse(flags, {"-md5", "-sha256"}).rc, options_ok);
    EXPECT_TRUE(flags.md5 && flags.sha256 && !flags.sha1 && !flags.hash_layout);
}

// The separators of -csvl2t, -bodyfile and -csvperpath are pinned by the downstream layout tests.
TEST(LayoutOptions, TheLastLayoutSwitchesTheOthersOff) {
    mft_entries_ctx per_path;
    ASSERT_EQ(parse(per_path, {"-csv", "-bodyfile", "-csvperpath"}).rc, options_ok);
    EXPECT_TRUE(per_path.csvperpath && !per_path.csv && !per_path.bodyfile);
    EXPECT_EQ(per_path.separator, "|");

    mft_entries_ctx path_only;
    ASSERT_EQ(parse(path_only, {"-csv", "-filepath_only"}).rc, options_ok);
    EXPECT_TRUE(path_only.filepath_only && !path_only.csv);
    EXPECT_TRUE(path_only.separator.empty());
    EXPECT_EQ(path_only.sep_char, 0);

    mft_entries_ctx def;
    ASSERT_EQ(parse(def, {"-csvl2t", "-default_output"}).rc, options_ok);
    EXPECT_TRUE(def.default_output && !def.csvl2t);
}

TEST(CopyAction, PerPathLayoutFolderAndRefusals) {
    fs::path dir = testing_support::scratch_dir("copy");
    fs::path target = dir / "out" / "files";
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-csv", "-action_copy_files", target.string(), "-raw", "-named_data"}).rc, options_ok);
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_TRUE(ctx.csvperpath && ctx.files_copied && !ctx.csv);
    EXPECT_EQ(ctx.separator, ",");
    EXPECT_EQ(ctx.sub_char, ' ');
    EXPECT_TRUE(ctx.copy_raw && ctx.skip_sparse && ctx.copy_named_streams && !ctx.copy_all_streams);
    EXPECT_EQ(ctx.copy_dir, target.string());

    // -csvperpath already on keeps its separator; with -filepath_only the run stops silently.
    mft_entries_ctx kept;
    ASSERT_EQ(parse(kept, {"-csvperpath", "-action_copy_files", dir.string()}).rc, options_ok);
    EXPECT_EQ(kept.separator, "|");
    mft_entries_ctx both;
    auto p = parse(both, {"-csvperpath", "-filepath_only", "-action_copy_files", dir.string()});
    EXPECT_EQ(p.rc, options_stop);
    EXPECT_TRUE(p.err.empty()) << p.err;

    fs::path file = dir / "plain";
    { std::FILE* f = std::fopen(file.c_str(), "w"); std::fclose(f); }
    mft_entries_ctx blocked;
    p = parse(blocked, {"-action_copy_files", (file / "sub").string()});
    EXPECT_EQ(p.rc, options_stop);
    EXPECT_EQ(p.err, "prob creating results directory, " + (file / "sub").string() + "\n");
    fs::remove_all(dir);
}

TEST(FilterValues, ListsNumbersAndSizes) {
    mft_entries_ctx ctx;
    auto p = parse(ctx, {"-filter_ext", "exe | dll;sys", "-filter_file", "\\a\\b.txt", "-filter_file", "\\c.txt",
                         "-vmdk", "base.vmdk | child.vmdk", "-filter_inode", "5 | 0x10, junk; 0x0001000000000020",
                         "-filter_dir_inode", "0x5", "-filter_max_size", "0x100", "-scanstart", "0x1000"});
    ASSERT_EQ(p.rc, options_ok) << p.err;
    EXPECT_EQ(ctx.filter_exts, (std::vector<std::string>{"exe", "dll", "sys"}));
    EXPECT_EQ(ctx.filter_files, (std::vector<std::string>{"\\a\\b.txt", "\\c.txt"}));
    EXPECT_EQ(ctx.vmdk_paths, (std::vector<std::string>{"base.vmdk", "child.vmdk"}));
    // Entry numbers keep the low 48 bits; what does not parse is reported and skipped.
    EXPECT_EQ(ctx.filter_inodes, (std::set<std::uint64_t>{5, 16, 32}));
    EXPECT_EQ(ctx.filter_dir_inodes, std::set<std::uint64_t>{5});
    EXPECT_NE(p.err.find("junk"), std::string::npos);
    EXPECT_EQ(ctx.filter_max_size, 256u);
    EXPECT_EQ(ctx.scan_start, 4096u);
}

TEST(FilterValues, SignaturesPatternsAndModes) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-filter_sig", "hive | MZ"}).rc, options_ok);
    EXPECT_EQ(ctx.filter_sig_types, (std::vector<std::uint32_t>{35, 30}));
    EXPECT_TRUE(ctx.header_bytes_wanted);
    EXPECT_EQ(ctx.header_length, 0x40u);

    mft_entries_ctx bad_sig;
    auto p = parse(bad_sig, {"-filter_sig", "mz | jpeg"});
    EXPECT_EQ(p.rc, options_stop);
    EXPECT_EQ(p.err, "Error: -filter_sig option specified invalid option, aborting\n");

    mft_entries_ctx bad_pattern;
    p = parse(bad_pattern, {"-filter_pattern", " | "});
    EXPECT_EQ(p.rc, options_stop);
    EXPECT_EQ(p.err, "Error: -filter_pattern option specified invalid argument, aborting\n");

    // The deleted and cluster modes imply AND logic.
    mft_entries_ctx modes;
    ASSERT_EQ(parse(modes, {"-filter_unalloc_clusters", "-filter_all_clusters", "-filter_deleted_files_all"}).rc,
              options_ok);
    EXPECT_TRUE(modes.unalloc_scan && modes.and_logic && modes.all_clusters && modes.deleted_all);
    mft_entries_ctx deleted;
    ASSERT_EQ(parse(deleted, {"-filter_deleted_files"}).rc, options_ok);
    EXPECT_TRUE(deleted.deleted_only && deleted.and_logic);
}

TEST(DateValues, WindowBoundsAndBadDates) {
    mft_entries_ctx open;
    ASSERT_EQ(parse(open, {"-filter_start_time", "01/01/2000 00:00:00"}).rc, options_ok);
    EXPECT_EQ(open.filter_start_time, 125911584000000000ull);
    EXPECT_EQ(open.filter_stop_time, std::numeric_limits<std::uint64_t>::max());

    // A stop date without a time is the end of that day.
    mft_entries_ctx day;
    ASSERT_EQ(parse(day, {"-filter_stop_time", "01/01/2000"}).rc, options_ok);
    EXPECT_EQ(day.filter_stop_time, 125911584000000000ull + 86399ull * 10000000ull);

    mft_entries_ctx bad;
    auto p = parse(bad, {"-filter_start_time", "yesterday", "-filter_stop_time", "13/45/2000"});
    ASSERT_EQ(p.rc, options_ok);
    EXPECT_EQ(p.err, "Error: invalid filter start time, defaulting to 0\n");
    EXPECT_EQ(bad.filter_start_time, 0u);
    EXPECT_EQ(bad.filter_stop_time, std::numeric_limits<std::uint64_t>::max());
}

TEST(DumpAndLookup, RecordDumpHeaderSampleAndObjectId) {
    mft_entries_ctx dump;
    ASSERT_EQ(parse(dump, {"-mftstart", "7", "-find_mft", "0x20", "-hexdump"}).rc, options_ok);
    EXPECT_TRUE(dump.record_dump && dump.hexdump);
    EXPECT_EQ(dump.mft_start, 32u);
    EXPECT_EQ(dump.mft_range, 1u);
    EXPECT_EQ(dump.header_length, 0x800u);

    // Header actions take the largest sample asked for; an absurd one is refused.
    mft_entries_ctx hdr;
    ASSERT_EQ(parse(hdr, {"-action_include_header", "-action_find_strings_in_hdr"}).rc, options_ok);
    EXPECT_EQ(hdr.header_length, 0x100u);
    mft_entries_ctx huge;
    EXPECT_EQ(parse(huge, {"-action_include_header_ex", "0xffffffffff"}).rc, options_stop);

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

// Image volumes and partitioned disks are run end to end by the image source tests.
TEST(Sources, EachSourceOptionSatisfiesTheCheck) {
    for (const std::vector<std::string>& l : std::vector<std::vector<std::string>>{
             {"-indxfile", "i.bin"}, {"-mounted_vmdk", "\\\\.\\vstor2-x"}}) {
        mft_entries_ctx ctx;
        EXPECT_EQ(parse(ctx, l, false).rc, options_ok) << l[0];
    }
    fs::path none = testing_support::scratch_dir("sources") / "none.dd";
    mft_entries_ctx missing;
    auto p = parse(missing, {"-image", none.string()}, false);
    EXPECT_EQ(p.rc, options_stop);
    EXPECT_EQ(p.err, "prob reading: " + none.string() + ", aborting\n,");
    fs::remove_all(none.parent_path());
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
    EXPECT_NE(d.err.find("problems accessing physical disk #25"), std::string::npos) << d.err;

    mft_entries_ctx bad;
    auto p = parse(bad, {"-partition", "cd:"}, false);
    EXPECT_EQ(p.rc, options_stop);
    EXPECT_EQ(p.err, "prob validating volume cd: as a NTFS partition, aborting...\n");
}

TEST(GenericOptions, AcceptedOptionsLeaveNothingOver) {
    mft_entries_ctx ctx;
    auto p = parse(ctx, {"-xml", "-alias", "a", "-threads", "4", "-l2", "-filter", "x", "-cmd_start_time",
                         "01/01/2000", "-zlibex", "-fragment_files", "-append", "-v", "-verbose", "-hostname",
                         "ws01", "-cpu", "4", "-cpuinst", "2"});
    ASSERT_EQ(p.rc, options_ok);
    EXPECT_TRUE(p.left.empty());
    EXPECT_TRUE(ctx.separate_files && ctx.append && ctx.verbose);
    EXPECT_EQ(ctx.hostname, "ws01");
    EXPECT_EQ(ctx.instances, 4u);
    EXPECT_EQ(ctx.instance_index, 2);
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
