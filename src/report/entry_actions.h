// The per-entry actions that read more than the record: header samples of the
// unnamed data stream, Zone.Identifier streams kept in clusters, and the owner
// SID. They run once per written entry, just before its lines are built.
#pragma once

#include <string>

namespace skelvar {

struct mft_entry_info;
struct mft_entries_ctx;

// Fills the action results of `entry` that the options ask for; a second call
// for the same entry does nothing.
void run_entry_actions(mft_entry_info& entry, mft_entries_ctx& ctx);

// Owner SID of the entry: from the $Secure descriptor of its security id, else
// from its own $SECURITY_DESCRIPTOR attribute; empty when neither gives one.
std::string owner_sid_text(const mft_entry_info& entry, mft_entries_ctx& ctx);

}  // namespace skelvar
