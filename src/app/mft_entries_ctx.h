// The run context: every setting of the run and the state of the walk.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/cmd_params.h"
#include "ntfs/directory_cache.h"
#include "ntfs/mft_source.h"
#include "support/diag_log.h"

namespace skelvar {

struct mft_entries_ctx : cmd_params {
    ~mft_entries_ctx() override = default;

    std::u16string source_label = u"NTFS$MFT";
    std::string version_text;
    std::string header_text;

    // sources
    std::string mftfile_path;
    std::string image_path;

    // the walk
    std::uint64_t mft_start = 0;
    std::uint64_t mft_range = 0;  // 0 = to the last entry
    std::uint32_t record_size = 1024;
    bool record_size_learned = false;
    std::uint32_t sector_stride = 512;
    std::uint64_t entry_count = 0;
    std::uint64_t reference_time = 0;  // now + one hour: later file-name times are "future"

    // reporting
    bool hide_dos_fntimes = false;
    bool filerecord_offset = false;
    bool check_times = true;

    // selection (filter collections are added with the filters)
    std::uint64_t filter_start_time = 0;
    std::uint64_t filter_stop_time = 0;
    std::set<std::uint64_t> filter_inodes;
    bool deleted_only = false;
    bool unalloc_scan = false;
    bool deleted_all = false;
    bool all_clusters = false;
    bool and_logic = false;
    bool header_bytes_wanted = false;
    std::uint32_t header_offset = 0;
    std::uint32_t header_length = 0;

    // actions
    bool zone_info = false;
    bool owner_sid = false;
    bool include_header = false;
    bool find_strings = false;
    bool cluster_info = false;
    bool files_copied = false;

    // state
    diag_log diags;
    directory_cache dir_cache;
    std::unique_ptr<mft_source> source;
};

}  // namespace skelvar
