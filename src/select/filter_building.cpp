#include "select/filter_building.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "ntfs/entry_reader.h"
#include "ntfs/name_case.h"
#include "ntfs/path_lookup.h"
#include "ntfs/path_resolver.h"
#include "support/console.h"
#include "support/diag_log.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

using ull = unsigned long long;

std::string number_text(std::uint64_t n, bool hex) {
    char buf[32];
    std::snprintf(buf, sizeof buf, hex ? "0x%llx" : "%llu", static_cast<ull>(n));
    return buf;
}

filter_item entry_item(std::uint64_t n, std::uint32_t type, bool hex) {
    filter_item item;
    item.type = type;
    item.whole_entry = true;
    item.pattern_text = "inode(" + number_text(n, hex) + ")";
    item.source_text = "path related to inode";
    item.description = type == ft_entry_number ? "Specific file" : "Any file in directory";
    return item;
}

// An entry-number item merges with one already there: whole-entry wins, stream names add up.
void add_entry_item(std::map<std::uint64_t, filter_item>& map, std::uint64_t n, filter_item item) {
    auto [it, fresh] = map.emplace(n, item);
    if (fresh) return;
    filter_item& old = it->second;
    old.whole_entry = old.whole_entry || item.whole_entry;
    old.named_streams = old.named_streams || item.named_streams;
    old.names.insert(item.names.begin(), item.names.end());
}

void add_name_item(filter_collections& f, const std::string& value, bool partial) {
    std::u16string text = downcase(uni::to_utf16(value));
    if (text.empty()) return;
    filter_item item;
    item.type = partial ? ft_partial_name : ft_full_name;
    item.partial_front = item.partial_back = partial;
    item.description = partial ? "Partial filename" : "Specific filename";
    const std::size_t slash = text.rfind(u'\\');
    if (slash != std::u16string::npos) {
        item.has_path = true;
        item.pattern_text = value;
        text.erase(0, slash + 1);
        if (text.empty()) return;
    }
    item.text = text;
    f.names.emplace(text, std::move(item));
}

bool is_root_text(std::u16string_view p) {
    return equal_ignoring_case(p, u"[root]") || equal_ignoring_case(p, u"[root]\\") || p == u"\\" || p == u"/";
}

// The final part of a file path split into the path proper and its stream name (lower case).
std::u16string split_stream(const std::u16string& path, std::u16string& stream) {
    const std::size_t last_sep = path.find_last_of(u"\\/");
    const std::size_t start = last_sep == std::u16string::npos ? 0 : last_sep + 1;
    std::size_t colon = path.find(u':', start);
    // "c:name" keeps its drive letter.
    if (colon == 1 && start == 0) colon = path.find(u':', 2);
    stream.clear();
    if (colon == std::u16string::npos) return path;
    std::u16string_view rest = std::u16string_view(path).substr(colon + 1);
    rest = rest.substr(0, rest.find(u':'));  // "name:stream:$DATA"
    stream = downcase(rest);
    return path.substr(0, colon);
}

void not_found(diag_log& log, const char* option, const std::u16string& path) {
    const std::string text = uni::to_utf8(path);
    log.line("err: %s path not resolved: %s", option, text.c_str());
    console::message("warning: %s path not found, no filter added: %s\n", option, text.c_str());
}

std::optional<std::uint64_t> resolve_directory(path_lookup& lookup, const std::u16string& path) {
    if (is_root_text(path)) return root_entry;
    return lookup.lookup_path(path, true);
}

void add_directory(filter_collections& f, std::uint64_t n, std::u16string path_text, std::uint32_t type) {
    filter_item item;
    item.type = type;
    item.whole_entry = true;
    item.has_path = true;
    item.resolved_path = std::move(path_text);
    item.pattern_text = uni::to_utf8(item.resolved_path);
    item.description = "Any file in directory";
    f.directories.emplace(n, std::move(item));
}

// The full path of a directory named only by its entry number.
std::u16string directory_path(const entry_reader& entries, path_resolver& paths, std::uint64_t n) {
    if (n == root_entry) return u"[root]";
    mft_entry_info dir;
    if (!entries.read_and_parse(n, dir) || dir.path_names.empty()) return {};
    std::u16string path(paths.resolve_parent(dir.path_names.begin()->second.parent_ref));
    return path + choose_name(dir.file_names, n);
}

}  // namespace

std::string describe_filter(const filter_item& item) {
    std::string text = item.description;
    if (item.type == ft_entry_number && !item.names.empty()) {
        text += " (";
        bool first = true;
        for (const auto& n : item.names) {
            if (!first) text += ", ";
            text += uni::to_utf8(n);
            first = false;
        }
        text += ")";
    }
    if (!item.pattern_text.empty()) text += ": " + item.pattern_text;
    else if (!item.text.empty()) text += ": " + uni::to_utf8(item.text);
    return text;
}

filter_collections build_filters(const selection_settings& settings, bool hex_numbers) {
    filter_collections f;
    for (const std::string& v : settings.exts) {
        std::u16string ext = uni::to_utf16(v);
        std::erase(ext, u'.');
        if (!ext.empty()) f.extensions.push_back(downcase(ext));
    }
    for (const std::string& v : settings.fullnames) add_name_item(f, v, false);
    for (const std::string& v : settings.names) add_name_item(f, v, true);
    for (std::uint64_t n : settings.inodes) add_entry_item(f.entries, n, entry_item(n, ft_entry_number, hex_numbers));
    for (std::uint64_t n : settings.dir_inodes)
        f.directories.emplace(n, entry_item(n, ft_directory_entry, hex_numbers));
    for (const std::string& v : settings.dirs) f.dir_paths.push_back(uni::to_utf16(v));
    for (const std::string& v : settings.dir_trees) f.dir_tree_paths.push_back(uni::to_utf16(v));
    for (const std::string& v : settings.files) f.file_paths.push_back(uni::to_utf16(v));
    for (const std::string& v : settings.wildcards)
        if (!v.empty()) f.wildcards.emplace_back(uni::to_utf16(v));
    for (std::uint32_t type : settings.sig_types) f.signatures.push_back({type, nullptr});
    return f;
}

void complete_filters(filter_collections& f, const entry_reader& entries, path_resolver& paths, bool hex_numbers) {
    if (!f.any_path() && f.directories.empty()) return;
    // Without a source nothing is walked; the paths stay unresolved.
    if (!entries.records().ready()) return;
    diag_log& log = entries.records().log();
    // Directories named by number are shown by their path when it can be built.
    for (auto& [n, item] : f.directories)
        if (item.resolved_path.empty()) item.resolved_path = directory_path(entries, paths, n);

    path_lookup lookup(entries);
    for (const std::u16string& p : f.dir_paths) {
        if (auto n = resolve_directory(lookup, p)) add_directory(f, *n, p, ft_directory_entry);
        else not_found(log, "-filter_dir", p);
    }
    for (const std::u16string& p : f.dir_tree_paths) {
        auto n = resolve_directory(lookup, p);
        if (!n) {
            not_found(log, "-filter_dir_recurse", p);
            continue;
        }
        add_directory(f, *n, p, ft_directory_entry);
        for (auto& [below, below_path] : lookup.directories_below(*n, p))
            add_directory(f, below, std::move(below_path), ft_directory_entry);
    }
    for (const std::u16string& p : f.file_paths) {
        std::u16string stream;
        const std::u16string path = split_stream(p, stream);
        auto n = lookup.lookup_path(path, false);
        if (!n) {
            not_found(log, "-filter_file", p);
            continue;
        }
        filter_item item = entry_item(*n, ft_entry_number, hex_numbers);
        item.resolved_path = p;
        if (stream.empty()) {
            item.whole_entry = true;
        } else {
            item.whole_entry = false;
            item.named_streams = true;
            item.names.insert(stream);
        }
        add_entry_item(f.entries, *n, std::move(item));
    }
    for (const auto& [n, item] : f.directories)
        log.line("info: filter 0x%llx: %s", static_cast<ull>(n), describe_filter(item).c_str());
    for (const auto& [n, item] : f.entries)
        log.line("info: filter 0x%llx: %s", static_cast<ull>(n), describe_filter(item).c_str());
}

}  // namespace skelvar
