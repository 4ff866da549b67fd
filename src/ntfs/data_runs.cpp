#include "ntfs/data_runs.h"

namespace skelvar {

namespace {

// The little-endian field of `width` bytes (0 to 8) at `at`. A run list ends its attribute,
// so the word that ends where the field ends is read in one load rather than the word it starts.
std::uint64_t field(const kavo::binary_data& attr, std::size_t at, std::size_t width) {
    if (width == 0) return 0;
    if (at + width >= 8) return attr.u64(at + width - 8) >> (8 * (8 - width));
    return attr.le(at, width);
}

// Walks the entries of a run list, handing each decoded entry to `emit`.
template <typename Emit>
bool walk_runs(kavo::binary_data attr, Emit&& emit) {
    if (attr.empty()) return false;
    const std::uint32_t attr_length = attr.u32(0x04);
    if (attr_length == 0) return false;
    // Never trust the declared length beyond the bytes we hold.
    const std::size_t end = attr_length < attr.size() ? attr_length : attr.size();
    std::size_t pos = attr.u16(0x20);
    if (pos >= end) return true;
    std::uint64_t vcn = attr.u64(0x10);
    std::uint64_t lcn = 0;
    bool first = true;
    while (pos < end) {
        const std::uint8_t h = attr.u8(pos);
        if (h == 0) break;
        const std::size_t len_bytes = h & 0x0F, off_bytes = h >> 4;
        const std::size_t size = len_bytes + off_bytes + 1;
        if (size > end - pos || len_bytes > 8 || off_bytes > 8) break;
        const std::uint64_t length = field(attr, pos + 1, len_bytes);
        std::uint64_t offset = field(attr, pos + 1 + len_bytes, off_bytes);
        std::uint64_t magnitude = offset;
        bool negative = false;
        if (off_bytes > 0 && (offset >> (8 * off_bytes - 1)) & 1) {
            negative = true;
            // Two's complement within the field's width.
            const std::uint64_t mask = off_bytes == 8 ? ~0ull : ((1ull << (8 * off_bytes)) - 1);
            magnitude = ((~offset) + 1) & mask;
            lcn -= magnitude;
        } else {
            lcn += offset;
        }
        emit(lcn, magnitude, length, vcn, negative, off_bytes > 0, first, pos, size, end);
        first = false;
        vcn += length;
        pos += size;
    }
    return true;
}

}  // namespace

bool decode_run_list(kavo::binary_data attr, std::vector<detailed_run>& runs) {
    runs.clear();
    const std::uint32_t type = attr.u32(0x00);
    return walk_runs(attr, [&](std::uint64_t lcn, std::uint64_t magnitude, std::uint64_t length, std::uint64_t vcn,
                               bool negative, bool has_offset, bool, std::size_t pos, std::size_t size,
                               std::size_t end) {
        detailed_run r;
        r.lcn = lcn;
        r.magnitude = magnitude;
        r.length = static_cast<std::uint32_t>(length);
        r.vcn = vcn;
        r.negative = negative;
        r.has_offset = has_offset;
        r.attr_type = type;
        r.position = pos;
        auto raw = attr.sub(pos, size).span();
        r.raw.assign(raw.begin(), raw.end());
        if (end - pos - size >= 3) {
            auto tail = attr.sub(pos + size, 3).span();
            r.trailing.assign(tail.begin(), tail.end());
        }
        runs.push_back(std::move(r));
    });
}

static compact_run to_compact(std::uint64_t lcn, std::uint64_t magnitude, std::uint64_t length, std::uint64_t vcn,
                              bool has_offset, bool first) {
    compact_run c;
    c.vcn = vcn;
    c.count = static_cast<std::uint32_t>(length);
    // A zero offset is a real run at LCN 0 only for a first run that declared offset bytes.
    if (magnitude != 0 || (first && has_offset)) {
        c.lcn = lcn;
    } else {
        c.lcn = 0;
        c.sparse = 1;
    }
    return c;
}

bool decode_compact_runs(kavo::binary_data attr, std::vector<compact_run>& runs) {
    runs.clear();
    return walk_runs(attr, [&](std::uint64_t lcn, std::uint64_t magnitude, std::uint64_t length, std::uint64_t vcn,
                               bool, bool has_offset, bool first, std::size_t, std::size_t, std::size_t) {
        runs.push_back(to_compact(lcn, magnitude, length, vcn, has_offset, first));
    });
}

std::vector<compact_run> compact_runs(const std::vector<detailed_run>& runs) {
    std::vector<compact_run> out;
    out.reserve(runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const auto& r = runs[i];
        out.push_back(to_compact(r.lcn, r.magnitude, r.length, r.vcn, r.has_offset, i == 0));
    }
    return out;
}

vcn_mapping vcn_to_lcn(const std::vector<compact_run>& runs, std::uint64_t vcn) {
    vcn_mapping m;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const auto& r = runs[i];
        if (vcn >= r.vcn && vcn - r.vcn < r.count) {
            m.found = true;
            m.run_index = i;
            m.sparse = r.sparse != 0;
            m.lcn = m.sparse ? 0 : r.lcn - r.vcn + vcn;
            return m;
        }
    }
    return m;
}

}  // namespace skelvar
