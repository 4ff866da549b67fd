#include "ntfs/ntfs_volume.h"

#include <algorithm>
#include <cstdio>

#include "ntfs/attribute_iterator.h"
#include "ntfs/file_record.h"
#include "ntfs/ntfs_types.h"
#include "ntfs/record_header.h"
#include "support/binary_data.h"
#include "support/diag_log.h"
#include "volume/partition_table.h"
#include "volume/raw_disk_io.h"

namespace skelvar {

namespace {

using ull = unsigned long long;

constexpr std::size_t npos = static_cast<std::size_t>(-1);
// Largest single read handed to the reader (its count is 32 bits).
constexpr std::uint64_t max_read_bytes = 1u << 30;
// A $MFT attribute list larger than this is not believed.
constexpr std::uint64_t max_list_bytes = 16ull << 20;
// Bounds on the $MFT's own extents: a $MFT in more pieces than this is damage,
// and each pass over its extension records follows one more link of the chain.
constexpr std::size_t max_mft_extents = 4096;
constexpr std::size_t max_mft_runs = 1u << 16;
constexpr int max_mft_passes = 16;

// FILE header as the record reader accepts it; the update sequence count then gives a size.
std::uint32_t size_from_header(kavo::binary_data rec) {
    const file_record_header h = read_record_header(rec);
    return h.valid_file() ? h.size_from_usa_count() : 0;
}

// Calls `fn(attribute)` for every attribute of a fixed-up record until it returns false.
template <typename Fn>
void for_each_attribute(kavo::binary_data rec, Fn&& fn) {
    attribute_iterator it(rec, read_record_header(rec).first_attribute);
    for (attribute_view a; it.next(a);)
        if (!fn(a)) break;
}

bool unnamed_non_resident_data(const attribute_view& attr) {
    return attr.type == at_data && attr.name_length == 0 && attr.non_resident != 0;
}

std::string hex(std::uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<ull>(v));
    return buf;
}

}  // namespace

ntfs_volume::ntfs_volume(std::unique_ptr<RAW_DISK_IO> reader, std::uint64_t volume_offset,
                         std::uint32_t source_type, diag_log* diags)
    : reader_(std::move(reader)), source_type_(source_type), volume_offset_(volume_offset), diags_(diags) {}

ntfs_volume::~ntfs_volume() = default;

bool ntfs_volume::read_volume(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) {
    if (!reader_ || count == 0 || offset > ~0ull - volume_offset_) return false;
    std::uint32_t got = count;
    return reader_->read(out, got, volume_offset_ + offset) && got == count;
}

bool ntfs_volume::read_clusters(std::uint64_t lcn, std::uint64_t count, std::uint8_t* out) {
    const std::uint64_t cs = geometry_.cluster_size;
    if (cs == 0 || lcn >= geometry_.total_clusters || count > geometry_.total_clusters - lcn) return false;
    const std::uint64_t per_read = max_read_bytes / cs;
    while (count > 0) {
        const std::uint64_t n = std::min(count, per_read);
        if (!read_volume(lcn * cs, out, static_cast<std::uint32_t>(n * cs))) return false;
        out += n * cs;
        lcn += n;
        count -= n;
    }
    return true;
}

std::vector<std::uint8_t>& ntfs_volume::cluster_scratch() {
    if (scratch_.size() != geometry_.cluster_size) scratch_.assign(geometry_.cluster_size, 0);
    return scratch_;
}

std::size_t ntfs_volume::find_map_run(std::uint64_t vcn) const {
    // map_ is sorted by VCN and free of overlaps.
    auto it = std::upper_bound(map_.begin(), map_.end(), vcn,
                               [](std::uint64_t v, const compact_run& r) { return v < r.vcn; });
    if (it == map_.begin()) return npos;
    --it;
    return vcn - it->vcn < it->count ? static_cast<std::size_t>(it - map_.begin()) : npos;
}

std::uint64_t ntfs_volume::read_mft_prefix(std::uint64_t offset, std::uint64_t length, std::uint8_t* out) {
    const std::uint64_t cs = geometry_.cluster_size;
    if (cs == 0) return 0;
    std::uint64_t done = 0;
    while (done < length) {
        const std::uint64_t pos = offset + done;
        if (pos < offset) break;  // wrapped
        const std::uint64_t vcn = pos / cs, within = pos % cs;
        const std::size_t i = find_map_run(vcn);
        if (i == npos) break;
        const compact_run& r = map_[i];
        const std::uint64_t run_left = (r.count - (vcn - r.vcn)) * cs - within;
        const std::uint64_t piece = std::min({length - done, run_left, max_read_bytes});
        const std::uint64_t at = (r.lcn + (vcn - r.vcn)) * cs + within;
        if (!read_volume(at, out + done, static_cast<std::uint32_t>(piece))) break;
        done += piece;
    }
    return done;
}

bool ntfs_volume::entry_at(std::uint64_t offset, std::uint64_t& entry) const {
    const std::uint64_t cs = geometry_.cluster_size;
    if (cs == 0 || record_size_ == 0) return false;
    const std::uint64_t lcn = offset / cs;
    auto it = std::upper_bound(map_by_lcn_.begin(), map_by_lcn_.end(), lcn,
                               [](std::uint64_t l, const compact_run& r) { return l < r.lcn; });
    if (it == map_by_lcn_.begin()) return false;
    --it;
    if (lcn - it->lcn >= it->count) return false;
    const std::uint64_t at = (it->vcn + (lcn - it->lcn)) * cs + offset % cs;
    if (at % record_size_) return false;
    entry = at / record_size_;
    return true;
}

bool ntfs_volume::read_mft_bytes(std::uint64_t offset, std::uint32_t length, std::uint8_t* out) {
    if (in_memory_) return memory_mft_->read_at(offset, length, out);
    if (!ready_ || length == 0) return false;
    // Record 0 is where the boot sector puts it, whatever its own runs say.
    if (offset < record_size_ && length <= record_size_ - offset)
        return read_volume(geometry_.mft_offset + offset, out, length);
    return read_mft_prefix(offset, length, out) == length;
}

bool ntfs_volume::read_record(std::uint64_t entry, std::vector<std::uint8_t>& out) {
    if (record_size_ == 0 || entry > (~0ull / record_size_) - 1) return false;
    out.resize(record_size_);
    if (read_mft_prefix(entry * record_size_, record_size_, out.data()) != record_size_) return false;
    if (read_record_header(kavo::binary_data(out)).signature != record_signature::file) return false;
    std::uint32_t torn = 0;
    const bool ok = validate_and_fixup(out, &torn) == record_status::ok;
    if (torn && diags_)
        diags_->line("err: entry %llu: %u sector(s) torn, their update sequence numbers differ",
                     static_cast<ull>(entry), torn);
    return ok;
}

status ntfs_volume::load_boot_sector() {
    boot_sector_.assign(512, 0);
    if (!read_volume(0, boot_sector_.data(), 512)) return status::failure("its first sector cannot be read");
    const boot_status s = parse_boot_sector(boot_sector_, geometry_);
    const kavo::binary_data boot(boot_sector_);
    if (s == boot_status::bad_geometry) {
        if (diags_)
            diags_->line("err: boot sector geometry unusable (bytes per sector %u, sectors per cluster byte %u)",
                         boot.u16(0x0B), boot.u8(0x0D));
        return status::failure("the NTFS boot sector describes no usable geometry");
    }
    if (s != boot_status::ok) return status::failure("no NTFS boot sector there");
    const std::uint64_t present = bytes_available();
    if (present && present < geometry_.volume_size) {
        if (diags_)
            diags_->line("info: the boot sector describes %llu bytes, the source holds %llu from the volume start",
                         static_cast<ull>(geometry_.volume_size), static_cast<ull>(present));
        clamp_geometry(geometry_, present);
    }
    return {};
}

std::uint64_t ntfs_volume::bytes_available() {
    if (!reader_) return 0;
    const std::uint64_t size = reader_->size();
    std::uint64_t limit = size > volume_offset_ ? size - volume_offset_ : 0;
    if (volume_offset_ == 0) return limit;
    // On a partitioned disk the partition that starts at the volume ends it too.
    partition_list parts;
    if (list_partitions(*reader_, parts, false)) {
        for (const partition_info& p : parts) {
            if (p.byte_start() != volume_offset_ || p.sector_count == 0) continue;
            const std::uint64_t length = p.byte_end() - p.byte_start();
            limit = limit ? std::min(limit, length) : length;
            break;
        }
    }
    return limit;
}

status ntfs_volume::load_record0() {
    const std::string where = "record 0 of the $MFT (at volume offset " + hex(geometry_.mft_offset) + ") ";
    record_size_ = geometry_.record_size;
    record0_.assign(record_size_, 0);
    if (!read_volume(geometry_.mft_offset, record0_.data(), record_size_))
        return status::failure(where + "cannot be read");
    // Record 0 may describe a larger record than the boot sector (4 KiB records on 512-byte sectors).
    const std::uint32_t derived = size_from_header(kavo::binary_data(record0_));
    if (derived > record_size_) {
        if (diags_) diags_->line("info: record 0 gives %u-byte records, the boot sector %u", derived, record_size_);
        record_size_ = derived;
        record0_.assign(record_size_, 0);
        if (!read_volume(geometry_.mft_offset, record0_.data(), record_size_))
            return status::failure(where + "cannot be read");
        if (size_from_header(kavo::binary_data(record0_)) == 0)
            return status::failure(where + "has no valid FILE header");
    }
    if (read_record_header(kavo::binary_data(record0_)).signature != record_signature::file)
        return status::failure(where + "has no FILE signature");
    std::uint32_t torn = 0;
    if (validate_and_fixup(record0_, &torn) != record_status::ok)
        return status::failure(where + "has no valid FILE header");
    if (torn && diags_) diags_->line("err: entry 0: %u sector(s) torn, their update sequence numbers differ", torn);
    return {};
}

void ntfs_volume::set_mft_map(std::vector<compact_run> runs) {
    const std::uint64_t total = geometry_.total_clusters;
    std::vector<compact_run> real;
    for (const compact_run& r : runs) {
        if (r.sparse || r.count == 0) continue;
        if (r.lcn >= total) {
            if (diags_) diags_->line("err: $MFT run at cluster %llu lies outside the volume", static_cast<ull>(r.lcn));
            continue;
        }
        compact_run c = r;
        if (c.count > total - c.lcn) c.count = static_cast<std::uint32_t>(total - c.lcn);
        if (c.vcn > ~0ull - c.count) continue;
        real.push_back(c);
    }
    std::stable_sort(real.begin(), real.end(),
                     [](const compact_run& a, const compact_run& b) { return a.vcn < b.vcn; });
    map_.clear();
    std::uint64_t clusters = 0;
    for (compact_run c : real) {
        if (!map_.empty()) {
            const compact_run& last = map_.back();
            const std::uint64_t last_end = last.vcn + last.count;
            if (c.vcn < last_end) {  // overlap: the earlier run keeps the clusters
                const std::uint64_t skip = last_end - c.vcn;
                if (skip >= c.count) continue;
                c.vcn += skip;
                c.lcn += skip;
                c.count -= static_cast<std::uint32_t>(skip);
            }
        }
        // The $MFT cannot be larger than the volume that holds it.
        if (clusters >= total) break;
        if (c.count > total - clusters) c.count = static_cast<std::uint32_t>(total - clusters);
        clusters += c.count;
        map_.push_back(c);
    }
    mft_mapped_bytes_ = clusters * geometry_.cluster_size;
    map_by_lcn_ = map_;
    std::sort(map_by_lcn_.begin(), map_by_lcn_.end(),
              [](const compact_run& a, const compact_run& b) { return a.lcn < b.lcn; });
}

void ntfs_volume::add_list_extents(kavo::binary_data rec0) {
    std::vector<std::uint8_t> list_bytes;
    kavo::binary_data list;
    for_each_attribute(rec0, [&](const attribute_view& attr) {
        if (attr.type != at_attribute_list) return true;
        if (!attr.non_resident) {
            list = attr.bytes.sub(attr.value_offset, attr.value_length);
        } else {
            std::vector<compact_run> runs;
            decode_compact_runs(attr.bytes, runs);
            const std::uint64_t real = std::min(attr.data_size, max_list_bytes);
            list_bytes.assign(static_cast<std::size_t>(real), 0);
            std::uint64_t filled = 0;
            const std::uint64_t cs = geometry_.cluster_size;
            std::vector<std::uint8_t> cluster(cs);
            for (const compact_run& r : runs) {
                for (std::uint64_t i = 0; i < r.count && filled < real; ++i) {
                    if (!r.sparse && !read_clusters(r.lcn + i, 1, cluster.data())) break;
                    if (r.sparse) std::fill(cluster.begin(), cluster.end(), 0);
                    const std::uint64_t n = std::min(cs, real - filled);
                    std::copy_n(cluster.begin(), n, list_bytes.begin() + static_cast<std::ptrdiff_t>(filled));
                    filled += n;
                }
            }
            list_bytes.resize(static_cast<std::size_t>(filled));
            list = kavo::binary_data(list_bytes);
        }
        return false;
    });
    if (list.empty()) return;

    // The extents of the $MFT's own $DATA held in extension records, each (record, id) once.
    std::vector<std::pair<std::uint64_t, std::uint16_t>> wanted;
    for (std::size_t pos = 0; list.has(pos, 0x1A) && wanted.size() < max_mft_extents;) {
        const std::uint32_t type = list.u32(pos);
        const std::uint16_t length = list.u16(pos + 4);
        if (length == 0) break;
        const std::uint8_t name_length = list.u8(pos + 6);
        const std::uint64_t target = ref_entry(list.u64(pos + 0x10));
        const std::uint16_t id = list.u16(pos + 0x18);
        pos += length;
        if (type != at_data || name_length != 0 || target == 0) continue;
        if (std::find(wanted.begin(), wanted.end(), std::make_pair(target, id)) == wanted.end())
            wanted.emplace_back(target, id);
    }
    // Each extent found can map the records that hold the next ones: every pass reads
    // what the map reaches so far, then the map takes in what was found.
    std::vector<std::uint8_t> ext;
    const file_record_header base = read_record_header(rec0);
    for (int pass = 0; pass < max_mft_passes && !wanted.empty(); ++pass) {
        std::vector<std::pair<std::uint64_t, std::uint16_t>> later;
        std::uint64_t loaded = ~0ull;
        bool ok = false, added = false;
        for (const auto& link : wanted) {
            const std::uint64_t target = link.first;
            const std::uint16_t id = link.second;  // a plain local: structured bindings are not captured everywhere
            if (target != loaded) {
                loaded = target;
                ok = read_record(target, ext) && read_record_header(kavo::binary_data(ext)).extends(0, base);
            }
            if (!ok) {
                later.push_back(link);
                continue;
            }
            for_each_attribute(kavo::binary_data(ext), [&](const attribute_view& attr) {
                if (!unnamed_non_resident_data(attr) || attr.id != id) return true;
                std::vector<compact_run> more;
                decode_compact_runs(attr.bytes, more);
                const std::size_t room = max_mft_runs - std::min(max_mft_runs, mft_runs_.size());
                mft_runs_.insert(mft_runs_.end(), more.begin(), more.begin() + std::min(room, more.size()));
                added = true;
                return false;
            });
        }
        wanted.swap(later);
        if (!added) break;
        set_mft_map(mft_runs_);
    }
    for (const auto& [target, id] : wanted)
        if (diags_) diags_->line("err: $MFT extension record %llu unreadable", static_cast<ull>(target));
}

void ntfs_volume::load_mft_runs() {
    kavo::binary_data rec0(record0_);
    mft_runs_.clear();
    bool has_list = false;
    for_each_attribute(rec0, [&](const attribute_view& attr) {
        if (attr.type == at_attribute_list) has_list = true;
        if (unnamed_non_resident_data(attr)) {
            std::vector<compact_run> runs;
            decode_compact_runs(attr.bytes, runs);
            mft_runs_.insert(mft_runs_.end(), runs.begin(), runs.end());
        }
        return true;
    });
    set_mft_map(mft_runs_);
    if (has_list) add_list_extents(rec0);
    if (!map_.empty() && map_.front().vcn == 0 && map_.front().lcn != geometry_.mft_cluster && diags_)
        diags_->line("info: $MFT runs start at cluster %llu, the boot sector says %llu",
                     static_cast<ull>(map_.front().lcn), static_cast<ull>(geometry_.mft_cluster));
}

void ntfs_volume::load_bitmap_runs() {
    bitmap_runs_.clear();
    std::vector<std::uint8_t> rec;
    if (!read_record(6, rec)) {
        if (diags_) diags_->line("err: $Bitmap record unreadable");
        return;
    }
    for_each_attribute(kavo::binary_data(rec), [&](const attribute_view& attr) {
        if (!unnamed_non_resident_data(attr)) return true;
        decode_compact_runs(attr.bytes, bitmap_runs_);
        return false;
    });
}

void ntfs_volume::use_rebuilt_mft(std::unique_ptr<memory_mft_source> mft, std::uint32_t record_size,
                                  const boot_geometry& geometry) {
    if (geometry_.cluster_size == 0) geometry_ = geometry;
    record_size_ = record_size;
    entry_count_ = record_size ? mft->size_bytes() / record_size : 0;
    memory_mft_ = std::move(mft);
    in_memory_ = true;
}

status open_volume(ntfs_volume& v, std::uint64_t& mft_offset) {
    if (!v.reader_) return status::failure("nothing to read from");
    if (v.ready_) {
        mft_offset = v.geometry_.mft_offset;
        return {};
    }
    if (status s = v.load_boot_sector(); !s) return s;
    if (status s = v.load_record0(); !s) return s;
    v.allocated_record_size_ = read_record_header(kavo::binary_data(v.record0_)).bytes_allocated;
    if (v.allocated_record_size_ == 0) return status::failure("record 0 of the $MFT allocates no bytes");
    if (v.allocated_record_size_ != v.record_size_ && v.diags_)
        v.diags_->line("info: record 0 allocates %u bytes per record, records are read %u bytes apart",
                       v.allocated_record_size_, v.record_size_);
    v.ready_ = true;  // record reads through the map need it from here on
    v.load_mft_runs();
    v.entry_count_ = v.mft_mapped_bytes_ / v.record_size_;
    v.load_bitmap_runs();
    mft_offset = v.geometry_.mft_offset;
    return {};
}

std::uint64_t entry_offset(const ntfs_volume& v, std::uint64_t entry) {
    const std::uint64_t rs = v.record_size_, cs = v.geometry_.cluster_size;
    if (!v.ready_ || v.in_memory_ || rs == 0 || cs == 0 || entry > ~0ull / rs) return 0;
    const std::uint64_t p = entry * rs, vcn = p / cs;
    const std::size_t i = v.find_map_run(vcn);
    if (i == npos) return 0;
    const compact_run& r = v.map_[i];
    return p % cs + (r.lcn + (vcn - r.vcn)) * cs;
}

void close_volume(ntfs_volume& v) {
    v.reader_.reset();
    v.ready_ = false;
    v.in_memory_ = false;
    v.memory_mft_.reset();
    v.record0_.clear();
    v.record0_.shrink_to_fit();
    v.map_.clear();
    v.map_by_lcn_.clear();
    v.scratch_.clear();
    v.scratch_.shrink_to_fit();
}

}  // namespace skelvar
