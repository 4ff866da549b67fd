// What the copy action (-action_copy_files) and the digests read: the results
// folder, which streams, and how their bytes are produced.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/stream_bytes.h"
#include "support/host_files.h"

namespace skelvar {

enum class stream_choice : std::uint8_t {
    unnamed,  // the unnamed data stream (the default, -normal_data)
    named,    // -named_data
    all,      // -all
};

struct extraction_settings {
    std::string folder;  // results folder of the copies; empty: nothing is copied
    stream_choice streams = stream_choice::unnamed;
    // -raw (the allocated size, compressed clusters as stored) and -skip_sparse_clusters;
    // the digests are taken over the same bytes.
    stream_bytes_options bytes;
    bool use_orig_ext = false;  // no ".bin" suffix
    // Leads the temporary file's name, so that the instances of one run do not share it.
    std::string temp_prefix;
    bool show_progress = false;
    // The files the evidence is read from: never removed or written through a name in the folder.
    std::vector<file_identity> evidence;

    bool copies() const { return !folder.empty(); }
};

}  // namespace skelvar
