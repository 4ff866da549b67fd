// Output streams of the results: the results file opened from a host path,
// and two streams that accept text and throw it away.
#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace uni {

// The results file's buffer: whole 1 MiB blocks go out with write(2), and a piece larger
// than the free room is not split into small writes. A results file of gigabytes is
// written in a few thousand calls whatever the size of the pieces the layouts hand over.
class file_out_buf : public std::streambuf {
public:
    static constexpr std::size_t size = std::size_t{1} << 20;

    file_out_buf();
    ~file_out_buf() override;
    file_out_buf(const file_out_buf&) = delete;
    file_out_buf& operator=(const file_out_buf&) = delete;

    // O_CREAT with O_TRUNC, or O_APPEND; false when the file cannot be opened.
    bool open(const std::string& path, bool append);
    bool is_open() const { return fd_ >= 0; }
    // Writes what is buffered and closes; false when either failed.
    bool close();

    // For a writer that puts its bytes in place: at least `n` bytes of free room at the put
    // position (what the buffer held is written out first when needed), up to room_end().
    // Null when `n` exceeds the buffer or the write failed. commit() takes the bytes written.
    char* room(std::size_t n);
    char* room_end() const { return epptr(); }
    void commit(char* end) { pbump(static_cast<int>(end - pptr())); }

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char_type* s, std::streamsize count) override;
    int sync() override;

private:
    bool drain();

    std::unique_ptr<char[]> data_{new char[size]};
    int fd_ = -1;
};

// A results or copy file named by a UTF-8 host path (UTF-16 names from the
// volume are converted first). POSIX makes no difference between text and binary.
class ofstream : public std::ostream {
public:
    ofstream();
    ~ofstream() override;
    // Existing content replaced: the copies of extracted files.
    explicit ofstream(const std::string& path);
    explicit ofstream(std::u16string_view path);
    // Existing content replaced: the results file.
    void open(const std::string& path);
    void open(std::u16string_view path);
    // std::ios::app appends; any other mode replaces the content.
    void open(const std::string& path, std::ios::openmode mode);
    bool is_open() const { return buf_.is_open(); }
    void close();

private:
    file_out_buf buf_;
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
