#include "support/uni_stream.h"

#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "support/utf8.h"
#include "support/write_all.h"

namespace uni {

namespace {

// Ctrl-C and the usual termination signals wait while a block of results goes out. Killed in the middle
// of a write, a process has it cut at a page boundary by the kernel, and an interrupted run's results
// file would end inside a line. Outside a write the signal acts at once, as it would without us.
volatile std::sig_atomic_t writing = 0;
volatile std::sig_atomic_t held_signal = 0;
constexpr int termination_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void on_termination(int s) {
    if (writing) {
        held_signal = s;
        return;
    }
    std::signal(s, SIG_DFL);
    std::raise(s);
}

// Only signals left at their default: one the caller ignores (a background job's SIGINT) stays ignored.
void hold_termination_during_writes() {
    static const bool installed = [] {
        for (int s : termination_signals) {
            struct sigaction now {};
            if (sigaction(s, nullptr, &now) != 0 || now.sa_handler != SIG_DFL) continue;
            struct sigaction mine {};
            mine.sa_handler = on_termination;
            mine.sa_flags = SA_RESTART;
            sigemptyset(&mine.sa_mask);
            sigaction(s, &mine, nullptr);
        }
        return true;
    }();
    (void)installed;
}

}  // namespace

file_out_buf::file_out_buf() { setp(data_.get(), data_.get() + size); }

file_out_buf::~file_out_buf() { close(); }

bool file_out_buf::open(const std::string& path, bool append) {
    if (is_open()) return false;
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    hold_termination_during_writes();
    fd_ = ::open(path.c_str(), flags, 0666);
    setp(data_.get(), data_.get() + size);
    return fd_ >= 0;
}

bool file_out_buf::close() {
    if (!is_open()) return false;
    const bool drained = drain();
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return drained && closed;
}

bool file_out_buf::drain() {
    const auto n = static_cast<std::size_t>(pptr() - pbase());
    setp(data_.get(), data_.get() + size);
    if (n == 0) return true;
    if (!is_open()) return false;
    writing = 1;
    const bool written = skelvar::write_all(fd_, data_.get(), n) == 0;
    writing = 0;
    if (const int s = held_signal) {
        std::signal(s, SIG_DFL);
        std::raise(s);
    }
    return written;
}

file_out_buf::int_type file_out_buf::overflow(int_type ch) {
    if (!drain()) return traits_type::eof();
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    *pptr() = traits_type::to_char_type(ch);
    pbump(1);
    return ch;
}

std::streamsize file_out_buf::xsputn(const char_type* s, std::streamsize count) {
    if (count <= 0) return 0;
    const auto n = static_cast<std::size_t>(count);
    if (n <= static_cast<std::size_t>(epptr() - pptr())) {
        std::memcpy(pptr(), s, n);
        pbump(static_cast<int>(n));
        return count;
    }
    if (!drain()) return 0;
    if (n >= size) return skelvar::write_all(fd_, s, n) == 0 ? count : 0;
    std::memcpy(pptr(), s, n);
    pbump(static_cast<int>(n));
    return count;
}

char* file_out_buf::room(std::size_t n) {
    if (n <= static_cast<std::size_t>(epptr() - pptr())) return pptr();
    if (n > size || !drain()) return nullptr;
    return pptr();
}

int file_out_buf::sync() { return drain() ? 0 : -1; }

ofstream::ofstream() : std::ostream(nullptr) { rdbuf(&buf_); }

ofstream::~ofstream() { buf_.close(); }

ofstream::ofstream(const std::string& path) : ofstream() { open(path); }

ofstream::ofstream(std::u16string_view path) : ofstream(to_utf8(path)) {}

void ofstream::open(const std::string& path) { open(path, std::ios::trunc); }

void ofstream::open(std::u16string_view path) { open(to_utf8(path), std::ios::trunc); }

void ofstream::open(const std::string& path, std::ios::openmode mode) {
    if (is_open()) close();
    if (buf_.open(path, (mode & std::ios::app) != 0)) clear();
    else setstate(std::ios::failbit);
}

void ofstream::close() {
    if (!buf_.close()) setstate(std::ios::failbit);
}

}  // namespace uni
