// The record dump (-find_mft) against The Sleuth Kit's istat, run at test time on
// the committed fixtures: sequence number, base record, SI times, security id and
// owner SID, every file name with its parent and times, every data stream and
// index allocation with its sizes and clusters.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>

#include "oracle_text.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace oracle_text;

namespace {

struct stream_view {
    bool resident = false;
    std::uint64_t size = 0, initialized = 0;
    std::vector<std::uint64_t> clusters;  // 0 for a sparse cluster
    bool operator==(const stream_view&) const = default;
};

// (name, parent entry, parent sequence, modified, accessed, MFT modified, created)
using name_view = std::tuple<std::string, std::uint64_t, std::uint64_t, std::string, std::string, std::string, std::string>;

struct record_view {
    std::uint64_t sequence = 0, base = 0, security_id = 0;
    std::string owner_sid;
    std::map<std::string, std::string> si;  // "modified", "accessed", "mft mod", "created"
    std::set<name_view> names;
    std::map<std::string, stream_view> streams;  // "$DATA:name", "$INDEX_ALLOCATION:$I30"
};

std::string after(const std::string& line, const std::string& label) { return trim(line.substr(label.size())); }

// "... [258]" -> 258
std::uint64_t bracketed(const std::string& line) {
    const auto open = line.rfind('[');
    return std::stoull(line.substr(open + 1));
}

record_view read_istat(const std::string& text) {
    static const std::map<std::string, std::string> time_labels{
        {"Created:", "created"}, {"File Modified:", "modified"}, {"MFT Modified:", "mft mod"}, {"Accessed:", "accessed"}};
    record_view v;
    enum { none, si, fn, attributes } section = none;
    std::map<std::string, std::string> fn_times;
    std::string fn_name;
    std::uint64_t parent = 0, parent_seq = 0;
    stream_view* stream = nullptr;
    auto close_name = [&] {
        if (section == fn && !fn_name.empty())
            v.names.emplace(fn_name, parent, parent_seq, fn_times["modified"], fn_times["accessed"],
                            fn_times["mft mod"], fn_times["created"]);
        fn_name.clear();
    };
    for (const std::string& line : lines_of(text)) {
        if (line.starts_with("Entry: ")) v.sequence = std::stoull(line.substr(line.find("Sequence: ") + 10));
        if (line.starts_with("Base File Record: ")) v.base = std::stoull(after(line, "Base File Record: "));
        if (line.ends_with("Attribute Values:")) {
            close_name();
            section = line.starts_with("$STANDARD_INFORMATION") ? si : line.starts_with("$FILE_NAME") ? fn : none;
        } else if (line.starts_with("Attributes:")) {
            close_name();
            section = attributes;
        } else if (section == si && line.starts_with("Security ID: ")) {
            v.security_id = std::stoull(after(line, "Security ID: "));
            v.owner_sid = line.substr(line.find('(') + 1, line.find(')') - line.find('(') - 1);
        } else if ((section == si || section == fn) && line.find(":\t") != std::string::npos) {
            const std::string label = line.substr(0, line.find('\t'));
            const std::string time = line.substr(line.find('\t') + 1, 27);  // seven digits of fraction
            if (time_labels.count(label)) (section == si ? v.si : fn_times)[time_labels.at(label)] = time;
        } else if (section == fn && line.starts_with("Name: ")) {
            fn_name = after(line, "Name: ");
        } else if (section == fn && line.starts_with("Parent MFT Entry: ")) {
            parent = std::stoull(after(line, "Parent MFT Entry: "));
            parent_seq = std::stoull(line.substr(line.find("Sequence: ") + 10));
        } else if (section == attributes && line.starts_with("Type: ")) {
            stream = nullptr;
            const std::string type = line.substr(6, line.find(' ', 6) - 6);
            if (type != "$DATA" && type != "$INDEX_ALLOCATION") continue;
            std::string name = line.substr(line.find("Name: ") + 6);
            name = name.substr(0, name.find("   "));
            stream = &v.streams[type + ":" + (name == "N/A" ? "" : name)];
            stream->resident = line.find("   Resident") != std::string::npos;
            stream->size = std::stoull(line.substr(line.find("size: ") + 6));
            if (const auto init = line.find("init_size: "); init != std::string::npos)
                stream->initialized = std::stoull(line.substr(init + 11));
        } else if (section == attributes && stream && !line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) {
            for (const std::string& n : split(trim(line), ' '))
                if (!n.empty()) stream->clusters.push_back(std::stoull(n));
        }
    }
    close_name();
    return v;
}

record_view read_dump(const std::string& text) {
    record_view v;
    enum { none, si, fn, stream } section = none;
    std::map<std::string, std::string> fn_times;
    std::string fn_name;
    std::uint64_t parent = 0, parent_seq = 0;
    stream_view* current = nullptr;
    auto close_name = [&] {
        if (section == fn)
            v.names.emplace(fn_name, parent, parent_seq, fn_times["modified"], fn_times["accessed"],
                            fn_times["mft mod"], fn_times["created"]);
    };
    for (const std::string& line : lines_of(text.substr(text.find("File Record:")))) {
        if (line[0] != ' ') {
            close_name();
            section = none;
            if (line.starts_with("Standard Info Attrib:")) section = si;
            if (line.starts_with("Filename Attrib: ")) {
                section = fn;
                fn_name = after(line, "Filename Attrib: ");
                if (fn_name.ends_with(", (indexed)")) fn_name.resize(fn_name.size() - 11);
            }
            const bool data = line.starts_with("Data Attrib: "), index = line.starts_with("indx alloc: ");
            if (data || index) {
                std::string name = line.substr(line.find(": ") + 2);
                name = name.substr(0, name.find(", "));
                current = &v.streams[(data ? "$DATA:" : "$INDEX_ALLOCATION:") + (name == "(unnamed)" ? "" : name)];
                section = stream;
            }
            continue;
        }
        const std::string item = trim(line);
        const std::string label = item.substr(0, item.find(':'));
        const std::string value = item.find(':') == std::string::npos ? "" : trim(item.substr(item.find(':') + 1));
        if (label == "Seq Num") v.sequence = bracketed(item);
        if (label == "references mft entry") v.base = static_cast<std::uint64_t>(*parse_int(value.substr(0, 14)));
        if (section == si || section == fn) {
            if (label == "modified" || label == "accessed" || label == "mft mod" || label == "created")
                (section == si ? v.si : fn_times)[label] = value;
        }
        if (section == si && label == "secure id") v.security_id = bracketed(item);
        if (section == si && label == "Owner SID") v.owner_sid = value;
        if (section == fn && label == "parnt mft") parent = static_cast<std::uint64_t>(*parse_int(value.substr(0, 10)));
        if (section == fn && item.starts_with("parnt seq#")) parent_seq = bracketed(item);
        if (section == stream && current) {
            if (label == "resident data used") {
                current->resident = true;
                current->size = std::stoull(value);
            }
            if (label == "file size") current->size = std::stoull(value);
            if (label == "valid data") current->initialized = std::stoull(value);
            if (item.find(" -> ") != std::string::npos) {  // "vcn -> lcn, clusters: n [sparse]"
                const std::uint64_t lcn = std::stoull(item.substr(item.find(" -> ") + 4));
                const std::uint64_t count = std::stoull(item.substr(item.find("clusters: ") + 10));
                const bool sparse = item.ends_with("[sparse]");
                for (std::uint64_t i = 0; i < count; ++i) current->clusters.push_back(sparse ? 0 : lcn + i);
            }
        }
    }
    close_name();
    return v;
}

}  // namespace

TEST(RecordDumpOracle, EveryFieldAsIstatSeesIt) {
    if (run_shell("command -v istat").exit_code != 0) GTEST_SKIP() << "The Sleuth Kit's istat is not installed";
    struct sample {
        const char* volume;
        std::uint64_t entry;
        const char* what;
    };
    const sample samples[] = {
        {"basic", 82, "non-resident file"}, {"basic", 83, "directory with an index allocation"},
        {"basic", 76, "named streams"},     {"basic", 81, "sparse file"},
        {"basic", 78, "hard link"},          {"basic", 186, "deleted file"},
        {"basic", 187, "deleted directory"}, {"extdir", 76, "extension record"},
        {"actions", 64, "owner SID from $Secure"},
        {"actions", 65, "owner SID of a user"},
    };
    std::map<std::string, std::string> images;
    for (const sample& s : samples) {
        std::string& image = images[s.volume];
        if (image.empty())
            image = gunzip_to(fixture(std::string(s.volume) + ".img.gz"), scratch_dir(std::string("dump_") + s.volume))
                        .string();
        const std::string n = std::to_string(s.entry);
        const record_view tsk = read_istat(run_shell("istat -z UTC '" + image + "' " + n).out);
        const run_result dump =
            run_skelvar({"-image", image, "-find_mft", n, "-base10", "-timeformat", "hh:mm:ss.xxxxxxx", "-quiet"});
        ASSERT_NE(dump.out.find("File Record:"), std::string::npos) << s.what << "\n" << dump.err;
        const record_view ours = read_dump(dump.out);
        const std::string what = std::string(s.volume) + " " + n + " (" + s.what + ")";
        EXPECT_EQ(ours.sequence, tsk.sequence) << what;
        EXPECT_EQ(ours.base, tsk.base) << what;
        EXPECT_EQ(ours.si, tsk.si) << what;
        EXPECT_EQ(ours.security_id, tsk.security_id) << what;
        EXPECT_EQ(ours.owner_sid, tsk.owner_sid) << what;
        EXPECT_EQ(ours.names, tsk.names) << what;
        EXPECT_EQ(ours.streams, tsk.streams) << what;
        EXPECT_FALSE(tsk.names.empty()) << what << ": istat said little";
    }
}
