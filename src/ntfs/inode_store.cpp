#include "ntfs/inode_store.h"

#include <algorithm>
#include <new>
#include <utility>
#include <cstring>
#include <vector>

#include "ntfs/attribute_iterator.h"
#include "ntfs/boot_sector.h"
#include "ntfs/file_record.h"
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

// The copy chosen so far for one entry number.
struct candidate {
    std::uint64_t found_at = 0;  // byte offset on the disk or image
    std::uint64_t mft_changed = 0;
    std::uint16_t sequence = 0;
    bool present = false;
};

// MFT change time of the record's $STANDARD_INFORMATION (0 when it has none).
std::uint64_t si_mft_changed(kavo::binary_data rec, std::size_t first_attribute) {
    attribute_iterator it(rec, first_attribute);
    for (attribute_view a; it.next(a);)
        if (a.type == at_standard_information && !a.non_resident)
            return a.bytes.sub(a.value_offset, a.value_length).u64(0x10);
    return 0;
}

// Copies found during the scan, one chosen per entry number.
class store_builder {
public:
    store_builder(std::uint32_t record_size, std::uint32_t stride, std::uint64_t max_entries)
        : rs_(record_size), stride_(stride), max_entries_(max_entries), fixed_(record_size) {}

    void reserve(std::uint64_t entries) { chosen_.reserve(static_cast<std::size_t>(std::min(entries, max_entries_))); }

    // Offers one record-sized slot as it lies on disk at `found_at`.
    void offer(const std::uint8_t* raw, std::uint64_t found_at) {
        const file_record_header h = read_record_header(kavo::binary_data({raw, rs_}));
        if (!h.valid_file()) return;
        const std::uint64_t entry = h.record_number;
        ++found_;
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
        validate_and_fixup(fixed_, stride_);
        kavo::binary_data fixed(fixed_);
        const std::uint16_t seq = read_record_header(fixed).sequence;
        const std::uint64_t changed = si_mft_changed(fixed, h.first_attribute);
        if (entry >= chosen_.size()) {
            // Geometric growth keeps the copying linear; never past the cap.
            const std::uint64_t want = std::min(std::max<std::uint64_t>(entry + 1, chosen_.size() * 2), max_entries_);
            chosen_.resize(static_cast<std::size_t>(want));
        }
        candidate& c = chosen_[static_cast<std::size_t>(entry)];
        // Same file reference: the later MFT change wins. Across references the higher sequence wins.
        if (c.present && !(seq > c.sequence || (seq == c.sequence && changed > c.mft_changed))) return;
        if (!c.present) ++distinct_;
        c = {found_at, changed, seq, true};
    }

    std::uint64_t found() const { return found_; }
    std::uint64_t dropped() const { return dropped_; }
    std::uint64_t distinct() const { return distinct_; }
    std::uint64_t unnumbered() const { return unnumbered_; }
    const std::vector<candidate>& chosen() const { return chosen_; }

    // Entries below the returned number make up the rebuilt $MFT. Past `free_bytes`
    // of $MFT the entries must fill at least a quarter of their slots, so that a
    // few strays with huge entry numbers cannot demand gigabytes of zeros.
    std::uint64_t extent(std::uint64_t free_bytes) const {
        const std::uint64_t free_entries = free_bytes / rs_;
        std::uint64_t present = 0, end = 0;
        for (std::uint64_t n = 0; n < chosen_.size(); ++n) {
            if (!chosen_[n].present) continue;
            ++present;
            if (n < free_entries || present * 4 >= n + 1) end = n + 1;
        }
        return end;
    }

private:
    std::uint32_t rs_, stride_;
    std::uint64_t max_entries_;
    std::vector<std::uint8_t> fixed_;
    std::vector<candidate> chosen_;
    std::uint64_t found_ = 0, dropped_ = 0, distinct_ = 0, unnumbered_ = 0;
};

// Reads the chosen records into the $MFT buffer, in disk order and in large
// pieces where records lie back to back. A failed read leaves zeros.
void copy_chosen(RAW_DISK_IO& reader, const std::vector<candidate>& chosen, std::uint64_t entries,
                 std::uint32_t rs, std::vector<std::uint8_t>& mft) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> order;  // (found at, entry)
    for (std::uint64_t n = 0; n < entries; ++n)
        if (chosen[n].present) order.emplace_back(chosen[n].found_at, n);
    std::sort(order.begin(), order.end());
    constexpr std::size_t max_group = 1024;
    std::vector<std::uint8_t> buf;
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i + 1;
        while (j < order.size() && j - i < max_group && order[j].first == order[j - 1].first + rs) ++j;
        const std::uint64_t bytes = static_cast<std::uint64_t>(j - i) * rs;
        buf.resize(static_cast<std::size_t>(bytes));
        std::uint32_t count = static_cast<std::uint32_t>(bytes);
        if (reader.read_direct(buf.data(), count, order[i].first) && count == bytes) {
            for (std::size_t k = i; k < j; ++k)
                std::memcpy(mft.data() + order[k].second * rs, buf.data() + (k - i) * rs, rs);
        } else {
            for (std::size_t k = i; k < j; ++k) {
                std::uint32_t one = rs;
                if (reader.read_direct(buf.data(), one, order[k].first) && one == rs)
                    std::memcpy(mft.data() + order[k].second * rs, buf.data(), rs);
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
    std::uint64_t size = g.volume_size;
    const std::uint64_t disk = reader->size();
    if (disk > 0) size = std::min(size, disk > base ? disk - base : 0);

    const std::uint64_t max_entries = std::min(g.volume_size / rs, options.max_mft_bytes / rs);
    store_builder store(rs, g.bytes_per_sector, max_entries);
    if (volume.ready() && !volume.in_memory()) store.reserve(volume.entry_count());

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
        for (std::uint64_t slot = 0; slot + rs <= usable; slot += rs) store.offer(buf.data() + slot, base + pos + slot);
        pos += want;
        if (options.show_progress) console::percent_line(std::min(pos, size), size);
    }
    buf.clear();
    buf.shrink_to_fit();

    const std::uint64_t entries = store.extent(options.free_mft_bytes);
    diag_log* d = volume.diags();
    if (d) {
        d->line("info: inode store: %llu records found, %llu entry numbers, $MFT of %llu entries",
                static_cast<ull>(store.found()), static_cast<ull>(store.distinct()), static_cast<ull>(entries));
        if (store.unnumbered())
            d->line("info: inode store: %llu unused records without an entry number left out",
                    static_cast<ull>(store.unnumbered()));
        if (store.dropped())
            d->line("err: inode store: %llu records with entry numbers beyond %llu left out",
                    static_cast<ull>(store.dropped()), static_cast<ull>(max_entries));
    }
    if (store.distinct() == 0) return false;
    std::vector<std::uint8_t> mft;
    try {
        mft.assign(static_cast<std::size_t>(entries * rs), 0);
    } catch (const std::bad_alloc&) {
        if (d) d->line("err: inode store: no memory for %llu entries", static_cast<ull>(entries));
        return false;
    }
    copy_chosen(*reader, store.chosen(), entries, rs, mft);
    if (mft.size() > 4096) volume.use_rebuilt_mft(std::move(mft), rs, g);
    return true;
}

}  // namespace skelvar
