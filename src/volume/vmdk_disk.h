// One sparse VMDK file: its header, embedded descriptor and grain map.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "volume/disk_bytes.h"
#include "volume/vmdk_descriptor.h"
#include "volume/vmdk_grain_map.h"
#include "volume/vmdk_header.h"

namespace skelvar {

class vmdk_disk {
public:
    // Opens the file at `path` read-only. False with the reason.
    bool open(const std::string& path, std::string& error);
    // The same over bytes already open (tests and fuzzing serve memory).
    bool open(std::unique_ptr<disk_bytes> file, std::string& error);

    const std::string& path() const { return path_; }
    const vmdk_sparse_header& header() const { return header_; }
    const vmdk_descriptor& descriptor() const { return descriptor_; }
    const vmdk_grain_map& grains() const { return grains_; }

    // `count` bytes of the file from `file_offset` (a place `grains()` named).
    // What lies past the end of a truncated file reads as zeros.
    bool read_file(std::uint64_t file_offset, std::uint8_t* out, std::uint32_t count);

private:
    std::unique_ptr<disk_bytes> file_;
    std::string path_;
    vmdk_sparse_header header_;
    vmdk_descriptor descriptor_;
    vmdk_grain_map grains_;
};

}  // namespace skelvar
