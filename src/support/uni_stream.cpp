#include "support/uni_stream.h"

#include "support/utf8.h"

namespace uni {

// libstdc++ honours a user buffer only when it is set before the file opens.
void ofstream::attach_buffer() { rdbuf()->pubsetbuf(data.get(), static_cast<std::streamsize>(size)); }

ofstream::ofstream() { attach_buffer(); }

ofstream::ofstream(const std::string& path) {
    attach_buffer();
    std::ofstream::open(path, std::ios::out | std::ios::binary | std::ios::trunc);
}

ofstream::ofstream(std::u16string_view path) : ofstream(to_utf8(path)) {}

void ofstream::open(const std::string& path) { open(path, std::ios::trunc); }

void ofstream::open(std::u16string_view path) { open(to_utf8(path), std::ios::trunc); }

void ofstream::open(const std::string& path, std::ios::openmode mode) {
    if (is_open()) close();
    attach_buffer();
    std::ofstream::open(path, mode | std::ios::out);
}

}  // namespace uni
