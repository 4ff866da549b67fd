// A disk held in container files (a VMDK chain, E01 segments, VHD/VHDX, QCOW),
// read as the flat byte range the guest sees.
#pragma once

#include <cstdint>

namespace skelvar {

class virtual_disk {
public:
    virtual ~virtual_disk() = default;
    // Guest disk size in bytes.
    virtual std::uint64_t size() const = 0;
    // Logical sector size the container records (512 when it records none).
    virtual std::uint32_t sector_size() const { return 512; }
    // Exactly `count` bytes at `offset`; the caller keeps offset + count within size().
    // Space the container never allocated reads as zeros.
    virtual bool read(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) = 0;
};

}  // namespace skelvar
