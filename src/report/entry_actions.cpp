#include "report/entry_actions.h"

#include <vector>

#include "app/mft_entries_ctx.h"
#include "ntfs/mft_entry_info.h"
#include "ntfs/secure_table.h"
#include "ntfs/security_descriptor.h"
#include "ntfs/source_opening.h"
#include "ntfs/stream_head.h"
#include "report/header_bytes.h"

namespace skelvar {

namespace {

// A Zone.Identifier stream is a few lines of text; more is not read.
constexpr std::uint64_t zone_read_bytes = 4096;
// A self-relative descriptor holds two ACLs of at most 64 KiB and two SIDs.
constexpr std::uint64_t descriptor_read_bytes = 0x30000;

// Zone.Identifier streams held in clusters; resident ones were kept while decoding.
void read_zone_streams(mft_entry_info& entry, mft_entries_ctx& ctx) {
    ntfs_volume* volume = nullptr;
    bool looked = false;
    std::vector<std::uint8_t> bytes;
    for (const auto& [key, row] : entry.catalogue) {
        (void)key;
        if (!row.is_ads || !row.non_resident || row.name != u"Zone.Identifier") continue;
        if (!looked) {
            volume = context_volume(ctx);
            looked = true;
        }
        if (read_stream_head(row, volume, 0, zone_read_bytes, bytes)) entry.zone_texts.push_back(bytes);
    }
}

}  // namespace

std::string owner_sid_text(const mft_entry_info& entry, mft_entries_ctx& ctx) {
    if (const standard_info* si = entry.standard(); si && si->security_id) {
        const security_descriptor_info* d = context_security_table(ctx).find(si->security_id);
        if (d && !d->owner_sid.empty()) return d->owner_sid;
    }
    // Volumes older than NTFS 3.0 (and ntfs-3g without a security id) keep the
    // descriptor in the record itself.
    std::vector<std::uint8_t> bytes;
    for (const auto& [key, row] : entry.catalogue) {
        (void)key;
        if (row.type != at_security_descriptor) continue;
        std::string sid;
        if (!row.non_resident)
            sid = owner_sid_of(row.value);
        else if (read_stream_head(row, context_volume(ctx), 0, descriptor_read_bytes, bytes))
            sid = owner_sid_of(bytes);
        if (!sid.empty()) return sid;
    }
    return {};
}

void run_entry_actions(mft_entry_info& entry, mft_entries_ctx& ctx) {
    if (entry.actions_done) return;
    entry.actions_done = true;
    if ((ctx.include_header || ctx.find_strings) && ctx.header_length) {
        for (auto& [key, row] : entry.catalogue) {
            (void)key;
            if (row.is_data && !row.is_ads) sample_stream_header(row, ctx, ctx.header_length);
        }
    }
    if (ctx.zone_info) read_zone_streams(entry, ctx);
    if (ctx.owner_sid) entry.owner_sid = owner_sid_text(entry, ctx);
}

}  // namespace skelvar
