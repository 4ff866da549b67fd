// The stream-info cell: every data stream with its size and residency (or its
// cluster runs), then the record's log sequence number, USN, security id and owner SID.
#pragma once

#include <string>

namespace skelvar {

struct mft_entry_info;
struct report_options;

void append_stream_info(const mft_entry_info& entry, const report_options& options, std::string& out);

}  // namespace skelvar
