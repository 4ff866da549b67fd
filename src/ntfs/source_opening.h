// Opening the source named by the options: an extracted $MFT file, or an NTFS
// volume inside an image or device (optionally with a rebuilt $MFT).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/mft_reader.h"
#include "support/status.h"

namespace skelvar {

// Where the records come from, as the options name it.
struct source_settings {
    std::string mftfile_path;         // -mftfile
    std::string image_path;           // -image
    std::string volume_path;          // -partition ("c:") or -vss (shadow-copy device path)
    std::int32_t drive_number = -1;   // -drivenum; -1 = none
    std::vector<std::string> vmdk_paths;  // -vmdk chain, in the order given
    std::string mounted_vmdk_path;    // -mounted_vmdk
    std::string indx_path;            // -indxfile (satisfies the source check only)
    std::uint64_t volume_offset = 0;  // -offset, or the one the disk validation chose
    bool ignore_image_size = false;   // -ignore_image_size
    bool regen_mft = false;           // -regen_mft

    bool any() const {
        return !volume_path.empty() || !image_path.empty() || !mftfile_path.empty() || drive_number >= 0 ||
               !vmdk_paths.empty() || !mounted_vmdk_path.empty();
    }
    // What the messages call the source: the file, image or device path; for a VMDK
    // chain "vmdk file(s): " and the names in single quotes, the label its entries carry.
    std::string name() const;
};

// Attaches the opened source to `records` (with its entry count). On failure
// nothing is attached and the status says why. Prints nothing; -regen_mft
// shows its percentage when `show_progress`.
status open_source(const source_settings& settings, bool show_progress, mft_reader& records);

// How an image path is opened: two backslashes in a row name a device,
// "X:" or "X:\" a live volume, anything else an image file.
std::uint32_t source_type_of_path(const std::string& path);

}  // namespace skelvar
