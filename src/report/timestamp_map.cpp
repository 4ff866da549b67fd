#include "report/timestamp_map.h"

#include <algorithm>

namespace skelvar {

void macb_cell::reset(std::uint64_t v) {
    value = v;
    for (auto& l : letters) l = {'.', '.', '.', '.'};
    any = {};
    long_names.clear();
    dos_names.clear();
}

int macb_position(char letter) {
    switch (letter) {
        case 'm': return 0;
        case 'a': return 1;
        case 'c': return 2;
        case 'b': return 3;
        default: return -1;
    }
}

void timestamp_map::clear() {
    used_ = 0;
    order_.clear();
}

macb_cell& timestamp_map::find_or_insert(std::uint64_t value) {
    auto it = std::lower_bound(order_.begin(), order_.end(), value,
                               [this](std::uint32_t i, std::uint64_t v) { return pool_[i].value < v; });
    if (it != order_.end() && pool_[*it].value == value) return pool_[*it];
    if (used_ == pool_.size()) pool_.emplace_back();
    macb_cell& c = pool_[used_];
    c.reset(value);
    order_.insert(it, static_cast<std::uint32_t>(used_));
    ++used_;
    return c;
}

void timestamp_map::enter(std::uint64_t value, time_source source, char letter, std::uint32_t name, bool dos,
                          bool name_is_new) {
    int pos = macb_position(letter);
    if (pos < 0) return;
    macb_cell& c = find_or_insert(value);
    c.letters[source][static_cast<std::size_t>(pos)] = letter;
    c.any[source] = true;
    auto& names = dos ? c.dos_names : c.long_names;
    if (!names.empty() && names.back() == name) return;
    if (name_is_new || std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

}  // namespace skelvar
