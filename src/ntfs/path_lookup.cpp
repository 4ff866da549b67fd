#include "ntfs/path_lookup.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "ntfs/attribute_iterator.h"
#include "ntfs/directory_index.h"
#include "ntfs/entry_reader.h"
#include "ntfs/file_name_attribute.h"
#include "ntfs/name_case.h"
#include "ntfs/record_header.h"
#include "support/binary_data.h"
#include "support/diag_log.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

using ull = unsigned long long;

// Links followed in one lookup before it is taken for a loop.
constexpr int max_link_hops = 32;

bool starts_with_nocase(std::u16string_view s, std::u16string_view prefix) {
    return s.size() >= prefix.size() && equal_ignoring_case(s.substr(0, prefix.size()), prefix);
}

bool is_blank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view trim(std::u16string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

bool has_drive_letter(std::u16string_view segment) { return segment.size() >= 2 && segment[1] == u':'; }

// "c:" is dropped; "c:name" (relative to the drive) keeps its name.
void drop_drive_letter(std::vector<std::u16string>& segs) {
    if (segs.empty() || !has_drive_letter(segs.front())) return;
    if (segs.front().size() == 2) segs.erase(segs.begin());
    else segs.front().erase(0, 2);
}

std::vector<std::u16string> split_at(std::u16string_view path, char16_t sep) {
    std::vector<std::u16string> out;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(sep, start);
        if (end == std::u16string_view::npos) end = path.size();
        if (end > start) out.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// Device prefixes that name the volume rather than a place on it.
std::u16string_view strip_device(std::u16string_view path) {
    if (starts_with_nocase(path, u"\\\\?\\") || starts_with_nocase(path, u"\\\\.\\")) path.remove_prefix(4);
    constexpr std::u16string_view shadow = u"GLOBALROOT\\Device\\HarddiskVolumeShadowCopy";
    if (starts_with_nocase(path, shadow)) {
        const std::size_t next = path.find(u'\\', shadow.size());
        path = next == std::u16string_view::npos ? std::u16string_view() : path.substr(next);
    }
    if (starts_with_nocase(path, u"snapid_")) {
        const std::size_t next = path.find(u'\\');
        path = next == std::u16string_view::npos ? std::u16string_view() : path.substr(next);
    }
    return path;
}

// The link's target as path segments: "\??\" and "\\?\" prefixes and a drive letter removed.
std::vector<std::u16string> target_segments(std::u16string_view target) {
    if (starts_with_nocase(target, u"\\??\\") || starts_with_nocase(target, u"\\\\?\\")) target.remove_prefix(4);
    std::vector<std::u16string> segs = split_at(target, u'\\');
    drop_drive_letter(segs);
    return segs;
}

// A reparse point that redirects a path: a symbolic link or junction with a substitute name.
bool redirecting_reparse(const mft_entry_info& e, std::u16string& target, bool& relative) {
    for (const auto& [key, rp] : e.reparse_points) {
        if (!rp.redirects()) continue;
        target = rp.target;
        relative = rp.relative();
        return true;
    }
    return false;
}

}  // namespace

std::vector<std::u16string> split_user_path(std::u16string_view path, bool* from_root) {
    path = strip_device(path);
    const char16_t sep = path.find(u'/') != std::u16string_view::npos ? u'/' : u'\\';
    if (from_root) *from_root = !path.empty() && path.front() == sep;
    std::vector<std::u16string> segs = split_at(path, sep);
    drop_drive_letter(segs);
    if (!segs.empty() && equal_ignoring_case(segs.front(), u"[root]")) segs.erase(segs.begin());
    return segs;
}

diag_log& path_lookup::log() const { return entries_.records().log(); }

std::optional<path_lookup::child> path_lookup::read_child(std::uint64_t dir, std::uint64_t entry,
                                                         const std::vector<std::u16string>* key_names) {
    std::vector<std::uint8_t> record;
    if (entries_.records().read_record(entry, record) != record_status::ok) {
        log().line("err: readFR: inode 0x%llx", static_cast<ull>(entry));
        return std::nullopt;
    }
    mft_entry_info e;
    if (!entries_.parse(record, entry, e, false)) {
        log().line("err: paramsFR: inode 0x%llx", static_cast<ull>(entry));
        return std::nullopt;
    }
    if (e.file_names.empty()) {
        log().line("err: namelookup: inode 0x%llx", static_cast<ull>(entry));
        return std::nullopt;
    }
    child c;
    c.entry = entry;
    c.is_directory = e.is_directory();
    // A hard-linked file answers only to the names it holds in this directory.
    bool any_here = false;
    for (const auto& [key, fn] : e.file_names) any_here = any_here || ref_entry(fn.parent_ref) == dir;
    bool shown_is_dos = false;
    for (const auto& [key, fn] : e.file_names) {
        if (any_here && ref_entry(fn.parent_ref) != dir) continue;
        c.folded_names.push_back(upcase(fn.name));
        const bool dos = fn.name_space == ns_dos;
        if (c.shown_name.empty() || (shown_is_dos && !dos)) {
            c.shown_name = fn.name;
            shown_is_dos = dos;
        }
    }
    // The directory's own keys name the child too (and hold every name when the
    // record's names are spread over extension records).
    if (key_names)
        for (const std::u16string& name : *key_names) {
            std::u16string folded = upcase(name);
            if (std::find(c.folded_names.begin(), c.folded_names.end(), folded) == c.folded_names.end())
                c.folded_names.push_back(std::move(folded));
            if (c.shown_name.empty()) c.shown_name = name;
        }
    c.is_link = redirecting_reparse(e, c.link_target, c.link_relative);
    return c;
}

void path_lookup::scan_parent_refs() {
    if (scanned_) return;
    scanned_ = true;
    mft_reader& records = entries_.records();
    std::vector<std::uint8_t> record;
    // The first read teaches the record size.
    if (records.read_record(0, record) == record_status::unreadable || records.record_size() == 0) return;
    struct directory_record {
        std::uint64_t entry;
        std::uint16_t sequence;
        bool in_use, is_link;
    };
    struct long_name {
        std::uint64_t holder, parent_ref;
        std::u16string name;
    };
    std::vector<directory_record> dirs;
    std::vector<long_name> names;  // first long name of each directory or extension record
    const std::uint64_t count = records.source()->size_bytes() / records.record_size();
    for (std::uint64_t n = 0; n < count; ++n) {
        if (records.read_record(n, record) != record_status::ok) continue;
        const kavo::binary_data rec(record);
        const file_record_header h = read_record_header(rec);
        if (h.signature != record_signature::file) continue;
        const std::uint64_t base = ref_entry(h.base_ref);
        const std::uint64_t holder = base ? base : n;
        const bool directory = h.is_directory();
        bool named = false, link = false;
        attribute_iterator it(rec, h.first_attribute);
        for (attribute_view a; it.next(a);) {
            link = link || a.type == at_reparse_point;
            if (a.type != at_file_name || a.non_resident) continue;
            file_name_info fn;
            if (!read_file_name(a.value, 0, fn)) continue;
            if (h.in_use()) parent_refs_.emplace_back(ref_entry(fn.parent_ref), holder);
            // An extension record's name may be a directory's: kept until the directories are known.
            if ((directory || base) && !named && fn.name_space != ns_dos) {
                names.push_back({holder, fn.parent_ref, std::move(fn.name)});
                named = true;
            }
        }
        if (directory && !base) dirs.push_back({n, h.sequence, h.in_use(), link});
    }
    std::sort(parent_refs_.begin(), parent_refs_.end());
    parent_refs_.erase(std::unique(parent_refs_.begin(), parent_refs_.end()), parent_refs_.end());

    // A directory hangs below its parent when the reference names that directory record:
    // its sequence number, or one less for a deleted record (the number moved on when it was freed).
    auto dir_at = [&](std::uint64_t entry) -> const directory_record* {
        auto d = std::lower_bound(dirs.begin(), dirs.end(), entry,
                                  [](const directory_record& r, std::uint64_t e) { return r.entry < e; });
        return d != dirs.end() && d->entry == entry ? &*d : nullptr;
    };
    for (long_name& ln : names) {
        const directory_record* below = dir_at(ln.holder);
        const directory_record* parent = dir_at(ref_entry(ln.parent_ref));
        if (!below || below->is_link || !parent || below->entry == parent->entry) continue;
        const std::uint16_t seq = ref_seq(ln.parent_ref);
        const bool same = seq == 0 || seq == parent->sequence ||
                          (!parent->in_use && parent->sequence != 0 && seq == parent->sequence - 1);
        if (same) subdirs_.push_back({parent->entry, below->entry, std::move(ln.name)});
    }
    std::sort(subdirs_.begin(), subdirs_.end(),
              [](const subdir& a, const subdir& b) { return std::tie(a.parent, a.entry) < std::tie(b.parent, b.entry); });
}

void path_lookup::add_children_from_parent_refs(std::uint64_t dir, std::vector<std::uint64_t>& out) {
    scan_parent_refs();
    auto it = std::lower_bound(parent_refs_.begin(), parent_refs_.end(), std::make_pair(dir, std::uint64_t{0}));
    for (; it != parent_refs_.end() && it->first == dir; ++it) out.push_back(it->second);
}

const path_lookup::listing& path_lookup::children_of(std::uint64_t dir) {
    auto found = cache_.find(dir);
    if (found != cache_.end()) {
        log().text("info: cache lookup");
        return found->second;
    }
    listing& list = cache_[dir];
    log().text("info: get children nodes");
    children_set set;
    index_read_status status;
    index_names key_names;
    read_children(entries_, dir, set, false, &status, &key_names);
    std::vector<std::uint64_t> entries(set.begin(), set.end());
    // An extracted $MFT has no clusters: a directory too large for its root node
    // is listed from the parent references of the names instead.
    if (status.allocation_found && !status.allocation_read && entries_.records().is_extracted_file()) {
        log().text("info: index allocation not readable, children from parent references");
        add_children_from_parent_refs(dir, entries);
        std::sort(entries.begin(), entries.end());
        entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    }
    entries.erase(std::remove(entries.begin(), entries.end(), dir), entries.end());
    if (entries.empty()) {
        log().text("info: none found");
        return list;
    }
    log().line("info: # children [%d]", static_cast<int>(entries.size()));
    log().text("info: get children names");
    for (std::uint64_t e : entries) {
        auto k = key_names.find(e);
        if (auto c = read_child(dir, e, k == key_names.end() ? nullptr : &k->second))
            list.children.push_back(std::move(*c));
    }
    if (list.children.empty()) {
        log().text("err: no child names");
        return list;
    }
    list.ok = true;
    return list;
}

std::optional<std::uint64_t> path_lookup::lookup_path(std::u16string_view path, bool follow_final_link) {
    if (path.empty()) {
        log().text("path empty");
        return std::nullopt;
    }
    const std::string shown = uni::to_utf8(path);
    log().line("anal: %s", uni::to_utf8(strip_device(path)).c_str());
    bool from_root = false;
    std::vector<std::u16string> segs = split_user_path(path, &from_root);
    if (from_root) log().text("root dir");

    auto fail = [&]() -> std::optional<std::uint64_t> {
        log().line("inode not found for %s", shown.c_str());
        return std::nullopt;
    };

    std::vector<std::uint64_t> trail{root_entry};  // directories from the root down, for ".."
    int hops = 0;
    std::size_t i = 0;
    while (i < segs.size()) {
        std::u16string_view seg = segs[i];
        seg = seg.substr(0, seg.find(u':'));  // a stream name is not part of the lookup
        seg = trim(seg);
        if (seg.empty() || seg == u".") {
            ++i;
            continue;
        }
        if (seg == u"..") {
            if (trail.size() > 1) trail.pop_back();
            ++i;
            continue;
        }
        const std::u16string folded = upcase(seg);
        log().line("seg: %s", uni::to_utf8(folded).c_str());
        const listing& list = children_of(trail.back());
        if (!list.ok) return fail();
        const child* match = nullptr;
        for (const child& c : list.children) {
            if (std::find(c.folded_names.begin(), c.folded_names.end(), folded) != c.folded_names.end()) {
                match = &c;
                break;
            }
        }
        if (!match) {
            log().text("err: no child nodes");
            return fail();
        }
        const bool last = i + 1 == segs.size();
        if (match->is_link && (!last || follow_final_link)) {
            if (++hops > max_link_hops) {
                log().text("err: too many links");
                return fail();
            }
            std::vector<std::u16string> next = target_segments(match->link_target);
            // A relative symbolic link starts from the directory holding it; anything else from the root.
            if (!match->link_relative) trail.assign(1, root_entry);
            next.insert(next.end(), segs.begin() + static_cast<std::ptrdiff_t>(i + 1), segs.end());
            segs = std::move(next);
            i = 0;
            log().text("info: restart segments [link]");
            continue;
        }
        log().line("info: inode found for seg: %s : 0x%llx", uni::to_utf8(folded).c_str(),
                        static_cast<ull>(match->entry));
        trail.push_back(match->entry);
        ++i;
    }
    return trail.back();
}

std::vector<std::pair<std::uint64_t, std::u16string>> path_lookup::directories_below(std::uint64_t dir,
                                                                                     const std::u16string& dir_path) {
    // Deleted subdirectories have left the index: their names' parent references still lead to them.
    scan_parent_refs();
    std::vector<std::pair<std::uint64_t, std::u16string>> out;
    std::set<std::uint64_t> seen{dir};
    std::vector<std::pair<std::uint64_t, std::u16string>> pending{{dir, dir_path}};
    auto add = [&](std::uint64_t entry, const std::u16string& name, const std::u16string& under) {
        if (!seen.insert(entry).second) return;
        std::u16string p = under;
        if (!p.empty() && p.back() != u'\\') p += u'\\';
        p += name;
        out.emplace_back(entry, p);
        pending.emplace_back(entry, std::move(p));
    };
    while (!pending.empty()) {
        auto [current, current_path] = std::move(pending.back());
        pending.pop_back();
        // Listings live in a map and are never changed once made: the reference stays valid.
        for (const child& c : children_of(current).children)
            if (c.is_directory && !c.is_link) add(c.entry, c.shown_name, current_path);
        auto it = std::lower_bound(subdirs_.begin(), subdirs_.end(), current,
                                   [](const subdir& s, std::uint64_t e) { return s.parent < e; });
        for (; it != subdirs_.end() && it->parent == current; ++it) add(it->entry, it->name, current_path);
    }
    return out;
}

}  // namespace skelvar
