#include "support/host_files.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/test_support.h"
#include "report/entry_actions.h"
#include "report_fixtures.h"

using namespace skelvar;
namespace fs = std::filesystem;

namespace {

class HostFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testing_support::scratch_dir("hostfiles");
        results_ = dir_ / "results";
        outside_ = dir_ / "outside";
        fs::create_directories(outside_);
        std::ofstream(outside_ / "victim") << "evidence";
    }
    void TearDown() override { fs::remove_all(dir_); }

    host_folder open_results() {
        std::string error;
        host_folder f = host_folder::open_results(results_.string(), error);
        EXPECT_TRUE(f.is_open()) << error;
        return f;
    }

    // Writes `text` to a temporary in `root` and places it as `name` in `to`.
    placement copy(const host_folder& root, const host_folder& to, const std::string& name, std::string_view text) {
        std::string error;
        host_output_file f = host_output_file::create(root, "__temp__.bin", {}, error);
        EXPECT_TRUE(f.write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}) && f.close()) << error;
        return place_file(root, "__temp__.bin", to, name, {}, error);
    }

    std::string victim() { return testing_support::read_file(outside_ / "victim"); }

    fs::path dir_, results_, outside_;
};

}  // namespace

TEST_F(HostFiles, NamesThatAreNotOneComponentAreRefused) {
    host_folder root = open_results();
    std::string error;
    EXPECT_FALSE(root.subfolder("..", error).is_open());
    EXPECT_FALSE(host_output_file::create(root, "a/b", {}, error).is_open());
}

TEST_F(HostFiles, PlantedSymlinksAreNotFollowed) {
    host_folder root = open_results();
    fs::create_directory_symlink(outside_, results_ / "valid");
    fs::create_symlink(outside_ / "victim", results_ / "__temp__.bin");
    std::string error;
    // A symlinked folder is refused.
    EXPECT_FALSE(root.subfolder("valid", error).is_open());
    // A symlink at the temporary name is replaced, its target left alone.
    EXPECT_EQ(copy(root, root, "copy.bin", "new bytes"), placement::placed);
    EXPECT_EQ(victim(), "evidence");
    // A symlink at the final name is not taken for the copy, nor followed.
    fs::create_symlink(outside_ / "victim", results_ / "target.bin");
    EXPECT_EQ(copy(root, root, "target.bin", "evidence"), placement::failed);
    EXPECT_TRUE(fs::is_symlink(results_ / "target.bin"));
    EXPECT_EQ(victim(), "evidence");
    EXPECT_FALSE(fs::exists(results_ / "__temp__.bin"));
}

TEST_F(HostFiles, ExistingCopiesAreKeptAndTheEvidenceIsNeverRemoved) {
    host_folder root = open_results();
    EXPECT_EQ(copy(root, root, "same.bin", "abc"), placement::placed);
    EXPECT_EQ(copy(root, root, "same.bin", "abc"), placement::kept_existing);
    EXPECT_EQ(copy(root, root, "same.bin", "abcd"), placement::failed);
    EXPECT_EQ(testing_support::read_file(results_ / "same.bin"), "abc");
    EXPECT_FALSE(fs::exists(results_ / "__temp__.bin"));

    // The evidence hard-linked under the temporary name: neither removed nor written.
    fs::create_hard_link(outside_ / "victim", results_ / "__temp__.bin");
    const file_identity evidence[] = {*host_file_identity((outside_ / "victim").string())};
    std::string error;
    EXPECT_FALSE(host_output_file::create(root, "__temp__.bin", evidence, error).is_open());
    EXPECT_TRUE(fs::exists(results_ / "__temp__.bin"));
    EXPECT_EQ(victim(), "evidence");
}

// Entries whose names, stream names and filter texts were crafted to climb out: their copies (made from the
// record, no volume needed) land in the results folder, and a folder planted there as a symlink is not entered.
TEST_F(HostFiles, CraftedEntriesAreCopiedInsideTheResultsFolder) {
    extraction_settings settings;
    settings.folder = results_.string();
    settings.streams = stream_choice::all;
    report_fixtures::layout_ctx ctx;
    ctx.extraction = &settings;
    entry_actions actions(ctx.context());
    const std::u16string names[] = {u"../../outside/victim", u"..", u"a/b\\c", std::u16string(u"\0\x01\x7f\n", 4)};
    std::uint64_t number = 64;
    for (const std::u16string& name : names) {
        mft_entry_info e = report_fixtures::file_entry(number++, true);
        report_fixtures::add_fn(e, 2, make_ref(5, 5), name, ns_posix, report_fixtures::t0);
        report_fixtures::add_data(e, 1, u"", 3).value = {'a', 'b', 'c'};
        report_fixtures::add_data(e, 3, u"../x", 1).value = {'z'};
        e.marks.name = true;
        e.marks.matched = {"name(../..)"};
        actions.run(e);
        ASSERT_EQ(e.copies.size(), 2u);
        for (const stream_copy& c : e.copies) EXPECT_TRUE(fs::exists(c.path)) << c.path;
    }
    std::size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir_)) {
        if (!e.is_regular_file() || e.path().filename() == "victim") continue;
        ++files;
        EXPECT_EQ(e.path().parent_path(), results_ / "valid" / "..%2F..") << e.path();
    }
    EXPECT_EQ(files, 2 * std::size(names));

    fs::create_directory_symlink(outside_, results_ / "deleted-mft");
    mft_entry_info deleted = report_fixtures::file_entry(80, false);
    report_fixtures::add_data(deleted, 1, u"", 1).value = {'x'};
    actions.run(deleted);
    ASSERT_EQ(deleted.copies.size(), 1u);
    EXPECT_EQ(deleted.copies[0].path, "");
    EXPECT_EQ(std::distance(fs::directory_iterator(outside_), fs::directory_iterator()), 1);
    EXPECT_EQ(victim(), "evidence");
}
