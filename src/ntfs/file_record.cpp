#include "ntfs/file_record.h"

#include "app/mft_entries_ctx.h"
#include "support/binary_data.h"

namespace skelvar {

namespace {

// Record sizes an update sequence count can describe that we are willing to use.
constexpr std::uint32_t max_record_size = 4096;

bool learn_record_size(mft_entries_ctx& ctx) {
    if (ctx.record_size_learned) return true;
    mft_source& src = *ctx.source;
    ctx.sector_stride = src.sector_stride();
    if (std::uint32_t known = src.known_record_size()) {
        ctx.record_size = known;
        ctx.record_size_learned = true;
        return true;
    }
    std::uint8_t first[1024];
    if (!src.read_at(0, sizeof first, first)) return false;
    kavo::binary_data rec({first, sizeof first});
    const std::uint16_t count = rec.u16(0x06);
    if (count < 2) return false;
    const std::uint32_t size = (static_cast<std::uint32_t>(count) - 1) * 512;
    if (size > max_record_size) return false;
    ctx.record_size = size;
    ctx.record_size_learned = true;
    return true;
}

}  // namespace

record_status validate_and_fixup(std::span<std::uint8_t> record, std::uint32_t stride) {
    kavo::binary_data rec(record);
    const bool is_file = rec.starts_with("FILE", 4);
    const bool is_indx = rec.starts_with("INDX", 4);
    if (is_file) {
        if (rec.u16(0x04) != 0x30 || rec.u16(0x06) > 9 || rec.u16(0x14) > 0x48) return record_status::unreadable;
    } else if (!is_indx) {
        return rec.starts_with("BAAD", 4) ? record_status::bad : record_status::unreadable;
    }
    if (stride == 0) return record_status::ok;
    const std::size_t usa = rec.u16(0x04);
    const std::size_t count = rec.u16(0x06);
    const std::size_t strides = record.size() / stride;
    // The sector tails are not compared with the sequence number: a torn record is used as it stands.
    for (std::size_t i = 1; i < count && i < strides + 1; ++i) {
        const std::size_t slot = usa + 2 * i;
        const std::size_t tail = i * stride - 2;
        if (!rec.has(slot, 2) || !rec.has(tail, 2)) break;
        const std::uint8_t lo = record[slot], hi = record[slot + 1];
        record[tail] = lo;
        record[tail + 1] = hi;
    }
    return record_status::ok;
}

record_status read_file_record(mft_entries_ctx& ctx, std::uint64_t entry, std::vector<std::uint8_t>& out) {
    if (!ctx.source || !ctx.source->ready()) return record_status::unreadable;
    if (!learn_record_size(ctx)) return record_status::unreadable;
    const std::uint32_t size = ctx.record_size;
    if (size == 0 || entry > (~0ull - size) / size) return record_status::unreadable;
    out.resize(size);
    if (!ctx.source->read_at(entry * size, size, out.data())) return record_status::unreadable;
    return validate_and_fixup(out, ctx.sector_stride);
}

}  // namespace skelvar
