#include "report/entry_actions.h"

#include <vector>

#include "ntfs/mft_entry_info.h"
#include "ntfs/security_descriptor.h"
#include "ntfs/stream_head.h"
#include "report/header_bytes.h"

namespace skelvar {

namespace {

// A Zone.Identifier stream is a few lines of text; more is not read.
constexpr std::uint64_t zone_read_bytes = 4096;
// A self-relative descriptor holds two ACLs of at most 64 KiB and two SIDs.
constexpr std::uint64_t descriptor_read_bytes = 0x30000;

}  // namespace

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
            sid = owner_sid_of(row.value);
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
}

}  // namespace skelvar
