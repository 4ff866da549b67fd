// Source validation for disk-shaped sources: find the NTFS volume on an image,
// device or drive, or explain why none was chosen.
//
// Every function appends its messages to `messages`, one line each, every line
// ending in '\n'. The caller prints them only when validation fails.
// `offset` is the volume offset in bytes: on entry the -offset value (0 when
// not given); on success the offset of the volume to examine; on a failure
// after a listing, the suggested offset (when there is one).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "volume/partition_info.h"

namespace skelvar {

class RAW_DISK_IO;

// Image file (reader kind 0): a raw image, a block device, or a container read
// as its guest disk. "invalid image: <path>" and the reason when it cannot be opened.
bool validate_image(const std::string& path, std::uint64_t& offset, bool ignore_image_size, std::string& messages);

// VMDK chain (reader kind 4); an empty list fails silently. When the files do
// not make one chain, the chain's own lines (and the list to name instead);
// "invalid disk collection of snaps " when it cannot be read otherwise.
bool validate_vmdk(const std::vector<std::string>& paths, std::uint64_t& offset, bool ignore_image_size,
                   std::string& messages);

// A live volume by its device path (a partition's block device): true when it
// opens and starts with an NTFS boot sector; otherwise `reason` says which failed.
bool is_ntfs_volume_path(const std::string& path, std::string& reason);

// Device path opened as given (reader kind 2); same message as an image.
bool validate_device(const std::string& path, std::uint64_t& offset, bool ignore_image_size, std::string& messages);

// Physical drive by number (see RAW_DISK_IO for the naming).
// "problems accessing physical disk #<n>, aborting " when it cannot be opened.
bool validate_drive(int number, std::uint64_t& offset, bool ignore_image_size, std::string& messages);

// The decision on an open reader. `ignore_image_size` accepts a volume that
// runs past the end of the image (only meaningful with a non-zero offset).
bool detect_volume(RAW_DISK_IO& reader, std::uint64_t& offset, bool ignore_image_size, std::string& messages);

// "0x" and lower-case hexadecimal without leading zeros.
std::string hex_text(std::uint64_t value);

}  // namespace skelvar
