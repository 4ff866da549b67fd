// Everything the writers and the per-entry actions read besides the entry:
// the output settings, and what the open source can still be asked.
#pragma once

#include "ntfs/stream_head.h"
#include "report/extraction_settings.h"
#include "report/report_options.h"
#include "select/selection_settings.h"

namespace skelvar {

class entry_reader;
class ntfs_volume;
class path_resolver;

struct report_context {
    const report_options& options;
    const time_window& window;      // only times inside it are written
    const header_request& header;   // leading bytes of the data streams, when wanted
    path_resolver* paths = nullptr;         // parents the walk did not resolve; null without a source
    const entry_reader* entries = nullptr;  // $Secure for the owner SIDs; null without a source
    ntfs_volume* volume = nullptr;          // stream content; null for an extracted $MFT file
    bool extracted_file = false;            // the source is an extracted $MFT file
    const extraction_settings* extraction = nullptr;  // copies and the bytes digests are taken over; null: neither
};

}  // namespace skelvar
