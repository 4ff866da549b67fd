// MFT records by entry number from the open source: the record size and the
// fixup stride are learned once, every record read is validated and fixed up.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ntfs/extension_index.h"
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
    // sector tails did not match is used as it stands and noted in the debug log;
    // an INDX block in a record slot is unreadable.
    record_status read_record(std::uint64_t entry, std::vector<std::uint8_t>& out);
    // The same for a walk that reads entries in ascending order: the record is read
    // with its neighbours in one piece and fixed up where it lies, so its bytes are
    // copied once. `out` is valid until the next call.
    record_status read_next_record(std::uint64_t entry, std::span<const std::uint8_t>& out);

    // Record size from the source (an extracted file: from record 0's bytes
    // allocated, else its update sequence count). Done by the first read; says why it failed.
    status learn_record_size();

    // The records whose base reference names entry `base`, ascending. The first
    // call scans every record header of the source once.
    std::span<const std::uint64_t> extension_records_of(std::uint64_t base);

    // Why `entry` reads as no record once the record size is known: a text for
    // the user ("no FILE signature", ...).
    std::string explain_unreadable(std::uint64_t entry);

    // The header of the record the last read handed out (when it was not unreadable).
    const file_record_header& last_header() const { return header_; }

    std::uint32_t record_size() const { return record_size_; }
    std::uint64_t entry_count() const { return entry_count_; }
    void set_entry_count(std::uint64_t n) { entry_count_ = n; }

    diag_log& log() const { return log_; }

private:
    record_status finish_record(std::uint64_t entry, std::span<std::uint8_t> record);
    void drop_batch();

    diag_log& log_;
    std::unique_ptr<mft_source> source_;
    std::uint32_t record_size_ = 1024;
    bool record_size_learned_ = false;
    std::uint64_t entry_count_ = 0;
    std::unique_ptr<extension_index> extensions_;
    // read_next_record's piece: records [batch_first_, batch_end_), of which those from
    // batch_next_ on are not handed out yet; after a piece that could not be read, single reads up to batch_end_.
    std::vector<std::uint8_t> batch_;
    std::uint64_t batch_first_ = 0, batch_next_ = 0, batch_end_ = 0;
    bool batch_failed_ = false;
    std::vector<std::uint8_t> single_;
    file_record_header header_;
};

}  // namespace skelvar
