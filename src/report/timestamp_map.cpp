#include "report/timestamp_map.h"

#include <algorithm>

namespace skelvar {

namespace {

// Each distinct value of `values` once, with the letters (bits) of the times that hold it;
// returns their number. A name's $FILE_NAME times are mostly one value, the
// $STANDARD_INFORMATION times two or three.
std::size_t group_times(const timestamp_map::times& values, std::uint64_t* distinct, std::uint8_t* bits) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < 4; ++at) {
        std::size_t k = 0;
        while (k < count && distinct[k] != values[at]) ++k;
        if (k == count) {
            distinct[count] = values[at];
            bits[count++] = 0;
        }
        bits[k] = static_cast<std::uint8_t>(bits[k] | 1u << at);
    }
    return count;
}

}  // namespace

macb_letters letters_of(std::uint8_t bits) {
    macb_letters l{'.', '.', '.', '.'};
    static constexpr char letters[4] = {'m', 'a', 'c', 'b'};
    for (std::size_t at = 0; at < 4; ++at)
        if (bits & (1u << at)) l[at] = letters[at];
    return l;
}

void macb_cell::reset(std::uint64_t v) {
    value = v;
    si_bits = 0;
    any_si = false;
    long_names.clear();
    dos_names.clear();
}

void timestamp_map::clear() {
    used_ = 0;
    si_count_ = 0;
    si_made_ = true;
}

void timestamp_map::set_si(const times& values) {
    // Sorted (five exchanges), then equal neighbours merged.
    std::uint64_t v[4] = {values[0], values[1], values[2], values[3]};
    std::uint8_t b[4] = {1, 2, 4, 8};
    auto exchange = [&](std::size_t i, std::size_t j) {
        if (v[j] < v[i]) {
            std::swap(v[i], v[j]);
            std::swap(b[i], b[j]);
        }
    };
    exchange(0, 1);
    exchange(2, 3);
    exchange(0, 2);
    exchange(1, 3);
    exchange(1, 2);
    si_values_[0] = v[0];
    si_bits_[0] = b[0];
    std::size_t n = 1;
    for (std::size_t i = 1; i < 4; ++i) {
        if (v[i] == si_values_[n - 1]) {
            si_bits_[n - 1] = static_cast<std::uint8_t>(si_bits_[n - 1] | b[i]);
        } else {
            si_values_[n] = v[i];
            si_bits_[n++] = b[i];
        }
    }
    si_count_ = n;
    si_made_ = false;
}

void timestamp_map::reserve(std::size_t cells) {
    if (pool_.size() >= cells) return;
    pool_.resize(cells);
    order_.resize(cells);
}

std::uint32_t timestamp_map::find_or_insert(std::uint64_t value) {
    // An entry has a handful of times: a scan from the top beats a binary search until it has many.
    constexpr std::size_t scan_limit = 16;
    const std::size_t count = used_;
    std::size_t at = count;
    if (count <= scan_limit) {
        while (at != 0 && order_[at - 1].value > value) --at;
        if (at != 0 && order_[at - 1].value == value) return order_[at - 1].index;
    } else {
        at = static_cast<std::size_t>(std::lower_bound(order_.begin(), order_.begin() + static_cast<std::ptrdiff_t>(count),
                                                       value, [](const slot& s, std::uint64_t v) { return s.value < v; }) -
                                      order_.begin());
        if (at != count && order_[at].value == value) return order_[at].index;
    }
    reserve(count + 1);
    pool_[count].reset(value);
    std::copy_backward(order_.begin() + static_cast<std::ptrdiff_t>(at), order_.begin() + static_cast<std::ptrdiff_t>(count),
                       order_.begin() + static_cast<std::ptrdiff_t>(count + 1));
    order_[at] = slot{value, static_cast<std::uint32_t>(count)};
    used_ = count + 1;
    return static_cast<std::uint32_t>(count);
}

void timestamp_map::make_si_cells() {
    si_made_ = true;
    if (used_ != 0) {
        for (std::size_t k = 0; k < si_count_; ++k) {
            si_cells_[k] = find_or_insert(si_values_[k]);
            macb_cell& c = pool_[si_cells_[k]];
            c.si_bits |= si_bits_[k];
            c.any_si = true;
        }
        return;
    }
    // With the first name the map is empty and the values are sorted: they go in as they are.
    const std::size_t n = si_count_;
    reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
        macb_cell& c = pool_[k];
        c.reset(si_values_[k]);
        c.si_bits = si_bits_[k];
        c.any_si = true;
        order_[k] = slot{si_values_[k], static_cast<std::uint32_t>(k)};
        si_cells_[k] = static_cast<std::uint32_t>(k);
    }
    used_ = n;
}

inline void timestamp_map::join(macb_cell& c, std::uint32_t name, bool dos, std::uint8_t bits, bool name_is_new) {
    auto& names = dos ? c.dos_names : c.long_names;
    cell_name* n = nullptr;
    if (!name_is_new) {
        if (!names.empty() && names.back().name == name) {
            n = &names.back();
        } else {
            auto it = std::find_if(names.begin(), names.end(), [&](const cell_name& x) { return x.name == name; });
            if (it != names.end()) n = &*it;
        }
    }
    if (!n) n = &names.emplace_back(cell_name{name});
    if (bits) {
        n->bits |= bits;
        n->any = true;
    }
}

void timestamp_map::enter(std::uint32_t name, bool dos, const times* fn, bool name_is_new) {
    if (!si_made_) make_si_cells();
    // The letters of the name's own times on each $STANDARD_INFORMATION cell (most fall on one),
    // and its other values.
    std::uint8_t on_si[4] = {0, 0, 0, 0};
    std::uint64_t other[4];
    std::uint8_t other_bits[4];
    std::size_t others = 0;
    if (fn) {
        const times& f = *fn;
        std::uint64_t distinct[4];
        std::uint8_t bits[4];
        std::size_t n = 1;
        if (f[0] == f[1] && f[0] == f[2] && f[0] == f[3]) {
            distinct[0] = f[0];
            bits[0] = 0xF;
        } else {
            n = group_times(f, distinct, bits);
        }
        for (std::size_t k = 0; k < n; ++k) {
            std::size_t j = 0;
            while (j < si_count_ && si_values_[j] != distinct[k]) ++j;
            if (j < si_count_) {
                on_si[j] = bits[k];
            } else {
                other[others] = distinct[k];
                other_bits[others++] = bits[k];
            }
        }
    }
    for (std::size_t k = 0; k < si_count_; ++k) join(pool_[si_cells_[k]], name, dos, on_si[k], name_is_new);
    for (std::size_t k = 0; k < others; ++k) {
        const std::uint32_t cell = find_or_insert(other[k]);
        join(pool_[cell], name, dos, other_bits[k], name_is_new);
    }
}

}  // namespace skelvar
