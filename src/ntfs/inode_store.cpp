#include "ntfs/inode_store.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <cstring>
#include <vector>

#include "ntfs/attribute_iterator.h"
#include "ntfs/boot_sector.h"
#include "ntfs/file_record.h"
#include "ntfs/memory_mft_source.h"
#include "ntfs/ntfs_types.h"
#include "ntfs/ntfs_volume.h"
#include "ntfs/record_header.h"
#include "support/binary_data.h"
#include "support/console.h"
#include "support/diag_log.h"
#include "volume/raw_disk_io.h"

namespace skelvar {

namespace {

using ull = unsigned long long;

// The scan judges records 16 at a time but reads many such blocks per call.
constexpr std::uint32_t block_records = 16;
constexpr std::uint32_t blocks_per_read = 64;

// One copy of a record found by the scan.
struct candidate {
    std::uint64_t entry = 0;
    std::uint64_t found_at = 0;  // byte offset on the disk or image
    std::uint64_t mft_changed = 0;
    std::uint16_t sequence = 0;
};

// MFT change time of the record's $STANDARD_INFORMATION (0 when it has none).
std::uint64_t si_mft_changed(kavo::binary_data rec, std::size_t first_attribute) {
    attribute_iterator it(rec, first_attribute);
    for (attribute_view a; it.next(a);)
        if (a.type == at_standard_information && !a.non_resident)
            return a.bytes.sub(a.value_offset, a.value_length).u64(0x10);
    return 0;
}

// Copies found during the scan, one chosen per entry number. Only what was
// found takes memory: a stray record claiming a huge entry number costs one slot.
class store_builder {
public:
    store_builder(const ntfs_volume& volume, std::uint32_t record_size, std::uint64_t max_entries)
        : volume_(volume), rs_(record_size), max_entries_(max_entries), fixed_(record_size) {}

    // Offers one record-sized slot as it lies on disk at `found_at`, `at` bytes into the volume.
    void offer(const std::uint8_t* raw, std::uint64_t found_at, std::uint64_t at) {
        const file_record_header h = read_record_header(kavo::binary_data({raw, rs_}));
        if (!h.valid_file()) return;
        ++found_;
        // Records of the older layout carry no number: where the $MFT runs put them says it.
        std::uint64_t entry = 0;
        if (h.has_record_number)
            entry = h.record_number;
        else if (!volume_.entry_at(at, entry)) {
            ++unnumbered_;
            return;
        }
        // Entry 0 is the $MFT, always in use. Unused records claiming 0 are ones
        // formatted without their number (mkntfs leaves 16 to 23 so) and would
        // otherwise displace the $MFT record by their higher sequence numbers.
        if (entry == 0 && !h.in_use()) {
            ++unnumbered_;
            return;
        }
        if (entry >= max_entries_) {
            ++dropped_;
            return;
        }
        std::memcpy(fixed_.data(), raw, rs_);
        validate_and_fixup(fixed_);
        kavo::binary_data fixed(fixed_);
        offers_.push_back({entry, found_at, si_mft_changed(fixed, h.first_attribute), h.sequence});
    }

    // One copy per entry number, in ascending entry order: the first found, replaced
    // by a later one with a higher sequence number, or the same one and a later change.
    void choose() {
        std::stable_sort(offers_.begin(), offers_.end(),
                         [](const candidate& a, const candidate& b) { return a.entry < b.entry; });
        std::size_t out = 0;
        for (std::size_t i = 0; i < offers_.size(); ++i) {
            const candidate& c = offers_[i];
            if (out > 0 && offers_[out - 1].entry == c.entry) {
                candidate& kept = offers_[out - 1];
                if (c.sequence > kept.sequence || (c.sequence == kept.sequence && c.mft_changed > kept.mft_changed))
                    kept = c;
                continue;
            }
            offers_[out++] = c;
        }
        offers_.resize(out);
        offers_.shrink_to_fit();
    }

    std::uint64_t found() const { return found_; }
    std::uint64_t dropped() const { return dropped_; }
    std::uint64_t unnumbered() const { return unnumbered_; }
    // After `choose`: one per entry number, ascending.
    const std::vector<candidate>& chosen() const { return offers_; }

    // How many chosen entries make up the rebuilt $MFT. Past `free_bytes` of $MFT
    // the entries must fill at least a quarter of the slots below them, so that a
    // few strays with huge entry numbers cannot make the walk step through millions
    // of empty slots.
    std::size_t extent(std::uint64_t free_bytes) const {
        const std::uint64_t free_entries = free_bytes / rs_;
        std::size_t end = 0;
        for (std::size_t i = 0; i < offers_.size(); ++i) {
            const std::uint64_t n = offers_[i].entry;
            if (n < free_entries || (i + 1) * 4 >= n + 1) end = i + 1;
        }
        return end;
    }

private:
    const ntfs_volume& volume_;
    std::uint32_t rs_;
    std::uint64_t max_entries_;
    std::vector<std::uint8_t> fixed_;
    std::vector<candidate> offers_;
    std::uint64_t found_ = 0, dropped_ = 0, unnumbered_ = 0;
};

// Reads the first `count` chosen records into `records` (record i at i x rs), in
// disk order and in large pieces where records lie back to back. A failed read leaves zeros.
void copy_chosen(RAW_DISK_IO& reader, const std::vector<candidate>& chosen, std::size_t count, std::uint32_t rs,
                 std::vector<std::uint8_t>& records) {
    std::vector<std::pair<std::uint64_t, std::size_t>> order;  // (found at, slot)
    for (std::size_t i = 0; i < count; ++i) order.emplace_back(chosen[i].found_at, i);
    std::sort(order.begin(), order.end());
    constexpr std::size_t max_group = 1024;
    std::vector<std::uint8_t> buf;
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i + 1;
        while (j < order.size() && j - i < max_group && order[j].first == order[j - 1].first + rs) ++j;
        const std::uint64_t bytes = static_cast<std::uint64_t>(j - i) * rs;
        buf.resize(static_cast<std::size_t>(bytes));
        std::uint32_t got = static_cast<std::uint32_t>(bytes);
        if (reader.read_direct(buf.data(), got, order[i].first) && got == bytes) {
            for (std::size_t k = i; k < j; ++k)
                std::memcpy(records.data() + order[k].second * rs, buf.data() + (k - i) * rs, rs);
        } else {
            for (std::size_t k = i; k < j; ++k) {
                std::uint32_t one = rs;
                if (reader.read_direct(buf.data(), one, order[k].first) && one == rs)
                    std::memcpy(records.data() + order[k].second * rs, buf.data(), rs);
            }
        }
        i = j;
    }
}

}  // namespace

bool build_inode_store(ntfs_volume& volume, const inode_store_options& options) {
    RAW_DISK_IO* reader = volume.reader();
    if (!reader) return false;
    std::uint8_t boot[512];
    std::uint32_t got = sizeof boot;
    if (!reader->read_direct(boot, got, volume.volume_offset()) || got < sizeof boot) {
        console::message("prob reading disk at offset 0\n");
        return false;
    }
    boot_geometry g;
    if (parse_boot_sector({boot, sizeof boot}, g) != boot_status::ok) return false;

    // An opened volume may have learned a larger record size from record 0.
    const std::uint32_t rs = volume.ready() && volume.record_size() ? volume.record_size() : g.record_size;
    const std::uint64_t base = volume.volume_offset();
    if (const std::uint64_t present = volume.bytes_available()) clamp_geometry(g, present);
    const std::uint64_t size = g.volume_size;

    const std::uint64_t max_entries = std::min(size / rs, options.max_mft_bytes / rs);
    store_builder store(volume, rs, max_entries);

    const std::uint64_t block = static_cast<std::uint64_t>(block_records) * rs;
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(block * blocks_per_read));
    bool ended = false;
    for (std::uint64_t pos = 0; pos < size && !ended;) {
        const std::uint64_t want = std::min<std::uint64_t>(buf.size(), (size - pos + block - 1) / block * block);
        std::uint32_t count = static_cast<std::uint32_t>(want);
        std::uint64_t usable = 0;
        if (reader->read(buf.data(), count, base + pos)) {
            usable = count;
            ended = count < want;
        } else {
            // Block by block to the first unreadable one, which ends the scan.
            for (std::uint64_t b = 0; b < want; b += block) {
                std::uint32_t c = static_cast<std::uint32_t>(block);
                if (!reader->read(buf.data() + b, c, base + pos + b)) {
                    ended = true;
                    break;
                }
                usable = b + c;
                if (c < block) {
                    ended = true;
                    break;
                }
            }
        }
        for (std::uint64_t slot = 0; slot + rs <= usable; slot += rs)
            store.offer(buf.data() + slot, base + pos + slot, pos + slot);
        pos += want;
        if (options.show_progress) console::percent_line(std::min(pos, size), size);
    }
    buf.clear();
    buf.shrink_to_fit();

    store.choose();
    const std::vector<candidate>& chosen = store.chosen();
    const std::size_t kept = store.extent(options.free_mft_bytes);
    const std::uint64_t entries = kept ? chosen[kept - 1].entry + 1 : 0;
    diag_log* d = volume.diags();
    if (d) {
        d->line("info: inode store: %llu records found, %llu entry numbers, $MFT of %llu entries",
                static_cast<ull>(store.found()), static_cast<ull>(chosen.size()), static_cast<ull>(entries));
        if (store.unnumbered())
            d->line("info: inode store: %llu records without an entry number left out",
                    static_cast<ull>(store.unnumbered()));
        if (store.dropped())
            d->line("err: inode store: %llu records with entry numbers beyond %llu left out",
                    static_cast<ull>(store.dropped()), static_cast<ull>(max_entries));
    }
    if (chosen.empty()) return false;
    std::vector<std::uint8_t> records(kept * rs);
    std::vector<std::uint64_t> numbers(kept);
    for (std::size_t i = 0; i < kept; ++i) numbers[i] = chosen[i].entry;
    copy_chosen(*reader, chosen, kept, rs, records);
    if (entries * rs > 4096)
        volume.use_rebuilt_mft(std::make_unique<memory_mft_source>(std::move(records), std::move(numbers), rs), rs, g);
    return true;
}

}  // namespace skelvar
