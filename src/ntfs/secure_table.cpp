#include "ntfs/secure_table.h"

#include <algorithm>

#include "ntfs/entry_reader.h"
#include "ntfs/ntfs_types.h"
#include "ntfs/ntfs_volume.h"
#include "ntfs/stream_reader.h"
#include "support/binary_data.h"
#include "support/diag_log.h"

namespace skelvar {

namespace {

using ull = unsigned long long;

constexpr std::uint64_t secure_entry = 9;
constexpr std::uint64_t entry_header = 0x14;
constexpr std::uint64_t min_entry_length = 0x28;  // the length must exceed this
// Entries never cross the 256 KiB blocks of the stream; a longer length is not believed.
constexpr std::uint64_t max_entry_length = 0x40000;
constexpr std::uint64_t window_bytes = 1u << 20;
// Bounds against a hostile stream size and a stream of countless distinct ids.
constexpr std::uint64_t max_sds_bytes = 1ull << 30;
constexpr std::uint64_t max_table_bytes = 256ull << 20;

std::uint64_t round16(std::uint64_t v) { return (v + 15) & ~std::uint64_t(15); }

class sds_reader {
public:
    virtual ~sds_reader() = default;
    virtual std::uint64_t size() const = 0;
    // Bytes of [pos, pos + length) filled into `out`, from pos on without gaps.
    virtual std::uint64_t read(std::uint64_t pos, std::uint8_t* out, std::uint64_t length) = 0;
    // First position at or after `pos` that can hold an entry (past sparse holes).
    virtual std::uint64_t next_data(std::uint64_t pos) { return pos; }
};

class memory_reader final : public sds_reader {
public:
    explicit memory_reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    std::uint64_t read(std::uint64_t pos, std::uint8_t* out, std::uint64_t length) override {
        if (pos >= bytes_.size()) return 0;
        const std::uint64_t n = std::min<std::uint64_t>(length, bytes_.size() - pos);
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(pos), n, out);
        return n;
    }

private:
    std::span<const std::uint8_t> bytes_;
};

class volume_reader final : public sds_reader {
public:
    volume_reader(ntfs_volume& volume, const std::vector<compact_run>& runs, std::uint64_t size)
        : volume_(volume), runs_(runs), size_(size) {}
    std::uint64_t size() const override { return size_; }
    std::uint64_t read(std::uint64_t pos, std::uint8_t* out, std::uint64_t length) override {
        stream_read_flags flags;
        read_stream_range(volume_, runs_, pos, out, length, flags);
        return length;
    }
    std::uint64_t next_data(std::uint64_t pos) override {
        const std::uint64_t cs = volume_.cluster_size();
        if (cs == 0) return size_;
        const vcn_mapping m = vcn_to_lcn(runs_, pos / cs);
        if (!m.found) return size_;
        if (!m.sparse) return pos;
        const compact_run& r = runs_[m.run_index];
        return (r.vcn + r.count) * cs;
    }

private:
    ntfs_volume& volume_;
    const std::vector<compact_run>& runs_;
    std::uint64_t size_;
};

std::uint64_t footprint(const security_descriptor_info& d) {
    std::uint64_t n = sizeof(d) + 64 + d.owner_sid.size() + d.group_sid.size();
    for (const auto* list : {&d.sacl, &d.dacl})
        for (const ace_text& a : *list) n += sizeof(a) + a.type.size() + a.mask.size() + a.sid.size();
    return n;
}

std::size_t scan_sds(sds_reader& reader, security_table& table) {
    const std::uint64_t end = std::min(reader.size(), max_sds_bytes);
    std::vector<std::uint8_t> window;
    std::uint64_t win_start = 0, win_len = 0;
    // Makes [pos, pos + need) present in the window; false when it cannot be read.
    auto ensure = [&](std::uint64_t pos, std::uint64_t need) {
        if (pos >= win_start && pos + need <= win_start + win_len) return true;
        const std::uint64_t length = std::min(window_bytes, end - pos);
        window.resize(static_cast<std::size_t>(length));
        win_start = pos;
        win_len = reader.read(pos, window.data(), length);
        return need <= win_len;
    };

    std::size_t added = 0;
    std::uint64_t pos = 0;
    while (pos + entry_header <= end) {
        if (pos < win_start || pos + entry_header > win_start + win_len) {
            const std::uint64_t data = reader.next_data(pos);
            if (data != pos) {
                if (data <= pos) break;
                pos = round16(data);
                continue;
            }
            if (!ensure(pos, entry_header)) break;  // unreadable from here on
        }
        kavo::binary_data head({window.data() + (pos - win_start), static_cast<std::size_t>(entry_header)});
        const std::uint32_t id = head.u32(0x04);
        const std::uint64_t offset = head.u64(0x08);
        const std::uint64_t length = head.u32(0x10);
        if (offset != pos || length <= min_entry_length || length > end - pos || length > max_entry_length ||
            !ensure(pos, length)) {
            pos += 16;
            continue;
        }
        security_descriptor_info info;
        const std::span<const std::uint8_t> sd(window.data() + (pos - win_start) + entry_header,
                                               static_cast<std::size_t>(length - entry_header));
        if (parse_descriptor(sd, info) && !table.entries.count(id)) {
            const std::uint64_t cost = footprint(info);
            if (table.kept_bytes + cost > max_table_bytes) break;
            table.kept_bytes += cost;
            table.entries.emplace(id, std::move(info));
            ++added;
        }
        pos += round16(length);
    }
    return added;
}

}  // namespace

std::size_t load_sds_bytes(std::span<const std::uint8_t> sds, security_table& table) {
    memory_reader reader(sds);
    return scan_sds(reader, table);
}

std::size_t load_sds_stream(ntfs_volume& volume, const std::vector<compact_run>& runs, std::uint64_t data_size,
                            security_table& table) {
    if (runs.empty() || !volume.has_reader()) return 0;
    volume_reader reader(volume, runs, data_size);
    return scan_sds(reader, table);
}

bool load_security_table(const entry_reader& entries, security_table& table) {
    table.attempted = true;
    diag_log& log = entries.records().log();
    mft_entry_info secure;
    if (!entries.records().ready() || !entries.read_and_parse(secure_entry, secure, true)) {
        log.line("err: $Secure record unreadable, no security descriptors");
        return false;
    }
    std::size_t added = 0;
    bool found = false;
    for (const auto& [key, row] : secure.catalogue) {
        if (row.type != at_data || row.name != u"$SDS") continue;
        found = true;
        if (!row.non_resident) {
            added += load_sds_bytes(row.value, table);
        } else if (ntfs_volume* volume = entries.records().volume()) {
            if (row.data_size > max_sds_bytes)
                log.line("info: $SDS of %llu bytes, only the first %llu read", static_cast<ull>(row.data_size),
                         static_cast<ull>(max_sds_bytes));
            added += load_sds_stream(*volume, row.runs, row.data_size, table);
        }
        break;
    }
    if (!found) log.line("info: $Secure has no $SDS stream");
    log.line("info: %llu security descriptors loaded from $Secure:$SDS", static_cast<ull>(added));
    return !table.entries.empty();
}

}  // namespace skelvar
