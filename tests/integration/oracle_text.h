// Reading the texts the integration tests compare: skelvar's results files and the listings The Sleuth Kit
// made of the same fixtures (fls -r -p [-l], fls -m body files).
#pragma once

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "common/test_support.h"

namespace oracle_text {

inline std::filesystem::path fixture(const std::string& name) {
    return testing_support::source_dir() / "tests" / "fixtures" / "data" / name;
}

inline std::vector<std::string> split(std::string_view s, char sep) {
    std::vector<std::string> out;
    for (std::size_t start = 0;;) {
        const auto pos = s.find(sep, start);
        out.emplace_back(s.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start));
        if (pos == std::string_view::npos) return out;
        start = pos + 1;
    }
}

inline std::string trim(std::string_view s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    return b == std::string_view::npos ? std::string() : std::string(s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1));
}

// Non-empty lines, without a trailing '\r'.
inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    for (auto& l : split(text, '\n')) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        if (!l.empty()) out.push_back(std::move(l));
    }
    return out;
}

// Decimal (optionally negative) or "0x" hexadecimal; nothing for any other text.
inline std::optional<std::int64_t> parse_int(std::string_view s) {
    const bool negative = !s.empty() && s.front() == '-';
    if (negative) s.remove_prefix(1);
    const int base = s.starts_with("0x") || s.starts_with("0X") ? 16 : 10;
    if (base == 16) s.remove_prefix(2);
    if (s.empty()) return std::nullopt;
    std::int64_t v = 0;
    for (char c : s) {
        const int d = c >= '0' && c <= '9' ? c - '0' : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (d < 0) return std::nullopt;
        v = v * base + d;
    }
    return negative ? -v : v;
}

// The results without the header block (it names the command line).
inline std::string body_of(const std::string& results) {
    const auto end = results.find("\n\n");
    return end == std::string::npos ? results : results.substr(end + 2);
}

// The CSV rows a successful run writes to standard output, without the header block.
inline std::string csv_rows(std::vector<std::string> args) {
    args.insert(args.end(), {"-csv", "-quiet"});
    const testing_support::run_result r = testing_support::run_skelvar(args);
    EXPECT_EQ(r.exit_code, 0) << args[1] << "\n" << r.err;
    return body_of(r.out);
}

// Epoch seconds of a UTC civil time.
inline std::int64_t utc_seconds(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return static_cast<std::int64_t>(timegm(&tm));
}

// A results file: its header text, then the table from the line whose first cell is `first` (in any case).
// Rows with another cell count than the header are dropped.
struct results_table {
    std::map<std::string, std::size_t> column;
    std::vector<std::vector<std::string>> rows;

    bool has(const std::string& name) const { return column.count(name) != 0; }
    const std::string& cell(const std::vector<std::string>& row, const std::string& name) const {
        return row.at(column.at(name));
    }
    // A cell of the first row written for `entry`; "<no line>" when there is none.
    std::string cell_of(std::uint64_t entry, const std::string& name) const {
        for (const auto& r : rows)
            if (parse_int(r[0]) == static_cast<std::int64_t>(entry)) return cell(r, name);
        return "<no line>";
    }
};

inline results_table parse_results(const std::string& text, char sep, std::string_view first = "mft entry") {
    results_table t;
    std::size_t width = 0;
    for (const auto& line : lines_of(text)) {
        auto cells = split(line, sep);
        for (auto& c : cells) c = trim(c);
        if (t.column.empty()) {
            if (cells.front().size() != first.size() ||
                !std::equal(first.begin(), first.end(), cells.front().begin(),
                            [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); }))
                continue;
            for (std::size_t c = 0; c < cells.size(); ++c) t.column.emplace(cells[c], c);
            width = cells.size();
        } else if (cells.size() == width) {
            t.rows.push_back(std::move(cells));
        }
    }
    return t;
}

// One line of `fls -r -p [-l]`: "r/r * 64-128-2:<TAB>dir/name[:stream]<TAB>mtime...".
struct fls_name {
    std::uint64_t entry = 0;
    bool deleted = false, reallocated = false, directory = false;
    bool is_virtual = false;  // TSK's own entries ($OrphanFiles and what it files under it)
    std::string path;         // stream suffix removed
    std::vector<std::string> fields;
    std::string parent() const {
        const auto slash = path.rfind('/');
        return slash == std::string::npos ? std::string() : path.substr(0, slash);
    }
};

// One fls_name per (entry, path): a file's named streams are listed as names of their own.
inline std::vector<fls_name> parse_fls(const std::string& text) {
    std::map<std::pair<std::uint64_t, std::string>, fls_name> unique;
    for (const auto& line : lines_of(text)) {
        if (line[0] == '#') continue;
        fls_name n;
        n.fields = split(line, '\t');
        if (n.fields.size() < 2) continue;
        const auto head = split(n.fields[0], ' ');
        const auto entry = parse_int(head.back().substr(0, head.back().find_first_of("-:(")));
        if (!entry) continue;
        n.entry = static_cast<std::uint64_t>(*entry);
        n.deleted = n.fields[0].find('*') != std::string::npos;
        n.reallocated = n.fields[0].find("(realloc)") != std::string::npos;
        n.directory = head[0].size() == 3 && head[0][2] == 'd';
        n.path = n.fields[1];
        n.is_virtual = head[0] == "V/V" || n.path.starts_with("$OrphanFiles");
        const auto slash = n.path.rfind('/');
        const auto colon = n.path.find(':', slash == std::string::npos ? 0 : slash + 1);
        if (colon != std::string::npos) n.path.resize(colon);
        unique.emplace(std::make_pair(n.entry, n.path), std::move(n));
    }
    std::vector<fls_name> out;
    for (auto& [k, v] : unique) out.push_back(std::move(v));
    return out;
}

// A body file line: md5|name|inode|mode|uid|gid|size|atime|mtime|ctime|crtime. A name may hold '|' in TSK's
// file, so the fixed fields are counted from both ends.
struct body_line {
    std::string name, inode;
    std::size_t cells = 0;
    std::array<std::int64_t, 4> t{};  // access, modify, change, create
};

inline std::optional<body_line> parse_body_line(const std::string& line) {
    const auto f = split(line, '|');
    if (f.size() < 11) return std::nullopt;
    body_line b;
    b.cells = f.size();
    const std::size_t tail = f.size() - 9;  // the inode field
    for (std::size_t i = 1; i < tail; ++i) b.name += (i > 1 ? "|" : "") + f[i];
    b.inode = f[tail];
    for (std::size_t k = 0; k < 4; ++k) {
        const auto v = parse_int(f[f.size() - 4 + k]);
        if (!v) return std::nullopt;
        b.t[k] = *v;
    }
    return b;
}

// TSK writes a FILETIME of 0 as this instant (its conversion wraps); skelvar writes no time.
constexpr std::int64_t tsk_zero_filetime = 3373865674;  // 2076-11-29 08:54:34 UTC

}  // namespace oracle_text
