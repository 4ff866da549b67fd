#include "volume/vmdk_grain_map.h"

#include <algorithm>
#include <map>

#include "support/binary_data.h"
#include "volume/disk_bytes.h"

namespace skelvar {

namespace {

// Tables are read in batches of neighbours; one batch is at most this long.
constexpr std::uint64_t max_batch_bytes = 4u << 20;

bool read_exact(disk_bytes& file, std::uint64_t offset, std::uint8_t* out, std::uint64_t length) {
    while (length > 0) {
        const std::uint32_t step = static_cast<std::uint32_t>(std::min<std::uint64_t>(length, 1u << 30));
        if (file.read(offset, out, step) != step) return false;
        offset += step;
        out += step;
        length -= step;
    }
    return true;
}

bool fits(std::uint64_t offset, std::uint64_t length, std::uint64_t file_size) {
    return offset <= file_size && length <= file_size - offset;
}

void decode_u32s(const std::uint8_t* bytes, std::size_t count, std::uint32_t* out) {
    const kavo::binary_data b(std::span<const std::uint8_t>(bytes, count * 4));
    for (std::size_t i = 0; i < count; ++i) out[i] = b.u32(i * 4);
}

}  // namespace

bool vmdk_grain_map::load(disk_bytes& file, const vmdk_sparse_header& h, std::string& error) {
    directory_.clear();
    entries_.clear();
    grain_bytes_ = h.grain_bytes();
    per_table_ = h.entries_per_table;
    coverage_ = h.table_coverage();
    zero_grains_ = h.has_zero_grains();
    const std::uint64_t file_size = file.size();

    // One directory entry per table needed to cover the capacity.
    const std::uint64_t tables_needed = (h.capacity_bytes() + coverage_ - 1) / coverage_;
    const std::uint64_t directory_at = h.directory_offset * vmdk_sector_bytes;
    if (h.directory_offset > file_size / vmdk_sector_bytes || !fits(directory_at, tables_needed * 4, file_size)) {
        error = "grain directory of " + std::to_string(tables_needed) + " entries at sector " +
                std::to_string(h.directory_offset) + " lies beyond the end of the file";
        return false;
    }
    std::vector<std::uint32_t> table_sectors(static_cast<std::size_t>(tables_needed));
    {
        std::vector<std::uint8_t> raw(table_sectors.size() * 4);
        if (!raw.empty() && !read_exact(file, directory_at, raw.data(), raw.size())) {
            error = "grain directory cannot be read";
            return false;
        }
        decode_u32s(raw.data(), table_sectors.size(), table_sectors.data());
    }

    // Each distinct table once, in file order. Distinct tables start at distinct
    // sectors of the file, and together they may not claim more than it holds.
    const std::uint64_t table_bytes = std::uint64_t{per_table_} * 4;
    std::map<std::uint32_t, std::uint32_t> index_of;  // table sector -> table index
    for (std::size_t i = 0; i < table_sectors.size(); ++i) {
        const std::uint32_t sector = table_sectors[i];
        if (sector == 0) continue;
        if (!fits(std::uint64_t{sector} * vmdk_sector_bytes, table_bytes, file_size)) {
            error = "grain table " + std::to_string(i) + " at sector " + std::to_string(sector) +
                    " lies beyond the end of the file";
            return false;
        }
        index_of.emplace(sector, 0);
    }
    if (index_of.size() * table_bytes > file_size) {
        error = std::to_string(index_of.size()) + " grain tables claim more bytes than the file holds";
        return false;
    }
    std::uint32_t next = 0;
    for (auto& [sector, index] : index_of) index = next++;
    entries_.resize(index_of.size() * per_table_);

    // Neighbouring tables are read together.
    std::vector<std::uint8_t> batch;
    for (auto it = index_of.begin(); it != index_of.end();) {
        const std::uint64_t start = std::uint64_t{it->first} * vmdk_sector_bytes;
        auto last = it;
        std::uint64_t end = start + table_bytes;
        for (auto n = std::next(it); n != index_of.end(); ++n) {
            const std::uint64_t at = std::uint64_t{n->first} * vmdk_sector_bytes;
            if (at != end || end + table_bytes - start > max_batch_bytes) break;
            end = at + table_bytes;
            last = n;
        }
        batch.resize(static_cast<std::size_t>(end - start));
        if (!read_exact(file, start, batch.data(), batch.size())) {
            error = "grain table at sector " + std::to_string(it->first) + " cannot be read";
            return false;
        }
        for (auto t = it;; ++t) {
            const std::uint64_t at = std::uint64_t{t->first} * vmdk_sector_bytes - start;
            decode_u32s(batch.data() + at, per_table_, entries_.data() + std::size_t{t->second} * per_table_);
            if (t == last) break;
        }
        it = std::next(last);
    }

    // The directory now names tables by their index.
    for (std::uint32_t& entry : table_sectors) entry = entry == 0 ? no_table : index_of[entry];
    directory_ = std::move(table_sectors);
    return true;
}

grain_state vmdk_grain_map::locate(std::uint64_t offset, std::uint64_t& file_offset) const {
    if (coverage_ == 0) return grain_state::absent;
    const std::uint64_t dir = offset / coverage_;
    if (dir >= directory_.size() || directory_[dir] == no_table) return grain_state::absent;
    const std::uint64_t in_table = (offset % coverage_) / grain_bytes_;
    const std::uint32_t entry = entries_[std::size_t{directory_[dir]} * per_table_ + in_table];
    if (entry == 0) return grain_state::absent;
    if (entry == 1 && zero_grains_) return grain_state::zeros;
    file_offset = std::uint64_t{entry} * vmdk_sector_bytes + offset % grain_bytes_;
    return grain_state::allocated;
}

}  // namespace skelvar
