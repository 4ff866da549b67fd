#include "ntfs/mft_walk.h"

#include <algorithm>

#include "ntfs/cluster_bitmap.h"
#include "ntfs/free_slot_scan.h"
#include "ntfs/ntfs_volume.h"
#include "ntfs/record_header.h"
#include "support/console.h"
#include "support/diag_log.h"

namespace skelvar {

namespace {

using ull = unsigned long long;

// The attribute loop needs room for one attribute header after the first offset.
constexpr std::size_t min_attribute_room = 72;
// Free clusters between two progress lines of the scan.
constexpr std::uint64_t carve_progress_interval = 153;

}  // namespace

status count_mft_entries(const entry_reader& entries, std::uint64_t& count) {
    mft_reader& records = entries.records();
    if (!records.ready()) return status::failure("no source is open");
    if (status learned = records.learn_record_size(); !learned) return learned;
    std::vector<std::uint8_t> record;
    const record_status s = records.read_record(0, record);
    if (s == record_status::unreadable) {
        records.log().line("err: mftfixup %llx", 0ull);
        return status::failure("record 0 is unreadable: " + records.explain_unreadable(0));
    }
    if (s == record_status::bad) {
        records.log().line("err: recd bad %llx", 0ull);
        return status::failure("record 0 is marked BAAD");
    }
    mft_entry_info entry;
    if (!entries.parse(record, 0, entry)) return status::failure("record 0 holds no attribute");
    std::uint64_t data_size = 0;
    bool found = false;
    for (const auto& [key, row] : entry.catalogue) {
        if (row.type == at_data && row.name.empty()) {
            data_size = row.stream_size();
            found = true;
            break;
        }
    }
    if (!found) return status::failure("record 0 has no unnamed $DATA attribute");
    const std::uint32_t rs = records.record_size() ? records.record_size() : 1024;
    mft_source& src = *records.source();
    count = src.entry_count() ? src.entry_count() : data_size / rs;
    if (src.is_extracted_file()) count = std::min<std::uint64_t>(count, src.size_bytes() / rs);
    records.set_entry_count(count);
    return {};
}

status mft_walk::begin() {
    if (!entries_.records().ready()) return status::failure("no source is open");
    paths_.clear();
    if (status counted = count_mft_entries(entries_, count_); !counted) return counted;
    learn_volume_created();
    return {};
}

// The $SI creation of $Volume, else of $MFT: times before it are flagged.
void mft_walk::learn_volume_created() {
    bounds_ = {0, settings_.reference_time};
    mft_reader& records = entries_.records();
    for (const std::uint64_t n : {std::uint64_t{3}, std::uint64_t{0}}) {
        if (records.read_record(n, record_) != record_status::ok || !entries_.parse(record_, n, entry_)) continue;
        if (const standard_info* si = entry_.standard(); si && si->created) {
            bounds_.volume_created = si->created;
            return;
        }
    }
}

bool mft_walk::process(std::span<const std::uint8_t> record, std::uint64_t entry_number, mft_entry_info& entry,
                       const file_record_header& header) {
    return run_pipeline(record, entry_number, entry, entry_number * entries_.records().record_size(), false, header);
}

bool mft_walk::run_pipeline(std::span<const std::uint8_t> record, std::uint64_t entry_number, mft_entry_info& entry,
                            std::uint64_t offset, bool carved, const file_record_header& header) {
    if (!entries_.parse_header(record, header, entry_number, entry)) return false;
    entry.source_name = settings_.source_label;
    entry.from_unallocated = carved;
    const preselection pre = visitor_.preselect(entry_number, entry.in_use(), entry);
    if (pre == preselection::drop) return false;
    if (entry.header.first_attribute + min_attribute_room > record.size()) return false;
    if (!entries_.parse_attributes(record, entry_number, entry, false)) return false;
    paths_.prefetch_parents(entry);
    if (entry.is_directory()) paths_.add_directory(entry);
    if (!visitor_.select(entry, pre == preselection::preselected)) return false;
    if (settings_.check_times) {
        check_times(entry);
        entry.time_flags = compute_time_flags(entry, bounds_);
    }
    if (settings_.keep_record_bytes) entry.record_bytes.assign(record.begin(), record.end());
    entry.source_offset = settings_.record_offsets ? offset : 0;
    paths_.prefetch_parent_slots(entry);
    visitor_.write(entry);
    return true;
}

// Progress steps come every `progress_interval` entries, shown or not.
std::uint64_t mft_walk::progress_interval() const {
    return settings_.progress_interval ? settings_.progress_interval : 1;
}

void mft_walk::step(std::uint64_t n) {
    visitor_.checkpoint();
    if (settings_.show_progress) console::status_line("analyzing entry %llu of %llu", n, count_);
}

status mft_walk::walk_range() {
    if (status s = begin(); !s) return s;
    mft_reader& records = entries_.records();
    diag_log& log = records.log();
    const std::uint64_t start = settings_.start;
    const std::uint64_t end = settings_.range ? start + settings_.range : count_;
    log.line("range of inodes to analyze: %llu -> %llu", static_cast<ull>(start), static_cast<ull>(end));
    const bool logging = log.active();
    // Past the last byte of the source no further entry can be read.
    const std::uint64_t source_entries = records.source()->size_bytes() / records.record_size();
    // The next entry a progress step comes at, counted on rather than divided for each entry.
    const std::uint64_t interval = progress_interval();
    std::uint64_t next_step = start % interval ? start + (interval - start % interval) : start;
    for (std::uint64_t n = start; n < end; ++n) {
        if (logging) log.text("-------------------------------");
        if (n == next_step) {
            step(n);
            next_step += interval;
        }
        std::span<const std::uint8_t> record;
        const record_status s = records.read_next_record(n, record);
        if (s == record_status::unreadable) {
            if (n >= source_entries && n >= count_) break;
            continue;
        }
        if (s == record_status::bad) log.line("mft entry %llu has bad filerecord", static_cast<ull>(n));
        process(record, n, entry_, records.last_header());
    }
    if (settings_.show_progress) console::erase_progress();
    return {};
}

status mft_walk::walk_list(std::span<const std::uint64_t> entries) {
    if (status s = begin(); !s) return s;
    mft_reader& records = entries_.records();
    const bool ranged = settings_.list_in_range;
    const std::uint64_t start = settings_.start;
    const std::uint64_t range = settings_.range ? settings_.range : count_;
    const std::uint64_t end = start > ~0ull - range ? ~0ull : start + range;
    for (std::uint64_t n : entries) {
        if (ranged && (n < start || n >= end)) continue;
        if (n % progress_interval() == 0) step(n);
        if (records.read_record(n, record_) == record_status::unreadable) continue;
        process(record_, n, entry_, records.last_header());
    }
    if (settings_.show_progress) console::erase_progress();
    return {};
}

void mft_walk::report_carved(std::span<const std::uint8_t> slot, std::uint64_t offset) {
    record_.assign(slot.begin(), slot.end());
    diag_log& log = entries_.records().log();
    std::uint32_t torn = 0;
    file_record_header header;
    const record_status s = validate_and_fixup(record_, &torn, baad_records::fixed_up, &header);
    if (s == record_status::unreadable || s == record_status::index_block) return;
    ++carved_.records;
    // Without the record number field (an older header layout) the record names no entry.
    const std::uint64_t n = header.entry_number_or(~0ull);
    if (s == record_status::bad)
        log.line("err: carved record at 0x%llx (entry %llu) is signed BAAD", static_cast<ull>(offset),
                 static_cast<ull>(n));
    if (torn)
        log.line("err: carved record at 0x%llx: %u sector(s) torn, their update sequence numbers differ",
                 static_cast<ull>(offset), torn);
    if (run_pipeline(record_, n, entry_, offset, true, header)) ++carved_.reported;
}

status mft_walk::walk_unallocated() {
    carved_ = {};
    mft_reader& records = entries_.records();
    if (!records.ready()) return status::failure("no source is open");
    ntfs_volume* volume = records.volume();
    if (!volume || !volume->has_reader()) return status::failure("an extracted $MFT holds no clusters to scan");
    if (status learned = records.learn_record_size(); !learned) return learned;
    paths_.clear();
    learn_volume_created();
    cluster_bitmap bitmap;
    if (status loaded = load_cluster_bitmap(entries_, bitmap); !loaded) return loaded;
    if (volume->cluster_size() == 0) return status::failure("the volume gives no cluster size");

    const slot_geometry geometry{volume->volume_offset(), volume->cluster_size(), records.record_size()};
    slot_scan_settings scan;
    scan.progress_interval = carve_progress_interval;
    const std::uint64_t cs = geometry.cluster_size;
    scan.first_cluster = settings_.scan_start / cs;
    if (settings_.scan_size) {
        const std::uint64_t start = settings_.scan_start;
        const std::uint64_t end = start + std::min<std::uint64_t>(settings_.scan_size, ~0ull - start);
        scan.end_cluster = end / cs + (end % cs != 0);
    }
    const std::uint64_t clusters = bitmap.clusters();
    const bool progress = settings_.show_progress;
    const slot_scan_counts counts = scan_free_slots(
        *volume->reader(), geometry, bitmap, scan,
        [this](std::uint64_t offset, std::span<const std::uint8_t> slot) { report_carved(slot, offset); },
        [this, progress, clusters](std::uint64_t c) {
            visitor_.checkpoint();
            if (progress) console::status_line("analyzing entry %llu of %llu", c, clusters);
        });
    carved_.free_clusters = counts.free_clusters;
    carved_.slots = counts.slots;
    records.log().line("info: unallocated scan: %llu free clusters, %llu slots, %llu records, %llu reported",
                       static_cast<ull>(counts.free_clusters), static_cast<ull>(counts.slots),
                       static_cast<ull>(carved_.records), static_cast<ull>(carved_.reported));
    if (progress) console::erase_progress();
    return {};
}

}  // namespace skelvar
