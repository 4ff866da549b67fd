// MFT records by entry number from the open source: the record size and the
// fixup stride are learned once, every record read is validated and fixed up.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ntfs/file_record.h"
#include "ntfs/mft_source.h"
#include "support/status.h"

namespace skelvar {

class diag_log;
class ntfs_volume;

class mft_reader {
public:
    explicit mft_reader(diag_log& log) : log_(log) {}

    // Takes the source; the record size is learned again on the next read.
    // `entry_count` is what the source offers before the walk counts record 0.
    void attach(std::unique_ptr<mft_source> source);
    void detach();

    bool ready() const { return source_ && source_->ready(); }
    mft_source* source() const { return source_.get(); }
    // The volume behind the source; null for an extracted $MFT file.
    ntfs_volume* volume() const { return source_ ? source_->volume() : nullptr; }
    bool is_extracted_file() const { return source_ && source_->is_extracted_file(); }

    // Reads entry `entry` into `out` (resized to the record size). A record whose
    // sector tails did not match is used as it stands and noted in the debug log.
    record_status read_record(std::uint64_t entry, std::vector<std::uint8_t>& out);

    // Record size and fixup stride from the source (an extracted file: from the
    // update sequence count of record 0). Done by the first read; says why it failed.
    status learn_record_size();

    // Why `entry` reads as no record once the record size is known: a text for
    // the user ("no FILE signature", ...).
    std::string explain_unreadable(std::uint64_t entry);

    std::uint32_t record_size() const { return record_size_; }
    std::uint32_t sector_stride() const { return sector_stride_; }
    std::uint64_t entry_count() const { return entry_count_; }
    void set_entry_count(std::uint64_t n) { entry_count_ = n; }

    diag_log& log() const { return log_; }

private:
    diag_log& log_;
    std::unique_ptr<mft_source> source_;
    std::uint32_t record_size_ = 1024;
    std::uint32_t sector_stride_ = 512;
    bool record_size_learned_ = false;
    std::uint64_t entry_count_ = 0;
};

}  // namespace skelvar
