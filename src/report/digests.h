// MD5, SHA-1 and SHA-256 of a byte sequence fed piece by piece (OpenSSL libcrypto).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace skelvar {

struct digest_choice {
    bool md5 = false, sha1 = false, sha256 = false;
    bool any() const { return md5 || sha1 || sha256; }
};

// Lower-case hexadecimal digests; empty for one not chosen (or not computable).
struct digest_texts {
    std::string md5, sha1, sha256;
};

// One object per stream: the chosen digests fed together.
class digest_set {
public:
    explicit digest_set(digest_choice choice);
    ~digest_set();
    digest_set(digest_set&&) noexcept;
    digest_set& operator=(digest_set&&) noexcept;

    // False when the library refused a chosen digest (e.g. MD5 in a FIPS-only
    // setup); `error()` then tells which. The others still work.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    void update(std::span<const std::uint8_t> bytes);
    // Ends the digests; the object is then spent (a further update is ignored).
    digest_texts finish();

private:
    struct contexts;
    std::unique_ptr<contexts> contexts_;
    std::string error_;
};

}  // namespace skelvar
