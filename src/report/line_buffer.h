// An entry's lines, put together from a few pieces per line before they go to the stream
// in one piece. The pieces of a line are a handful of short texts: a call into memcpy per
// piece costs more than its bytes, so a short piece is copied as one fixed-size block (a few
// vector moves) and the buffer keeps that much room beyond its end.
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

class line_buffer {
public:
    // Room for `n` more bytes: call before the appends of a line with at least their total.
    void make_room(std::size_t n) {
        if (size_ + n + short_text::capacity > capacity_) grow(size_ + n + short_text::capacity);
    }
    void append(std::string_view s) {
        std::memcpy(data_.get() + size_, s.data(), s.size());
        size_ += s.size();
    }
    void append(const short_text& t) {
        std::memcpy(data_.get() + size_, t.bytes.data(), short_text::capacity);
        size_ += t.length;
    }
    void append(const kept_text& k) {
        if (k.is_short) append(k.fixed);
        else append(std::string_view(k.text));
    }
    std::string_view view() const { return {data_.get(), size_}; }
    // Writing in place: the storage (with room for `size` + make_room's `n`) and the size taken.
    char* data() { return data_.get(); }
    void resize(std::size_t n) { size_ = n; }
    void clear() { size_ = 0; }

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
