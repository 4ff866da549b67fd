// The run context: the app's composition of the settings each layer reads and
// of the state of the run. Lower layers receive only their own part.
#pragma once

#include <cstdint>
#include <string>

#include "app/cmd_params.h"
#include "ntfs/attribute_decoder.h"
#include "ntfs/entry_reader.h"
#include "ntfs/mft_reader.h"
#include "ntfs/mft_walk.h"
#include "ntfs/path_resolver.h"
#include "ntfs/source_opening.h"
#include "ntfs/stream_head.h"
#include "report/extraction_settings.h"
#include "select/filter_collections.h"
#include "select/selection_settings.h"
#include "support/diag_log.h"

namespace skelvar {

// Option values whose work is not built yet: stored as parsed and validated,
// so the subsystems that come can read them. The run says they are not built.
struct pending_options {
    // lookups
    bool find_objid_given = false;
    std::uint8_t find_objid[16] = {};  // -find_objid, GUID bytes in on-disk order
};

struct mft_entries_ctx : cmd_params {
    ~mft_entries_ctx() override = default;

    source_settings source;
    decode_settings decode;
    walk_settings walk;
    selection_settings selection;
    header_request header;  // leading bytes of the data streams (actions, signatures, record dump)
    extraction_settings extraction;  // copies of the data streams and the bytes digests are taken over
    pending_options pending;

    // Walks besides the $MFT range walk.
    bool unalloc_scan = false;  // -filter_unalloc_clusters
    bool deleted_all = false;   // -filter_deleted_files_all
    bool all_clusters = false;  // -filter_all_clusters

    // State of the run.
    diag_log diags;
    mft_reader records{diags};
    entry_reader entries{records, decode};
    path_resolver paths{entries};
    filter_collections filters;  // built from `selection`, completed once the source is open
};

}  // namespace skelvar
