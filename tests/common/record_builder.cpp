#include "common/record_builder.h"

#include <algorithm>
#include <cstring>

namespace testing_support {

namespace {

void put(std::vector<std::uint8_t>& b, std::size_t off, std::uint64_t v, int width) {
    if (b.size() < off + width) b.resize(off + width);
    for (int i = 0; i < width; ++i) b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::vector<std::uint8_t> make_si(std::uint64_t time, std::size_t length) {
    std::vector<std::uint8_t> v(length, 0);
    for (int i = 0; i < 4; ++i) put(v, 8 * i, time, 8);
    v.resize(length);
    return v;
}

std::vector<std::uint8_t> make_fn(std::uint64_t parent_ref, const std::u16string& name, std::uint8_t name_space,
                                   std::uint64_t time) {
    std::vector<std::uint8_t> v(0x42 + 2 * name.size(), 0);
    put(v, 0, parent_ref, 8);
    for (int i = 0; i < 4; ++i) put(v, 8 + 8 * i, time, 8);
    v[0x40] = static_cast<std::uint8_t>(name.size());
    v[0x41] = name_space;
    for (std::size_t i = 0; i < name.size(); ++i) put(v, 0x42 + 2 * i, name[i], 2);
    return v;
}

record_builder::record_builder(std::uint32_t size) : size_(size) {}
record_builder& record_builder::flags(std::uint16_t f) { flags_ = f; return *this; }
record_builder& record_builder::sequence(std::uint16_t s) { seq_ = s; return *this; }
record_builder& record_builder::base_ref(std::uint64_t r) { base_ = r; return *this; }
record_builder& record_builder::older_layout() { usa_ = 0x2A; return *this; }

record_builder& record_builder::resident(std::uint32_t type, std::uint16_t id, const std::vector<std::uint8_t>& value,
                                         const std::u16string& name) {
    std::vector<std::uint8_t> a(0x18, 0);
    const std::size_t name_off = 0x18;
    const std::size_t value_off = (name_off + 2 * name.size() + 7) & ~std::size_t(7);
    a.resize(value_off + value.size());
    for (std::size_t i = 0; i < name.size(); ++i) put(a, name_off + 2 * i, name[i], 2);
    std::copy(value.begin(), value.end(), a.begin() + value_off);
    a.resize((a.size() + 7) & ~std::size_t(7));
    put(a, 0x00, type, 4);
    put(a, 0x04, a.size(), 4);
    a[0x09] = static_cast<std::uint8_t>(name.size());
    put(a, 0x0A, name.empty() ? 0 : name_off, 2);
    put(a, 0x0E, id, 2);
    put(a, 0x10, value.size(), 4);
    put(a, 0x14, value_off, 2);
    attrs_.insert(attrs_.end(), a.begin(), a.end());
    next_id_ = static_cast<std::uint16_t>(id + 1);
    return *this;
}

record_builder& record_builder::non_resident(std::uint32_t type, std::uint16_t id,
                                             const std::vector<std::uint8_t>& run_list, std::uint64_t data_size,
                                             const std::u16string& name, std::uint64_t start_vcn) {
    std::vector<std::uint8_t> a(0x40, 0);
    const std::size_t name_off = 0x40;
    const std::size_t runs_off = (name_off + 2 * name.size() + 7) & ~std::size_t(7);
    a.resize(runs_off + run_list.size() + 1);
    for (std::size_t i = 0; i < name.size(); ++i) put(a, name_off + 2 * i, name[i], 2);
    std::copy(run_list.begin(), run_list.end(), a.begin() + runs_off);
    a.resize((a.size() + 7) & ~std::size_t(7));
    put(a, 0x00, type, 4);
    put(a, 0x04, a.size(), 4);
    a[0x08] = 1;
    a[0x09] = static_cast<std::uint8_t>(name.size());
    put(a, 0x0A, name.empty() ? 0 : name_off, 2);
    put(a, 0x0E, id, 2);
    put(a, 0x10, start_vcn, 8);
    put(a, 0x20, runs_off, 2);
    put(a, 0x28, (data_size + 4095) & ~std::uint64_t(4095), 8);
    put(a, 0x30, data_size, 8);
    put(a, 0x38, data_size, 8);
    attrs_.insert(attrs_.end(), a.begin(), a.end());
    next_id_ = static_cast<std::uint16_t>(id + 1);
    return *this;
}

record_builder& record_builder::raw(const std::vector<std::uint8_t>& bytes) {
    attrs_.insert(attrs_.end(), bytes.begin(), bytes.end());
    return *this;
}

std::vector<std::uint8_t> record_builder::build() const {
    std::vector<std::uint8_t> r(size_, 0);
    std::memcpy(r.data(), "FILE", 4);
    const std::uint16_t count = static_cast<std::uint16_t>(size_ / 512 + 1);
    put(r, 0x04, usa_, 2);
    put(r, 0x06, count, 2);
    put(r, 0x10, seq_, 2);
    put(r, 0x12, links_, 2);
    const std::size_t first = (usa_ + 2 * count + 7) & ~std::size_t(7);
    put(r, 0x14, first, 2);
    put(r, 0x16, flags_, 2);
    put(r, 0x20, base_, 8);
    put(r, 0x28, next_id_, 2);
    std::size_t end = first + attrs_.size();
    if (end + 8 <= size_) {
        std::copy(attrs_.begin(), attrs_.end(), r.begin() + first);
        put(r, end, 0xFFFFFFFF, 4);
        end += 8;
    } else {
        std::copy_n(attrs_.begin(), std::min<std::size_t>(attrs_.size(), size_ - first), r.begin() + first);
        end = size_;
    }
    put(r, 0x18, end, 4);
    put(r, 0x1C, size_, 4);
    // Update sequence: save each sector's last two bytes, then stamp the USN there.
    const std::uint16_t usn = 0x0042;
    put(r, usa_, usn, 2);
    for (std::size_t i = 1; i < count; ++i) {
        const std::size_t tail = i * 512 - 2;
        r[usa_ + 2 * i] = r[tail];
        r[usa_ + 2 * i + 1] = r[tail + 1];
        put(r, tail, usn, 2);
    }
    return r;
}

std::vector<std::uint8_t> attr_list_entry(std::uint32_t type, std::uint16_t id, std::uint64_t ref) {
    std::vector<std::uint8_t> e(0x20, 0);
    put(e, 0x00, type, 4);
    put(e, 0x04, 0x20, 2);
    put(e, 0x10, ref, 8);
    put(e, 0x18, id, 2);
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
