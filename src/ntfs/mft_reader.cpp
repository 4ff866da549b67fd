#include "ntfs/mft_reader.h"

#include <cstdio>

#include "ntfs/record_header.h"
#include "support/binary_data.h"
#include "support/diag_log.h"

namespace skelvar {

namespace {

using ull = unsigned long long;

// Record sizes an update sequence count can describe that we are willing to use.
constexpr std::uint32_t max_record_size = 4096;
constexpr std::uint32_t probe_size = 1024;
// Bytes read_next_record reads in one piece.
constexpr std::uint64_t batch_bytes = 1 << 20;

std::string hex(std::uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<ull>(v));
    return buf;
}

// The first bytes of a record in words: printable characters as they are.
std::string shown_signature(kavo::binary_data rec) {
    std::string s;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint8_t c = rec.u8(i);
        s += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
    }
    return s;
}

constexpr const char* boot_sector_text = "it holds an NTFS boot sector, not a $MFT (a volume is read with -image)";

bool is_boot_sector(kavo::binary_data rec) { return rec.sub(3, 8).starts_with("NTFS    ", 8); }

std::string header_fault(kavo::binary_data rec) {
    if (is_boot_sector(rec)) return boot_sector_text;
    const file_record_header h = read_record_header(rec);
    switch (h.signature) {
        case record_signature::baad: return "the file system marked it BAAD";
        case record_signature::indx: return "it holds an INDX index block, not a file record";
        case record_signature::file:
            return "its FILE header is not valid (update sequence at " + hex(h.usa_offset) + ", count " +
                   std::to_string(h.usa_count) + ", first attribute at " + hex(h.first_attribute) + ")";
        default: break;
    }
    bool zero = true;
    for (std::size_t i = 0; i < rec.size() && zero; ++i) zero = rec.u8(i) == 0;
    if (zero) return "it holds only zero bytes";
    return "no FILE signature (it starts with \"" + shown_signature(rec) + "\")";
}

}  // namespace

void mft_reader::attach(std::unique_ptr<mft_source> source) {
    source_ = std::move(source);
    record_size_ = 1024;
    record_size_learned_ = false;
    entry_count_ = 0;
    extensions_.reset();
    drop_batch();
}

void mft_reader::detach() {
    source_.reset();
    entry_count_ = 0;
    record_size_learned_ = false;
    extensions_.reset();
    drop_batch();
}

status mft_reader::learn_record_size() {
    if (record_size_learned_) return {};
    if (!ready()) return status::failure("no source is open");
    if (std::uint32_t known = source_->known_record_size()) {
        record_size_ = known;
        record_size_learned_ = true;
        return {};
    }
    std::uint8_t first[probe_size];
    if (!source_->read_at(0, sizeof first, first)) {
        const std::uint64_t size = source_->size_bytes();
        if (size == 0) return status::failure("the file is empty");
        const auto have = static_cast<std::uint32_t>(size < sizeof first ? size : sizeof first);
        if (source_->read_at(0, have, first) && is_boot_sector(kavo::binary_data({first, have})))
            return status::failure(boot_sector_text);
        return status::failure("the file holds " + std::to_string(size) + " bytes, less than one record");
    }
    kavo::binary_data rec({first, sizeof first});
    // Record 0 says how many bytes each record takes; the update sequence count
    // describes the size only where the sectors are 512 bytes.
    const file_record_header h = read_record_header(rec);
    const std::uint32_t size = h.bytes_allocated == 1024 || h.bytes_allocated == 4096 ? h.bytes_allocated
                                                                                     : h.size_from_usa_count();
    if (size == 0 || size > max_record_size) return status::failure(header_fault(rec));
    record_size_ = size;
    record_size_learned_ = true;
    return {};
}

record_status mft_reader::read_record(std::uint64_t entry, std::vector<std::uint8_t>& out) {
    if (!ready()) return record_status::unreadable;
    if (!record_size_learned_ && !learn_record_size()) return record_status::unreadable;
    const std::uint32_t size = record_size_;
    if (size == 0 || entry > (~0ull - size) / size) return record_status::unreadable;
    out.resize(size);
    if (!source_->read_at(entry * size, size, out.data())) return record_status::unreadable;
    return finish_record(entry, out);
}

record_status mft_reader::read_next_record(std::uint64_t entry, std::span<const std::uint8_t>& out) {
    // The next record of the piece read last: nothing to check that the piece has not passed.
    if (entry >= batch_next_ && entry < batch_end_ && !batch_failed_) {
        batch_next_ = entry + 1;
        const std::span<std::uint8_t> record(batch_.data() + (entry - batch_first_) * record_size_, record_size_);
        out = record;
        return finish_record(entry, record);
    }
    if (!ready()) return record_status::unreadable;
    if (!record_size_learned_ && !learn_record_size()) return record_status::unreadable;
    const std::uint32_t size = record_size_;
    if (size == 0 || entry > (~0ull - size) / size) return record_status::unreadable;
    const std::uint64_t per_batch = batch_bytes / size;
    if (entry < batch_next_ || entry >= batch_end_) {
        // Record 0 is read on its own (a volume reads it where the boot sector says).
        const std::uint64_t source_entries = source_->size_bytes() / size;
        std::uint64_t count = entry == 0 || per_batch == 0 ? 0 : per_batch;
        if (source_entries) count = entry < source_entries ? std::min(count, source_entries - entry) : 0;
        if (count > ~0ull / size - entry) count = 0;
        batch_first_ = batch_next_ = entry;
        batch_end_ = entry + (count ? count : 1);
        batch_failed_ = count == 0;
        if (count) {
            batch_.resize(static_cast<std::size_t>(count * size));
            batch_failed_ = !source_->read_direct(entry * size, static_cast<std::uint32_t>(count * size), batch_.data());
            // A piece that could not be read whole (a hole in the runs): its records one by one.
            if (batch_failed_) batch_end_ = entry + count;
        }
    }
    batch_next_ = entry + 1;
    if (batch_failed_) {
        const record_status s = read_record(entry, single_);
        out = single_;
        return s;
    }
    const std::span<std::uint8_t> record(batch_.data() + (entry - batch_first_) * size, size);
    out = record;
    return finish_record(entry, record);
}

void mft_reader::drop_batch() {
    batch_.clear();
    batch_first_ = batch_next_ = batch_end_ = 0;
    batch_failed_ = false;
}

record_status mft_reader::finish_record(std::uint64_t entry, std::span<std::uint8_t> out) {
    std::uint32_t torn = 0;
    const record_status s = validate_and_fixup(out, &torn, baad_records::as_found, &header_);
    if (torn)
        log_.line("err: entry %llu: %u sector(s) torn, their update sequence numbers differ", static_cast<ull>(entry),
                  torn);
    if (s == record_status::bad) log_.line("err: fixup_mft type: BAAD");
    if (s == record_status::index_block) {
        // An index block where a record belongs is no entry of the $MFT.
        log_.line("err: entry %llu holds an INDX block", static_cast<ull>(entry));
        return record_status::unreadable;
    }
    return s;
}

std::span<const std::uint64_t> mft_reader::extension_records_of(std::uint64_t base) {
    if (!ready() || (!record_size_learned_ && !learn_record_size())) return {};
    if (!extensions_) extensions_ = std::make_unique<extension_index>(*source_, record_size_, log_);
    return extensions_->of(base);
}

std::string mft_reader::explain_unreadable(std::uint64_t entry) {
    if (!ready()) return "no source is open";
    std::vector<std::uint8_t> bytes(record_size_);
    if (entry > (~0ull - record_size_) / record_size_ || !source_->read_at(entry * record_size_, record_size_, bytes.data()))
        return "it lies beyond the end of the $MFT data";
    return header_fault(kavo::binary_data(bytes));
}

}  // namespace skelvar
