// Copies and digests of every stream of the extract fixture (resident, one run, fragmented, sparse, compressed,
// named, deleted) against the bytes The Sleuth Kit's icat reads: extract.streams.txt holds their sizes and the
// md5/sha1/sha256 that coreutils computed over them.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "oracle_text.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace oracle_text;

namespace {

struct oracle_stream {
    std::uint64_t entry = 0;
    bool deleted = false;
    std::string path, stream, kind;  // stream "" for the unnamed one
    std::uint64_t data = 0, alloc = 0, sparse = 0;
    std::string comp, md5, sha1, sha256;
};

std::vector<oracle_stream> oracle_streams() {
    std::vector<oracle_stream> out;
    for (const std::string& l : lines_of(read_file(fixture("extract.streams.txt")))) {
        const auto c = split(l, '\t');
        if (l[0] == '#' || c[0] == "entry") continue;
        out.push_back({std::stoull(c[0]), c[2] == "deleted", c[3], c[4] == "-" ? "" : c[4], c[5], std::stoull(c[6]),
                       c[8] == "-" ? 0 : std::stoull(c[8]), std::stoull(c[10]), c[9], c[13], c[14], c[15]});
    }
    return out;
}

std::string name_of(const oracle_stream& s) {
    const std::string base = s.path.substr(s.path.rfind('/') + 1);
    return s.stream.empty() ? base : base + ":" + s.stream;
}

class ExtractOracle : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new fs::path(scratch_dir("extract-it"));
        image_ = new std::string(gunzip_to(fixture("extract.img.gz"), *dir_).string());
    }
    static void TearDownTestSuite() {
        fs::remove_all(*dir_);
        delete dir_;
        delete image_;
    }

    // Copies into a fresh folder; the per-path report's "extracted file path" of each name[:stream].
    static std::map<std::string, std::string> copy(const std::string& tag, std::vector<std::string> extra,
                                                   std::vector<std::string> source = {}) {
        const fs::path out = *dir_ / (tag + ".csv");
        if (source.empty()) source = {"-image", *image_};
        source.insert(source.end(), extra.begin(), extra.end());
        source.insert(source.end(), {"-action_copy_files", (*dir_ / tag).string(), "-quiet", "-out", out.string()});
        last_ = run_skelvar(source);
        EXPECT_EQ(last_.exit_code, 0) << last_.err;
        const results_table t = parse_results(read_file(out), ',');
        std::map<std::string, std::string> copies;
        for (const auto& row : t.rows) copies[t.cell(row, "name")] = t.cell(row, "extracted file path");
        return copies;
    }

    static std::string md5sum(const std::string& path) {
        return run_shell("md5sum < '" + path + "'").out.substr(0, 32);
    }

    static inline fs::path* dir_ = nullptr;
    static inline std::string* image_ = nullptr;
    static inline run_result last_;
};

}  // namespace

TEST_F(ExtractOracle, CopiesHoldTheBytesIcatReads) {
    const auto copies = copy("all", {"-all"});
    int checked = 0;
    for (const oracle_stream& s : oracle_streams()) {
        SCOPED_TRACE(name_of(s));
        const std::string& path = copies.at(name_of(s));
        if (s.data == 0) {  // nothing to copy
            EXPECT_EQ(path, "");
            continue;
        }
        EXPECT_EQ(md5sum(path), s.md5);
        // The folder tells the state; the name carries the MD5.
        EXPECT_NE(path.find(s.deleted ? "/deleted-mft/catchall/" : "/valid/catchall/"), std::string::npos) << path;
        EXPECT_NE(fs::path(path).filename().string().find("_" + s.md5 + "_"), std::string::npos) << path;
        ++checked;
    }
    EXPECT_EQ(checked, 15);
    // A second run over the same folder keeps the copies it finds.
    const auto again = copy("all", {"-all"});
    EXPECT_EQ(again, copies);
}

TEST_F(ExtractOracle, RawAndSparseSkippingLengths) {
    const auto raw = copy("raw", {"-all", "-raw"});
    const auto skip = copy("skip", {"-skip_sparse_clusters"});
    for (const oracle_stream& s : oracle_streams()) {
        if (s.data == 0) continue;
        SCOPED_TRACE(name_of(s));
        // -raw: every allocated cluster as stored, slack included; it leaves holes out, so a sparse or
        // compressed stream is its stored clusters.
        const std::uint64_t stored = s.kind == "resident" ? s.data : s.comp != "-" ? std::stoull(s.comp) : s.alloc;
        EXPECT_EQ(fs::file_size(raw.at(name_of(s))), stored);
        if (s.kind == "nonresident,sparse") {
            EXPECT_EQ(fs::file_size(skip.at(name_of(s))), s.data - s.sparse);
        }
    }
}

TEST_F(ExtractOracle, HashReportMatchesCoreutils) {
    const fs::path out = *dir_ / "hashes.txt";
    const run_result r = run_skelvar({"-image", *image_, "-hashfile", "md5|sha1|sha256", "-filter_ext", "txt|bin",
                                      "-quiet", "-out", out.string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const results_table t = parse_results(read_file(out), '|', "md5 hash");
    std::map<std::string, const std::vector<std::string>*> by_name;
    for (const auto& row : t.rows) by_name[t.cell(row, "filename")] = &row;
    int checked = 0;
    for (const oracle_stream& s : oracle_streams()) {
        if (!s.stream.empty()) continue;
        SCOPED_TRACE(s.path);
        const auto& row = *by_name.at(name_of(s));
        const bool none = s.data == 0;  // an empty file has no digests
        EXPECT_EQ(t.cell(row, "md5 hash"), none ? "no data" : s.md5);
        EXPECT_EQ(t.cell(row, "sha1 hash"), none ? "no data" : s.sha1);
        EXPECT_EQ(t.cell(row, "sha256 hash"), none ? "no data" : s.sha256);
        EXPECT_EQ(parse_int(t.cell(row, "file size")), static_cast<std::int64_t>(s.data));
        EXPECT_EQ(t.cell(row, "valid"), s.deleted ? "deleted" : "yes");
        EXPECT_EQ(t.cell(row, "filter"), "ext(" + s.path.substr(s.path.rfind('.') + 1) + ")");
        ++checked;
    }
    EXPECT_EQ(checked, 14);
}

TEST_F(ExtractOracle, AnExtractedMftCopiesWhatTheRecordsHold) {
    const auto from_image = copy("mft-source", {"-filter_inode", "0"});
    const std::string mft = from_image.at("$MFT");
    const auto copies = copy("from-mft", {"-filter_name", "resident.txt"}, {"-mftfile", mft});
    EXPECT_EQ(md5sum(copies.at("resident.txt")), "7f95f36a19e09ac41a45cc7893e72c16");
    EXPECT_EQ(fs::path(copies.at("resident.txt")).parent_path().filename(), "resident.txt");  // category: the name
    // Data in clusters cannot be copied from records alone: the run says so for each such stream.
    EXPECT_EQ(copies.at("nonresident.txt"), "");
    EXPECT_NE(last_.err.find("entry 65 (nonresident.txt) not copied: its data lies in clusters"), std::string::npos)
        << last_.err;
}
