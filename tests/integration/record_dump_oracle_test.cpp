// The record dump (-find_mft) against The Sleuth Kit's istat, run at test time on
// the committed fixtures. Both texts are turned into the same facts: sequence
// number, base record, SI times, security id and owner SID, each file name with
// its parent and times, each data stream and index allocation with its sizes and
// clusters.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "oracle_text.h"

using namespace testing_support;
using namespace oracle_text;

namespace {

using facts = std::set<std::string>;

const std::map<std::string, std::string> time_labels{
    {"Created", "created"}, {"File Modified", "modified"}, {"MFT Modified", "mft mod"}, {"Accessed", "accessed"},
    {"created", "created"}, {"modified", "modified"},      {"mft mod", "mft mod"},      {"accessed", "accessed"}};

// "... [258]" -> "258"
std::string bracketed(const std::string& s) { return s.substr(s.rfind('[') + 1, s.rfind(']') - s.rfind('[') - 1); }

facts istat_facts(const std::string& text) {
    facts f;
    std::string section, stream;  // "si", "fn <name>", or "" ; "$DATA:<name>" while its clusters follow
    std::size_t cluster = 0;
    for (const std::string& line : lines_of(text)) {
        const std::string label = line.substr(0, line.find(':'));
        const std::string value = trim(line.substr(std::min(line.size(), label.size() + 1)));
        if (label == "Entry") f.insert("seq " + line.substr(line.find("Sequence: ") + 10));
        if (label == "Base File Record") f.insert("base " + value);
        if (line.starts_with("$STANDARD_INFORMATION")) section = "si";
        if (line.starts_with("Attributes:")) section.clear();
        if (section == "si" && label == "Security ID") {
            f.insert("secid " + value.substr(0, value.find(' ')));
            if (const std::string sid = value.substr(value.find('(') + 1); sid != ")") f.insert("sid " + sid.substr(0, sid.size() - 1));
        }
        if (label == "Name" && line.find('\t') == std::string::npos) section = "fn " + value;
        if (section.starts_with("fn ") && label == "Parent MFT Entry")
            f.insert(section + " parent " + std::to_string(std::stoull(value)) + " " +
                     line.substr(line.find("Sequence: ") + 10));
        if (!section.empty() && time_labels.count(label) && line.find(":\t") != std::string::npos)
            f.insert(section + " " + time_labels.at(label) + " " + line.substr(line.find('\t') + 1, 27));
        if (label == "Type") {
            const std::string type = value.substr(0, value.find(' '));
            std::string name = line.substr(line.find("Name: ") + 6);
            name = name.substr(0, name.find("   "));
            stream = type == "$DATA" || type == "$INDEX_ALLOCATION" ? type + ":" + (name == "N/A" ? "" : name) : "";
            cluster = 0;
            if (stream.empty()) continue;
            f.insert(stream + " size " + std::to_string(std::stoull(line.substr(line.find("size: ") + 6))));
            if (const auto init = line.find("init_size: "); init != std::string::npos)
                f.insert(stream + " init " + line.substr(init + 11));
        } else if (!stream.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) {
            for (const std::string& n : split(trim(line), ' ')) f.insert(stream + " c" + std::to_string(cluster++) + " " + n);
        }
    }
    return f;
}

facts dump_facts(const std::string& text) {
    facts f;
    std::string section;  // "si", "fn <name>", "$DATA:<name>", "$INDEX_ALLOCATION:<name>"
    std::string parent;
    std::size_t cluster = 0;
    for (const std::string& line : lines_of(text.substr(text.find("File Record:")))) {
        const std::string item = trim(line), label = item.substr(0, item.find(':'));
        const std::string value = trim(item.substr(std::min(item.size(), label.size() + 1)));
        if (line[0] != ' ') {
            std::string name = value.substr(0, value.find(", "));
            section = label == "Standard Info Attrib" ? "si"
                      : label == "Filename Attrib"    ? "fn " + name
                      : label == "Data Attrib"        ? "$DATA:" + name
                      : label == "indx alloc"         ? "$INDEX_ALLOCATION:" + name
                                                      : "";
            if (name == "(unnamed)") section = section.substr(0, section.find(':') + 1);
            cluster = 0;
        } else if (label == "Seq Num") {
            f.insert("seq " + bracketed(item));
        } else if (label == "references mft entry") {
            f.insert("base " + std::to_string(*parse_int(value.substr(0, 14))));
        } else if (section == "si" && (label == "secure id" || label == "Owner SID")) {
            f.insert(label == "Owner SID" ? "sid " + value : "secid " + bracketed(item));
        } else if (time_labels.count(label) && !section.empty()) {
            f.insert(section + " " + label + " " + value);
        } else if (label == "parnt mft") {
            parent = std::to_string(*parse_int(value.substr(0, 10)));
        } else if (item.starts_with("parnt seq#")) {
            f.insert(section + " parent " + parent + " " + bracketed(item));
        } else if (!section.starts_with("$")) {
            continue;  // the other attributes istat does not size
        } else if (label == "file size" || label == "resident data used" || label == "valid data") {
            f.insert(section + (label == "valid data" ? " init " : " size ") + value);
        } else if (item.find(" -> ") != std::string::npos) {  // "vcn -> lcn, clusters: n [sparse]"
            const std::uint64_t lcn = std::stoull(item.substr(item.find(" -> ") + 4));
            const std::uint64_t count = std::stoull(item.substr(item.find("clusters: ") + 10));
            for (std::uint64_t i = 0; i < count; ++i)
                f.insert(section + " c" + std::to_string(cluster++) + " " +
                         std::to_string(item.ends_with("[sparse]") ? 0 : lcn + i));
        }
    }
    return f;
}

}  // namespace

TEST(RecordDumpOracle, EveryFieldAsIstatSeesIt) {
    if (run_shell("command -v istat").exit_code != 0) GTEST_SKIP() << "The Sleuth Kit's istat is not installed";
    // A non-resident file, a directory with an index allocation, named streams, a sparse file, a hard link, a
    // deleted file and directory, an extension record, and owners from $Secure.
    const std::pair<const char*, int> samples[] = {{"basic", 82},  {"basic", 83},  {"basic", 76}, {"basic", 81},
                                                   {"basic", 78},  {"basic", 186}, {"basic", 187}, {"extdir", 76},
                                                   {"actions", 64}, {"actions", 65}};
    std::map<std::string, std::string> images;
    for (const auto& [volume, entry] : samples) {
        std::string& image = images[volume];
        if (image.empty())
            image = gunzip_to(fixture(std::string(volume) + ".img.gz"), scratch_dir(std::string("dump_") + volume));
        const std::string n = std::to_string(entry);
        const facts tsk = istat_facts(run_shell("istat -z UTC '" + image + "' " + n).out);
        const run_result dump =
            run_skelvar({"-image", image, "-find_mft", n, "-base10", "-timeformat", "hh:mm:ss.xxxxxxx", "-quiet"});
        ASSERT_NE(dump.out.find("File Record:"), std::string::npos) << volume << " " << n << "\n" << dump.err;
        EXPECT_EQ(dump_facts(dump.out), tsk) << volume << " " << n;
        EXPECT_GE(tsk.size(), 7u) << volume << " " << n;  // istat said enough to compare
    }
}
