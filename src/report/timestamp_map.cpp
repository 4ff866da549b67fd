#include "report/timestamp_map.h"

#include <algorithm>
#include <iterator>

namespace skelvar {

void macb_cell::reset(std::uint64_t v) {
    value = v;
    si = {'.', '.', '.', '.'};
    any_si = false;
    si_bits = 0;
    long_names.clear();
    dos_names.clear();
}

void timestamp_map::clear() {
    used_ = 0;
    last_ = 0;
    order_.clear();
}

inline macb_cell& timestamp_map::find_or_insert(std::uint64_t value) {
    if (last_ < used_ && pool_[last_].value == value) return pool_[last_];
    // An entry has a handful of times: a scan from the top beats a binary search until it has many.
    constexpr std::size_t scan_limit = 16;
    auto it = order_.end();
    if (order_.size() <= scan_limit) {
        while (it != order_.begin() && std::prev(it)->value >= value) --it;
    } else {
        it = std::lower_bound(order_.begin(), order_.end(), value,
                              [](const slot& s, std::uint64_t v) { return s.value < v; });
    }
    if (it != order_.end() && it->value == value) {
        last_ = it->index;
        return pool_[last_];
    }
    if (used_ == pool_.size()) pool_.emplace_back();
    macb_cell& c = pool_[used_];
    c.reset(value);
    order_.insert(it, slot{value, static_cast<std::uint32_t>(used_)});
    last_ = used_;
    ++used_;
    return c;
}

void timestamp_map::enter(const std::array<std::uint64_t, 4>& values, time_source source, std::uint32_t name,
                          bool dos, bool name_is_new) {
    static constexpr char letters[4] = {'m', 'a', 'c', 'b'};
    for (std::size_t at = 0; at < 4; ++at) {
        macb_cell& c = find_or_insert(values[at]);
        const char letter = letters[at];
        if (source == src_si) {
            c.si[at] = letter;
            c.any_si = true;
            c.si_bits |= static_cast<std::uint8_t>(1u << at);
        }
        auto& names = dos ? c.dos_names : c.long_names;
        cell_name* n = !names.empty() && names.back().name == name ? &names.back() : nullptr;
        if (!n && !name_is_new) {
            auto it = std::find_if(names.begin(), names.end(), [&](const cell_name& x) { return x.name == name; });
            if (it != names.end()) n = &*it;
        }
        if (!n) n = &names.emplace_back(cell_name{name});
        if (source != src_si) {
            n->letters[at] = letter;
            n->any = true;
            n->bits |= static_cast<std::uint8_t>(1u << at);
        }
    }
}

}  // namespace skelvar
