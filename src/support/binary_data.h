// Bounded little-endian view over a byte buffer. Every on-disk decoder reads
// through this class: an access outside the view yields 0 / empty instead of
// touching memory it does not own, so hostile records cannot cause overreads.
// Such an access also raises the sticky `truncated` flag, so a decoder can tell
// a field that was cut off from one that really holds 0.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace kavo {

class binary_data {
public:
    binary_data() = default;
    explicit binary_data(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    std::span<const std::uint8_t> span() const { return bytes_; }

    // True when [offset, offset + length) lies inside the view (overflow-safe).
    bool has(std::size_t offset, std::size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    // An access since construction (or the last clear) fell outside the view.
    bool truncated() const { return truncated_; }
    void clear_truncated() { truncated_ = false; }

    std::uint8_t u8(std::size_t offset) const { return fits(offset, 1) ? bytes_[offset] : 0; }
    std::uint16_t u16(std::size_t offset) const { return fixed<std::uint16_t>(offset); }
    std::uint32_t u32(std::size_t offset) const { return fixed<std::uint32_t>(offset); }
    std::uint64_t u64(std::size_t offset) const { return fixed<std::uint64_t>(offset); }

    // Unsigned little-endian integer of 0..8 bytes; 0 when out of range.
    std::uint64_t le(std::size_t offset, std::size_t width) const {
        if (width > 8 || !fits(offset, width)) return 0;
        std::uint64_t v = 0;
        for (std::size_t i = width; i-- > 0;) v = (v << 8) | bytes_[offset + i];
        return v;
    }

    // Sub-view; empty when the range does not fit.
    binary_data sub(std::size_t offset, std::size_t length) const {
        return fits(offset, length) ? binary_data(bytes_.subspan(offset, length)) : binary_data();
    }
    // Sub-view from offset to the end; empty when offset is past the end.
    binary_data from(std::size_t offset) const {
        return fits(offset, 0) ? binary_data(bytes_.subspan(offset)) : binary_data();
    }

    // `units` UTF-16LE code units at offset; empty when they do not fit.
    std::u16string utf16(std::size_t offset, std::size_t units) const {
        std::u16string s;
        utf16_into(offset, units, s);
        return s;
    }
    // The same into `out`, whose storage is reused.
    void utf16_into(std::size_t offset, std::size_t units, std::u16string& out) const {
        if (units > bytes_.size() / 2 || !fits(offset, units * 2)) {
            truncated_ = true;
            out.clear();
            return;
        }
        out.resize(units);
        if (units == 0) return;  // an empty view may hold no pointer at all
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(out.data(), bytes_.data() + offset, units * 2);
        } else {
            for (std::size_t i = 0; i < units; ++i)
                out[i] = static_cast<char16_t>(bytes_[offset + 2 * i] | (bytes_[offset + 2 * i + 1] << 8));
        }
    }

    bool starts_with(const char* text, std::size_t length) const {
        if (!has(0, length)) return false;
        for (std::size_t i = 0; i < length; ++i)
            if (bytes_[i] != static_cast<std::uint8_t>(text[i])) return false;
        return true;
    }

private:
    bool fits(std::size_t offset, std::size_t length) const {
        if (has(offset, length)) [[likely]]
            return true;
        truncated_ = true;
        return false;
    }

    // One bounds check and one load for the fixed widths the decoders read.
    template <class T>
    T fixed(std::size_t offset) const {
        if (!fits(offset, sizeof(T))) return 0;
        if constexpr (std::endian::native == std::endian::little) {
            T v;
            std::memcpy(&v, bytes_.data() + offset, sizeof(T));
            return v;
        } else {
            return static_cast<T>(le(offset, sizeof(T)));
        }
    }

    std::span<const std::uint8_t> bytes_;
    mutable bool truncated_ = false;
};

}  // namespace kavo
