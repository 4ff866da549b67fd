// The stream-info cell: every data stream with its size and residency (or its
// cluster runs), then the record's log sequence number, USN, security id and owner SID.
#pragma once

#include <string>

namespace skelvar {

struct mft_entry_info;
struct mft_entries_ctx;

void append_stream_info(const mft_entry_info& entry, const mft_entries_ctx& ctx, std::string& out);

}  // namespace skelvar
