// An NTFS volume inside a disk, image or device: its geometry, the run list of
// its $MFT, and (after -regen_mft) a rebuilt $MFT held in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ntfs/boot_sector.h"
#include "ntfs/data_runs.h"
#include "ntfs/memory_mft_source.h"
#include "support/status.h"

namespace skelvar {

class RAW_DISK_IO;
class diag_log;

class ntfs_volume {
public:
    enum : std::uint32_t {
        source_volume = 32,
        source_image = 33,
        source_drive = 34,
        source_device = 35,
        source_none = 255,
    };

    // Takes the reader; `volume_offset` is where the volume starts inside what the reader opened.
    ntfs_volume(std::unique_ptr<RAW_DISK_IO> reader, std::uint64_t volume_offset,
                std::uint32_t source_type = source_image, diag_log* diags = nullptr);
    ~ntfs_volume();
    ntfs_volume(const ntfs_volume&) = delete;
    ntfs_volume& operator=(const ntfs_volume&) = delete;

    // Boot sector valid and record 0 read (or a rebuilt $MFT in memory).
    bool ready() const { return ready_ || in_memory_; }
    bool has_reader() const { return reader_ != nullptr; }
    bool in_memory() const { return in_memory_; }

    const boot_geometry& geometry() const { return geometry_; }
    std::uint32_t source_type() const { return source_type_; }
    std::uint64_t volume_offset() const { return volume_offset_; }
    std::uint32_t cluster_size() const { return geometry_.cluster_size; }
    std::uint32_t bytes_per_sector() const { return geometry_.bytes_per_sector; }
    std::uint32_t record_size() const { return record_size_; }
    std::uint32_t allocated_record_size() const { return allocated_record_size_; }
    std::uint64_t entry_count() const { return entry_count_; }
    std::uint64_t mft_offset() const { return geometry_.mft_offset; }
    // Runs of the $MFT's unnamed $DATA as found (record 0 and its extension records).
    const std::vector<compact_run>& mft_runs() const { return mft_runs_; }
    // Bytes of the $MFT that its runs map (after dropping runs outside the volume).
    std::uint64_t mft_mapped_bytes() const { return mft_mapped_bytes_; }
    // Runs of $Bitmap (entry 6) for the unallocated-cluster scan; empty when unreadable.
    const std::vector<compact_run>& bitmap_runs() const { return bitmap_runs_; }
    const std::vector<std::uint8_t>& record0() const { return record0_; }
    memory_mft_source* memory_mft() { return memory_mft_.get(); }

    // Reads exactly `count` bytes at `offset` from the volume start; false when short.
    bool read_volume(std::uint64_t offset, std::uint8_t* out, std::uint32_t count);
    // Reads clusters [lcn, lcn + count) of the volume; false when any lies outside it.
    bool read_clusters(std::uint64_t lcn, std::uint64_t count, std::uint8_t* out);
    // Reads `length` bytes at byte `offset` of the $MFT through its runs (the rebuilt
    // copy when in memory); false when any byte is unmapped or unreadable.
    bool read_mft_bytes(std::uint64_t offset, std::uint32_t length, std::uint8_t* out);
    // The entry whose record the $MFT runs place at byte `offset` of the volume; false
    // when no run holds that byte or it starts no record.
    bool entry_at(std::uint64_t offset, std::uint64_t& entry) const;
    // Reads as much of [offset, offset + length) as maps in one go; returns the bytes read.
    std::uint64_t read_mft_prefix(std::uint64_t offset, std::uint64_t length, std::uint8_t* out);

    // Bytes from the volume start to the end of what holds it (the image, and the
    // partition that starts at the volume); 0 when unknown.
    std::uint64_t bytes_available();

    // One cluster of scratch space for partial-cluster stream reads.
    std::vector<std::uint8_t>& cluster_scratch();

    RAW_DISK_IO* reader() { return reader_.get(); }
    diag_log* diags() { return diags_; }

    // Switches to a rebuilt $MFT (records at entry x record size) found with
    // this geometry; the volume is then ready even when record 0 was not.
    void use_rebuilt_mft(std::unique_ptr<memory_mft_source> mft, std::uint32_t record_size,
                         const boot_geometry& geometry);

private:
    friend status open_volume(ntfs_volume& volume, std::uint64_t& mft_offset);
    friend void close_volume(ntfs_volume& volume);
    friend std::uint64_t entry_offset(const ntfs_volume& volume, std::uint64_t entry);

    status load_boot_sector();
    status load_record0();
    void load_mft_runs();
    void add_list_extents(kavo::binary_data record0);
    void set_mft_map(std::vector<compact_run> runs);
    void load_bitmap_runs();
    // Reads record `entry` through the $MFT map and applies its fixups.
    bool read_record(std::uint64_t entry, std::vector<std::uint8_t>& out);
    // Index into map_ of the run holding $MFT cluster `vcn`; npos when none.
    std::size_t find_map_run(std::uint64_t vcn) const;

    std::unique_ptr<RAW_DISK_IO> reader_;
    std::uint32_t source_type_;
    std::uint64_t volume_offset_;
    diag_log* diags_;

    std::vector<std::uint8_t> boot_sector_;
    boot_geometry geometry_;
    bool ready_ = false;
    std::vector<std::uint8_t> record0_;
    std::uint32_t record_size_ = 0;
    std::uint32_t allocated_record_size_ = 0;
    std::vector<compact_run> mft_runs_;
    std::vector<compact_run> map_;  // real runs of the $MFT sorted by VCN, inside the volume
    std::vector<compact_run> map_by_lcn_;  // the same sorted by cluster
    std::uint64_t mft_mapped_bytes_ = 0;
    std::uint64_t entry_count_ = 0;
    std::vector<compact_run> bitmap_runs_;

    bool in_memory_ = false;
    std::unique_ptr<memory_mft_source> memory_mft_;
    std::vector<std::uint8_t> scratch_;
};

// Reads the boot sector and record 0; a second call on a ready volume only
// hands back the $MFT offset. A failure says what was wrong.
status open_volume(ntfs_volume& volume, std::uint64_t& mft_offset);
// Byte offset of entry `entry` inside the volume through the $MFT runs; 0 when
// the volume is not ready or the entry lies beyond the runs.
std::uint64_t entry_offset(const ntfs_volume& volume, std::uint64_t entry);
// Releases the reader and the buffers.
void close_volume(ntfs_volume& volume);

}  // namespace skelvar
