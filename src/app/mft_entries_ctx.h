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
#include "ntfs/secure_table.h"
#include "select/filter_collections.h"
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

    // Option values whose consumers come with the volume, filter, copy and
    // dump subsystems: stored here as parsed and validated.
    // sources
    std::string volume_path;          // -partition ("c:") or -vss (shadow-copy device path)
    std::int32_t drive_number = -1;   // -drivenum; -1 = none
    std::vector<std::string> vmdk_paths;  // -vmdk chain, in the order given
    std::string mounted_vmdk_path;    // -mounted_vmdk
    std::string indx_path;            // -indxfile (satisfies the source check only)
    std::uint64_t volume_offset = 0;  // -offset
    bool offset_given = false;
    bool ignore_image_size = false;
    bool regen_mft = false;
    // filter values as typed; the filters build their collections from them
    std::vector<std::string> filter_exts;        // -filter_ext
    std::vector<std::string> filter_names;       // -filter_name (partial names)
    std::vector<std::string> filter_fullnames;   // -filter_fullname
    std::vector<std::string> filter_dirs;        // -filter_dir
    std::vector<std::string> filter_dir_trees;   // -filter_dir_recurse
    std::vector<std::string> filter_files;       // -filter_file
    std::vector<std::string> filter_wildcards;   // -filter_wildcard
    std::vector<std::string> filter_patterns;    // -filter_pattern
    std::set<std::uint64_t> filter_dir_inodes;   // -filter_dir_inode (48-bit entry numbers)
    std::vector<std::uint32_t> filter_sig_types;  // -filter_sig: signature test codes 30..38
    std::uint64_t filter_max_size = 0;           // 0 = not set
    std::uint64_t filter_min_size = 0;
    std::uint64_t filter_min_ads_size = 0;
    std::uint64_t scan_start = 0;  // -scanstart / -scansize: unallocated scan window
    std::uint64_t scan_size = 0;
    // record dump and lookups
    bool record_dump = false;  // -find_mft
    bool hexdump = false;
    bool find_objid_given = false;
    std::uint8_t find_objid[16] = {};  // -find_objid, GUID bytes in on-disk order
    bool jp = false;
    bool lnk = false;
    // copy action (-action_copy_files)
    std::string copy_dir;
    bool copy_raw = false;          // -raw: slack included, sparse runs skipped
    bool skip_sparse = false;
    bool use_orig_ext = false;
    bool copy_all_streams = false;  // -all
    bool copy_named_streams = false;  // -named_data
    // layouts and multi-instance
    bool l2t_extended = false;  // -csvl2t writes the extended fields
    std::int64_t instance_index = -1;  // -cpuinst (a child of a multi-instance run)
    std::string status_text;  // phase of the walk, shown with the progress

    // filter collections built from the values above (select/filter_building.h)
    filter_collections filters;

    // state
    diag_log diags;
    directory_cache dir_cache;
    std::unique_ptr<mft_source> source;
    security_table security;  // $Secure descriptors, loaded on first use (owner SID, record dump)
};

}  // namespace skelvar
