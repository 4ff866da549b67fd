// Short texts that lines repeat, copied as one fixed-size block: the pieces of a line are a
// handful of short texts, and a call into memcpy per piece costs more than its bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace skelvar {

// A text of at most `capacity` bytes in storage of exactly that size, so that it can be
// copied whole whatever its length.
struct short_text {
    static constexpr std::size_t capacity = 64;
    std::array<char, capacity> bytes{};
    std::size_t length = 0;

    // False (and empty) when `s` does not fit: the caller then keeps it as a long text.
    bool assign(std::string_view s) {
        length = 0;
        if (s.size() > capacity) return false;
        std::memcpy(bytes.data(), s.data(), s.size());
        length = s.size();
        return true;
    }
    std::string_view view() const { return {bytes.data(), length}; }
    // The same from a string whose storage holds at least `capacity` bytes (see reserve_for):
    // copied whole, without a call into memcpy for a length known only at run time.
    bool assign_whole(const std::string& s) {
        if (s.size() > capacity || s.capacity() < capacity) return assign(s);
        std::memcpy(bytes.data(), s.data(), capacity);
        length = s.size();
        return true;
    }
    // Gives `s` the storage assign_whole copies from.
    static void reserve_for(std::string& s) { s.reserve(capacity); }
};

// A text many lines repeat, kept with its short copy when it fits: set `text`, then settle().
struct kept_text {
    std::string text;
    short_text fixed;
    bool is_short = false;

    kept_text() { short_text::reserve_for(text); }
    void settle() { is_short = fixed.assign_whole(text); }
    std::size_t size() const { return text.size(); }
};

// A text put together through a cursor from a few pieces and then copied into many lines.
// Its storage only grows and keeps a short block's slack past the text: the pieces go in
// after one room check for their total, and a short text is copied out as a fixed-size block.
class built_text {
public:
    built_text() { grow(256); }
    // The start of room for `n` bytes; write them, then end() at the cursor's place.
    char* start(std::size_t n) {
        if (n + short_text::capacity > room_) grow(n + short_text::capacity);
        return data_.get();
    }
    void end(const char* at) { length_ = static_cast<std::size_t>(at - data_.get()); }
    const char* data() const { return data_.get(); }
    std::size_t size() const { return length_; }
    std::string_view view() const { return {data_.get(), length_}; }

private:
    void grow(std::size_t need) {
        std::size_t c = room_ ? 2 * room_ : need;
        if (c < need) c = need;
        data_.reset(new char[c]());  // what it held is given up: start() is followed by a rewrite
        room_ = c;
        length_ = 0;
    }

    std::unique_ptr<char[]> data_;
    std::size_t room_ = 0, length_ = 0;
};

// Storage for an entry's lines when they cannot be put together in the results file's buffer
// (see line_sink): it keeps a short block's room beyond what make_room was asked for.
class line_buffer {
public:
    // Room for `n` more bytes past `size`, and a short block beyond them.
    void make_room(std::size_t n) {
        if (size_ + n + short_text::capacity > capacity_) grow(size_ + n + short_text::capacity);
    }
    char* data() { return data_.get(); }
    void resize(std::size_t n) { size_ = n; }

private:
    void grow(std::size_t need) {
        std::size_t c = capacity_ ? capacity_ : 4096;
        while (c < need) c *= 2;
        std::unique_ptr<char[]> bigger(new char[c]);
        if (size_) std::memcpy(bigger.get(), data_.get(), size_);
        data_ = std::move(bigger);
        capacity_ = c;
    }

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0, capacity_ = 0;
};

}  // namespace skelvar
