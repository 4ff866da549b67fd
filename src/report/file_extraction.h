// Copies of data streams in the results folder, and digests of streams read
// without copying. The folder tree is results/<state>/<category>/, the file
// name carries the modification time and the MD5 (see extract_names.h).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "ntfs/mft_entry_info.h"
#include "report/digests.h"
#include "report/extraction_settings.h"
#include "support/host_files.h"

namespace skelvar {

class ntfs_volume;

struct stream_outcome {
    bool done = false;     // copied (or hashed) whole
    std::string path;      // the copy's host path; empty when none was made
    digest_texts digests;  // empty texts unless done
    std::string problem;   // what went wrong, or what was wrong with a kept copy; empty when nothing
    stream_bytes_status status = stream_bytes_status::complete;  // of reading the stream
};

class file_extractor {
public:
    file_extractor(const extraction_settings& settings, ntfs_volume* volume) : settings_(settings), volume_(volume) {}

    // Copies `row` of `entry` into its folder. The MD5 is always taken (it names the
    // copy); `digests` adds the others.
    stream_outcome copy(const mft_entry_info& entry, const catalogue_row& row, digest_choice digests);

    // The digests of `row`, nothing written.
    stream_outcome hash(const mft_entry_info& entry, const catalogue_row& row, digest_choice digests);

private:
    const host_folder* target_folder(const mft_entry_info& entry, std::string& error);

    const extraction_settings& settings_;
    ntfs_volume* volume_;
    host_folder root_;
    std::string root_error_;
    bool root_tried_ = false;
    std::map<std::string, host_folder, std::less<>> folders_;  // "<state>/<category>"
};

// The category of an entry: which filter selected it, as the folder names it.
std::string category_of(const selection_marks& marks);

}  // namespace skelvar
