// Names, their directory paths and the timestamp map of one entry.
#include <string_view>

#include "ntfs/mft_entry_info.h"
#include "ntfs/path_resolver.h"
#include "report/report_context.h"
#include "report/result_record.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

constexpr std::uint64_t no_parent = ~std::uint64_t{0};

struct span_ref {
    std::uint32_t off = 0, len = 0;
};

span_ref append_text(std::string& texts, std::u16string_view wide) {
    span_ref s{static_cast<std::uint32_t>(texts.size()), 0};
    uni::append_utf8(wide, texts);  // a broken surrogate keeps the text up to it
    s.len = static_cast<std::uint32_t>(texts.size() - s.off);
    return s;
}

span_ref append_text(std::string& texts, std::string_view narrow) {
    span_ref s{static_cast<std::uint32_t>(texts.size()), static_cast<std::uint32_t>(narrow.size())};
    texts += narrow;
    return s;
}

// The directory part of a name's path, resolved and converted once per parent.
class path_finder {
public:
    path_finder(path_resolver* paths, result_record& rec) : paths_(paths), rec_(rec) {}

    span_ref find(std::uint64_t parent_ref) {
        for (const name_item& n : rec_.names)
            if (n.parent_ref == parent_ref) return {n.path_off, n.path_len};
        if (paths_) return append_text(rec_.texts, paths_->resolve_parent_utf8(parent_ref));
        // Without a source only the root is known.
        return append_text(rec_.texts, std::string_view(ref_entry(parent_ref) == root_entry
                                                            ? "[root]\\"
                                                            : "[root]\\<path corrupted>\\"));
    }

private:
    path_resolver* paths_;
    result_record& rec_;
};

// Index of the name in the table; an identical name (same text, parent, kind) is shared.
std::uint32_t add_name(result_record& rec, span_ref name, span_ref path, std::uint64_t parent, bool dos,
                       const file_name_info* fn) {
    std::string_view text = std::string_view(rec.texts).substr(name.off, name.len);
    for (std::uint32_t i = 0; i < rec.names.size(); ++i) {
        const name_item& n = rec.names[i];
        if (n.dos == dos && n.parent_ref == parent && rec.name(n) == text) {
            if (name.off + name.len == rec.texts.size()) rec.texts.resize(name.off);
            return i;
        }
    }
    rec.names.push_back({name.off, name.len, path.off, path.len, parent, dos, fn});
    return static_cast<std::uint32_t>(rec.names.size() - 1);
}

}  // namespace

void collect_names_and_times(const mft_entry_info& entry, const report_context& context, result_record& rec,
                             bool build_map) {
    rec.names.clear();
    rec.times.clear();
    const standard_info* si = entry.standard();

    if (entry.file_names.empty()) {
        span_ref path = append_text(rec.texts, std::string_view("<no path>"));
        span_ref name = append_text(rec.texts, std::string_view("<no filename attribute>"));
        const std::uint32_t idx = add_name(rec, name, path, no_parent, false, nullptr);
        if (si && build_map) {
            rec.times.set_si({si->modified, si->accessed, si->mft_changed, si->created});
            rec.times.enter(idx, false, nullptr, true);
        }
        return;
    }

    if (si && build_map) rec.times.set_si({si->modified, si->accessed, si->mft_changed, si->created});
    path_finder paths(context.paths, rec);
    for (const auto& [key, fn] : entry.file_names) {
        if (fn.is_dos && context.options.hide_dos_fntimes) continue;
        const span_ref path = paths.find(fn.parent_ref);
        span_ref name = append_text(rec.texts, fn.name);
        const std::size_t before = rec.names.size();
        const std::uint32_t idx = add_name(rec, name, path, fn.parent_ref, fn.is_dos, &fn);
        const bool fresh = rec.names.size() != before;
        if (!build_map) continue;
        const timestamp_map::times own{fn.modified, fn.accessed, fn.mft_changed, fn.created};
        rec.times.enter(idx, fn.is_dos, &own, fresh);
    }
}

}  // namespace skelvar
