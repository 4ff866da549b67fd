// Output streams of the results: the results file opened from a host path,
// and two streams that accept text and throw it away.
#pragma once

#include <cstddef>
#include <fstream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace uni {

namespace detail {
// Owns the file buffer; a base listed before std::ofstream so it outlives the
// final flush in the stream's destructor.
struct ofstream_buffer {
    static constexpr std::size_t size = std::size_t{1} << 20;
    std::unique_ptr<char[]> data{new char[size]};
};
}  // namespace detail

// A results or copy file named by a UTF-8 host path (UTF-16 names from the
// volume are converted first), written through a 1 MiB buffer.
class ofstream : private detail::ofstream_buffer, public std::ofstream {
public:
    ofstream();
    // Binary, existing content replaced: the copies of extracted files.
    explicit ofstream(const std::string& path);
    explicit ofstream(std::u16string_view path);
    // Text mode, existing content replaced: the results file.
    void open(const std::string& path);
    void open(std::u16string_view path);
    // Any standard mode (out is always added), e.g. app for an appended results file.
    void open(const std::string& path, std::ios::openmode mode);

private:
    void attach_buffer();
};

// Discards what is written at memory speed: the put area is simply rewound
// when full, so writers see ordinary buffer stores.
template <class CharT, class Traits = std::char_traits<CharT>>
class basic_nullbuf : public std::basic_streambuf<CharT, Traits> {
public:
    static constexpr std::size_t area_bytes = 16384;
    static constexpr std::size_t area_chars = area_bytes / sizeof(CharT);

    basic_nullbuf() { this->setp(area_, area_ + area_chars); }
    // Characters written since the area was last rewound.
    std::size_t pending() const { return static_cast<std::size_t>(this->pptr() - this->pbase()); }

protected:
    typename Traits::int_type overflow(typename Traits::int_type ch) override {
        this->setp(area_, area_ + area_chars);
        return Traits::not_eof(ch);
    }

private:
    CharT area_[area_chars];
};

template <class CharT, class Traits = std::char_traits<CharT>>
class basic_nullstream : public std::basic_ostream<CharT, Traits> {
public:
    basic_nullstream() : std::basic_ostream<CharT, Traits>(nullptr) { this->rdbuf(&buf_); }
    basic_nullbuf<CharT, Traits>& buffer() { return buf_; }

private:
    basic_nullbuf<CharT, Traits> buf_;
};

using nullbuf = basic_nullbuf<char>;
using nullstream = basic_nullstream<char>;

// Console code pages: POSIX terminals take UTF-8 bytes as they are, so there
// is nothing to switch at start or to restore at exit.
class utf8_locale {
public:
    utf8_locale() = default;
    utf8_locale(const utf8_locale&) = delete;
    utf8_locale& operator=(const utf8_locale&) = delete;
};

}  // namespace uni

namespace skelvar {

// Accepts and drops everything without even a buffer.
class null_out_buf : public std::streambuf {
protected:
    int_type overflow(int_type ch) override { return traits_type::not_eof(ch); }
    std::streamsize xsputn(const char_type*, std::streamsize count) override { return count; }
};

class null_out_stream : public std::ostream {
public:
    null_out_stream() : std::ostream(nullptr) { rdbuf(&buf_); }

private:
    null_out_buf buf_;
};

}  // namespace skelvar
