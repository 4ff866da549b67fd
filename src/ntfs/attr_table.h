// What an entry holds of each attribute, by attribute key: the subset of a
// std::map's interface the readers use, over a sorted vector. An entry is
// reused record after record; the elements outlive `clear` with their strings'
// and vectors' storage, so decoding a record allocates nothing once the table
// has met a few records.
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "ntfs/ntfs_types.h"

namespace skelvar {

// Back to a fresh value, keeping storage worth keeping. Types holding buffers
// overload it next to their definition.
template <class V>
void reset_for_reuse(V& value) {
    value = V{};
}

template <class V>
class attr_table {
public:
    using key_type = attr_key;
    using mapped_type = V;
    using value_type = std::pair<attr_key, V>;
    using iterator = value_type*;
    using const_iterator = const value_type*;

    attr_table() = default;
    attr_table(const attr_table& other) : items_(other.begin(), other.end()), size_(other.size_) {}
    attr_table& operator=(const attr_table& other) {
        if (this != &other) {
            items_.assign(other.begin(), other.end());
            size_ = other.size_;
        }
        return *this;
    }
    attr_table(attr_table&& other) noexcept : items_(std::move(other.items_)), size_(std::exchange(other.size_, 0)) {
        other.items_.clear();
    }
    attr_table& operator=(attr_table&& other) noexcept {
        items_ = std::move(other.items_);
        size_ = std::exchange(other.size_, 0);
        other.items_.clear();
        return *this;
    }

    iterator begin() { return items_.data(); }
    iterator end() { return items_.data() + size_; }
    const_iterator begin() const { return items_.data(); }
    const_iterator end() const { return items_.data() + size_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    iterator find(attr_key key) {
        iterator at = lower_bound(key);
        return at != end() && at->first == key ? at : end();
    }
    const_iterator find(attr_key key) const {
        const_iterator at = lower_bound(key);
        return at != end() && at->first == key ? at : end();
    }
    std::size_t count(attr_key key) const { return find(key) != end() ? 1 : 0; }
    bool contains(attr_key key) const { return find(key) != end(); }

    // The element under `key`, added fresh when absent; true when added.
    // Adding moves the elements after it: pointers into the table go stale.
    // A record's attributes mostly come in key order: past the last one onto a spare, inline.
    [[gnu::always_inline]] std::pair<iterator, bool> try_emplace(attr_key key) {
        if (size_ < items_.size() && (size_ == 0 || items_[size_ - 1].first < key)) {
            items_[size_].first = key;
            return {begin() + size_++, true};
        }
        return place(key);
    }
    template <class U>
    std::pair<iterator, bool> emplace(attr_key key, U&& value) {
        auto placed = try_emplace(key);
        if (placed.second) placed.first->second = std::forward<U>(value);
        return placed;
    }
    template <class U>
    std::pair<iterator, bool> insert_or_assign(attr_key key, U&& value) {
        auto placed = try_emplace(key);
        placed.first->second = std::forward<U>(value);
        return placed;
    }
    // A fresh element under `key`, replacing what was there.
    V& assign(attr_key key) {
        auto placed = try_emplace(key);
        if (!placed.second) reset_for_reuse(placed.first->second);
        return placed.first->second;
    }
    V& operator[](attr_key key) { return try_emplace(key).first->second; }

    void erase(iterator at) {
        reset_for_reuse(at->second);
        std::rotate(at, at + 1, end());
        if (--size_ == 0 && items_.size() > max_spares) items_.resize(max_spares);  // as clear would
    }

    // Empties the table; the elements stay as spares with their storage, up to a bound.
    // An entry leaves most of its tables empty: those cost one test (an empty table holds no more spares than that).
    void clear() {
        if (size_ == 0) return;
        for (std::size_t i = 0; i < size_; ++i) reset_for_reuse(items_[i].second);
        size_ = 0;
        if (items_.size() > max_spares) items_.resize(max_spares);
    }

private:
    // try_emplace past the inline case: a new spare, or a search and an insertion.
    std::pair<iterator, bool> place(attr_key key) {
        iterator at = size_ == 0 || items_[size_ - 1].first < key ? end() : lower_bound(key);
        if (at != end() && at->first == key) return {at, false};
        const auto index = static_cast<std::size_t>(at - begin());
        if (size_ == items_.size()) items_.emplace_back();
        // The spare element at the end (fresh) moves into place.
        std::rotate(items_.begin() + static_cast<std::ptrdiff_t>(index),
                    items_.begin() + static_cast<std::ptrdiff_t>(size_),
                    items_.begin() + static_cast<std::ptrdiff_t>(size_ + 1));
        ++size_;
        items_[index].first = key;
        return {begin() + index, true};
    }

    // Spare elements kept past `clear`: more than a record's worth of attributes.
    static constexpr std::size_t max_spares = 32;

    iterator lower_bound(attr_key key) {
        return std::lower_bound(begin(), end(), key, [](const value_type& v, attr_key k) { return v.first < k; });
    }
    const_iterator lower_bound(attr_key key) const {
        return std::lower_bound(begin(), end(), key, [](const value_type& v, attr_key k) { return v.first < k; });
    }

    std::vector<value_type> items_;  // [0, size_) in key order; the rest fresh spares
    std::size_t size_ = 0;
};

}  // namespace skelvar
