#include "report/entry_actions.h"

#include <vector>

#include "ntfs/attribute_stream.h"
#include "ntfs/mft_entry_info.h"
#include "ntfs/security_descriptor.h"
#include "ntfs/stream_head.h"
#include "report/header_bytes.h"
#include "support/console.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

// A Zone.Identifier stream is a few lines of text; more is not read.
constexpr std::uint64_t zone_read_bytes = 4096;
// A self-relative descriptor holds two ACLs of at most 64 KiB and two SIDs.
constexpr std::uint64_t descriptor_read_bytes = 0x30000;

bool chosen(const catalogue_row& row, stream_choice choice) {
    if (!row.is_data) return false;
    switch (choice) {
        case stream_choice::all: return true;
        case stream_choice::named: return row.is_ads;
        case stream_choice::unnamed: break;
    }
    return !row.is_ads;
}

// "entry 65 (name.txt:stream)" for the messages about one stream.
std::string stream_title(const mft_entry_info& entry, const catalogue_row& row) {
    std::string name;
    for (const auto& [key, fn] : entry.file_names) {
        if (fn.name_space == ns_dos && entry.file_names.size() > 1) continue;
        uni::append_utf8(fn.name, name);
        break;
    }
    if (!row.name.empty()) {
        name += ':';
        uni::append_utf8(row.name, name);
    }
    std::string t = "entry " + std::to_string(entry.entry_number);
    if (!name.empty()) t += " (" + name + ")";
    return t;
}

// One line per stream on standard error, after the progress line is erased.
void warn(const mft_entry_info& entry, const catalogue_row& row, const char* what, const std::string& why,
          bool progress_shown) {
    const std::string title = stream_title(entry, row);
    if (progress_shown) console::message_erase("warning: %s %s: %s\n", title.c_str(), what, why.c_str());
    else console::message("warning: %s %s: %s\n", title.c_str(), what, why.c_str());
}

void keep_digests(mft_entry_info& entry, const digest_texts& texts, digest_choice wanted) {
    if (wanted.md5) entry.md5 = texts.md5;
    if (wanted.sha1) entry.sha1 = texts.sha1;
    if (wanted.sha256) entry.sha256 = texts.sha256;
}

}  // namespace

void entry_actions::copy_and_hash(mft_entry_info& entry) {
    // run() calls it only with extraction settings and a copy or a digest asked for.
    const extraction_settings* settings = context_.extraction;
    const report_options& o = context_.options;
    const digest_choice wanted{o.md5, o.sha1, o.sha256};
    const bool copying = settings->copies();
    if (!extractor_) extractor_ = std::make_unique<file_extractor>(*settings, context_.volume);

    const catalogue_row* unnamed = nullptr;
    for (const auto& [key, row] : entry.catalogue)
        if (!unnamed && row.is_data && !row.is_ads) unnamed = &row;
    bool unnamed_hashed = false;
    if (copying) {
        for (const auto& [key, row] : entry.catalogue) {
            if (!chosen(row, settings->streams) || stream_is_empty(row)) continue;
            const bool is_unnamed = &row == unnamed;
            const stream_outcome r = extractor_->copy(entry, row, is_unnamed ? wanted : digest_choice{});
            entry.copies.push_back({row.name, r.path});
            if (!r.problem.empty())
                warn(entry, row, r.done ? "copied, but" : "not copied", r.problem, settings->show_progress);
            if (is_unnamed) {
                unnamed_hashed = true;
                if (r.done) keep_digests(entry, r.digests, wanted);
            }
        }
    }
    // An empty stream has no digests.
    if (!wanted.any() || !unnamed || unnamed_hashed || stream_is_empty(*unnamed)) return;
    const stream_outcome r = extractor_->hash(entry, *unnamed, wanted);
    if (r.status == stream_bytes_status::no_clusters) {
        // Every such stream of the source would say the same: said once.
        static constexpr const char* text = "warning: digests of data kept in clusters cannot be taken from an "
                                            "extracted $MFT file: such streams show no digest\n";
        if (!told_no_clusters_ && settings->show_progress) console::message_erase("%s", text);
        else if (!told_no_clusters_) console::message("%s", text);
        told_no_clusters_ = true;
    } else if (!r.problem.empty()) {
        warn(entry, *unnamed, r.done ? "hashed, but" : "not hashed", r.problem, settings->show_progress);
    }
    if (r.done) keep_digests(entry, r.digests, wanted);
}

// Zone.Identifier streams held in clusters; resident ones were kept while decoding.
void entry_actions::read_zone_streams(mft_entry_info& entry) {
    std::vector<std::uint8_t> bytes;
    for (const auto& [key, row] : entry.catalogue) {
        if (!row.is_ads || !row.non_resident || row.name != u"Zone.Identifier") continue;
        if (read_stream_head(row, context_.volume, 0, zone_read_bytes, bytes)) entry.zone_texts.push_back(bytes);
    }
}

std::string entry_actions::owner_sid(const mft_entry_info& entry) {
    if (const standard_info* si = entry.standard(); si && si->security_id) {
        if (!security_.attempted && context_.entries) load_security_table(*context_.entries, security_);
        const security_descriptor_info* d = security_.find(si->security_id);
        if (d && !d->owner_sid.empty()) return d->owner_sid;
    }
    // Volumes older than NTFS 3.0 (and ntfs-3g without a security id) keep the
    // descriptor in the record itself.
    std::vector<std::uint8_t> bytes;
    for (const auto& [key, row] : entry.catalogue) {
        if (row.type != at_security_descriptor) continue;
        std::string sid;
        if (!row.non_resident)
            sid = owner_sid_of(row.resident_bytes());
        else if (read_stream_head(row, context_.volume, 0, descriptor_read_bytes, bytes))
            sid = owner_sid_of(bytes);
        if (!sid.empty()) return sid;
    }
    return {};
}

void entry_actions::run(mft_entry_info& entry) {
    if (entry.actions_done) return;
    entry.actions_done = true;
    const report_options& options = context_.options;
    const header_request& header = context_.header;
    const bool dumped = options.record_dump && options.hexdump;  // the dump shows them as hex
    if ((options.header_wanted() || dumped) && header.length) {
        for (auto& [key, row] : entry.catalogue)
            if (row.is_data && !row.is_ads) sample_stream_header(row, context_.volume, header.offset, header.length);
    }
    if (options.zone_info) read_zone_streams(entry);
    if (options.owner_sid) entry.owner_sid = owner_sid(entry);
    // Most runs neither copy nor hash: no call then.
    const digest_choice wanted{options.md5, options.sha1, options.sha256};
    if (context_.extraction && (context_.extraction->copies() || wanted.any())) copy_and_hash(entry);
}

}  // namespace skelvar
