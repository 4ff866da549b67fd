#include "common/record_builder.h"

#include <algorithm>
#include <cstring>

namespace testing_support {

namespace {

std::size_t align8(std::size_t n) { return (n + 7) & ~std::size_t(7); }

// The common attribute header (`header` bytes), the name after it, then `body` at the next 8-byte boundary
// and `pad` zero bytes; the whole rounded up to 8 bytes.
std::vector<std::uint8_t> attribute(std::uint32_t type, std::uint16_t id, const std::u16string& name,
                                    std::size_t header, const std::vector<std::uint8_t>& body, std::size_t pad) {
    const std::size_t body_off = align8(header + 2 * name.size());
    std::vector<std::uint8_t> a(align8(body_off + body.size() + pad), 0);
    for (std::size_t i = 0; i < name.size(); ++i) put_le(a, header + 2 * i, name[i], 2);
    std::copy(body.begin(), body.end(), a.begin() + static_cast<std::ptrdiff_t>(body_off));
    put_le(a, 0x00, type, 4);
    put_le(a, 0x04, a.size(), 4);
    a[0x08] = header == 0x40 ? 1 : 0;
    a[0x09] = static_cast<std::uint8_t>(name.size());
    put_le(a, 0x0A, name.empty() ? 0 : header, 2);
    put_le(a, 0x0E, id, 2);
    put_le(a, header == 0x40 ? 0x20 : 0x14, body_off, 2);
    return a;
}

}  // namespace

std::vector<std::uint8_t> make_si(std::uint64_t time, std::size_t length) {
    std::vector<std::uint8_t> v(length, 0);
    for (int i = 0; i < 4; ++i) put_le(v, 8 * i, time, 8);
    v.resize(length);
    return v;
}

std::vector<std::uint8_t> make_fn(std::uint64_t parent_ref, const std::u16string& name, std::uint8_t name_space,
                                   std::uint64_t time) {
    std::vector<std::uint8_t> v(0x42 + 2 * name.size(), 0);
    put_le(v, 0, parent_ref, 8);
    for (int i = 0; i < 4; ++i) put_le(v, 8 + 8 * i, time, 8);
    v[0x40] = static_cast<std::uint8_t>(name.size());
    v[0x41] = name_space;
    for (std::size_t i = 0; i < name.size(); ++i) put_le(v, 0x42 + 2 * i, name[i], 2);
    return v;
}

record_builder::record_builder(std::uint32_t size) : size_(size) {}
record_builder& record_builder::flags(std::uint16_t f) { flags_ = f; return *this; }
record_builder& record_builder::sequence(std::uint16_t s) { seq_ = s; return *this; }
record_builder& record_builder::base_ref(std::uint64_t r) { base_ = r; return *this; }
record_builder& record_builder::older_layout() { usa_ = 0x2A; return *this; }

record_builder& record_builder::resident(std::uint32_t type, std::uint16_t id, const std::vector<std::uint8_t>& value,
                                         const std::u16string& name) {
    auto a = attribute(type, id, name, 0x18, value, 0);
    put_le(a, 0x10, value.size(), 4);
    next_id_ = static_cast<std::uint16_t>(id + 1);
    return raw(a);
}

record_builder& record_builder::non_resident(std::uint32_t type, std::uint16_t id,
                                             const std::vector<std::uint8_t>& run_list, std::uint64_t data_size,
                                             const std::u16string& name, std::uint64_t start_vcn) {
    auto a = attribute(type, id, name, 0x40, run_list, 1);  // the run list's end marker
    put_le(a, 0x10, start_vcn, 8);
    put_le(a, 0x28, (data_size + 4095) & ~std::uint64_t(4095), 8);
    put_le(a, 0x30, data_size, 8);
    put_le(a, 0x38, data_size, 8);
    next_id_ = static_cast<std::uint16_t>(id + 1);
    return raw(a);
}

record_builder& record_builder::raw(const std::vector<std::uint8_t>& bytes) {
    attrs_.insert(attrs_.end(), bytes.begin(), bytes.end());
    return *this;
}

std::vector<std::uint8_t> record_builder::build() const {
    std::vector<std::uint8_t> r(size_, 0);
    std::memcpy(r.data(), "FILE", 4);
    const std::uint16_t count = static_cast<std::uint16_t>(size_ / 512 + 1);
    put_le(r, 0x04, usa_, 2);
    put_le(r, 0x06, count, 2);
    put_le(r, 0x10, seq_, 2);
    put_le(r, 0x12, links_, 2);
    const std::size_t first = (usa_ + 2 * count + 7) & ~std::size_t(7);
    put_le(r, 0x14, first, 2);
    put_le(r, 0x16, flags_, 2);
    put_le(r, 0x20, base_, 8);
    put_le(r, 0x28, next_id_, 2);
    std::size_t end = first + attrs_.size();
    if (end + 8 <= size_) {
        std::copy(attrs_.begin(), attrs_.end(), r.begin() + first);
        put_le(r, end, 0xFFFFFFFF, 4);
        end += 8;
    } else {
        std::copy_n(attrs_.begin(), std::min<std::size_t>(attrs_.size(), size_ - first), r.begin() + first);
        end = size_;
    }
    put_le(r, 0x18, end, 4);
    put_le(r, 0x1C, size_, 4);
    // Update sequence: save each sector's last two bytes, then stamp the USN there.
    const std::uint16_t usn = 0x0042;
    put_le(r, usa_, usn, 2);
    for (std::size_t i = 1; i < count; ++i) {
        const std::size_t tail = i * 512 - 2;
        r[usa_ + 2 * i] = r[tail];
        r[usa_ + 2 * i + 1] = r[tail + 1];
        put_le(r, tail, usn, 2);
    }
    return r;
}

std::vector<std::uint8_t> attr_list_entry(std::uint32_t type, std::uint16_t id, std::uint64_t ref) {
    std::vector<std::uint8_t> e(0x20, 0);
    put_le(e, 0x00, type, 4);
    put_le(e, 0x04, 0x20, 2);
    put_le(e, 0x10, ref, 8);
    put_le(e, 0x18, id, 2);
    return e;
}

std::vector<std::uint8_t> mft_image(std::vector<std::vector<std::uint8_t>> records, std::uint32_t size) {
    if (records.empty()) records.emplace_back();
    if (records[0].empty()) {
        const std::uint64_t total = records.size() * static_cast<std::uint64_t>(size);
        records[0] = record_builder(size)
                         .flags(1)
                         .resident(0x10, 0, make_si(130000000000000000ull))
                         .resident(0x30, 1, make_fn(5 | (5ull << 48), u"$MFT", 3, 130000000000000000ull))
                         .non_resident(0x80, 2, {0x11, static_cast<std::uint8_t>(total / 4096 + 1), 0x04},
                                       total)
                         .build();
    }
    std::vector<std::uint8_t> image;
    for (auto& r : records) {
        if (r.empty()) r.assign(size, 0);
        r.resize(size);
        image.insert(image.end(), r.begin(), r.end());
    }
    return image;
}

}  // namespace testing_support
